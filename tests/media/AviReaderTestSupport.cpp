#include "tests/media/AviReaderTestSupport.h"

#include "tests/support/ExternalTools.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace readertest {

std::string WriteAvi(const TempDir& dir, const std::string& name,
                     const std::vector<TestStream>& streams, const BuildOptions& options) {
    const std::string path = dir.File(name);
    WriteBytes(path, BuildAvi(streams, options).bytes);
    return path;
}

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::uint8_t* DibPixels(const BITMAPINFOHEADER* header) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(header);
    return bytes + header->biSize + (header->biBitCount == 8 ? 1024 : 0);
}

std::size_t DibStride(const BITMAPINFOHEADER* header) {
    return (static_cast<std::size_t>(header->biWidth) * header->biBitCount / 8 + 3) &
           ~std::size_t{3};
}

Bytes DibRowsTopDown(const BITMAPINFOHEADER* header) {
    const std::size_t width = static_cast<std::size_t>(header->biWidth);
    const std::size_t height = static_cast<std::size_t>(header->biHeight);
    const std::size_t stride = DibStride(header);
    const std::uint8_t* pixels = DibPixels(header);
    const std::uint8_t* table = reinterpret_cast<const std::uint8_t*>(header) + header->biSize;
    Bytes out;
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + (height - 1 - y) * stride;
        if (header->biBitCount == 8) {
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t* entry = table + 4 * row[x];
                out.insert(out.end(), entry, entry + 3);
            }
        } else {
            out.insert(out.end(), row, row + width * header->biBitCount / 8);
        }
    }
    return out;
}

Bytes ReadAllAudio(CAviReader& reader, std::int32_t pieceSamples) {
    Bytes all;
    const std::int32_t length = reader.GetAudioLength(0);
    std::vector<std::uint8_t> buffer(1 << 20);
    for (std::int32_t first = 0; first < length;) {
        std::int32_t bytes = 0;
        std::int32_t samples = 0;
        const std::int32_t rc =
            reader.ReadAudio(0, first, pieceSamples, buffer.data(),
                             static_cast<std::int32_t>(buffer.size()), &bytes, &samples);
        if (rc != 0 || samples <= 0) {
            break;
        }
        all.insert(all.end(), buffer.begin(), buffer.begin() + bytes);
        first += samples;
    }
    return all;
}

bool Ffmpeg(const std::vector<std::string>& args, std::string* errors) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv, nullptr, errors) == 0;
}

std::vector<Bytes> FfmpegFrames(const std::string& path, const std::string& pixelFormat,
                                int bytesPerPixel, int width, int height) {
    std::string output;
    RunTool({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-fps_mode",
             "passthrough", "-f", "rawvideo", "-pix_fmt", pixelFormat, "-"},
            &output);
    const std::size_t frameBytes = static_cast<std::size_t>(width) * height * bytesPerPixel;
    std::vector<Bytes> frames;
    for (std::size_t at = 0; frameBytes > 0 && at + frameBytes <= output.size(); at += frameBytes) {
        frames.emplace_back(output.begin() + static_cast<std::ptrdiff_t>(at),
                            output.begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
    }
    return frames;
}

double Psnr(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size() || a.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
        sum += d * d;
    }
    if (sum == 0.0) {
        return 1000.0;
    }
    const double mse = sum / static_cast<double>(a.size());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace readertest

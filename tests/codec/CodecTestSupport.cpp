#include "tests/codec/CodecTestSupport.h"

#include "codec/ContainerCodecs.h"
#include "media/AviReader.h"
#include "media/AviWriter.h"
#include "media/io/ByteOrder.h"
#include "pattern/TestPattern.h"
#include "tests/media/AviWriterTestSupport.h"

extern "C" {
#include <libavutil/log.h>
}

namespace codectest {

namespace {
// The encoders' informational chatter is of no use in test output.
const bool kQuietLibraries = (av_log_set_level(AV_LOG_ERROR), true);
} // namespace

BITMAPINFOHEADER MakeInputFormat(int width, int height, int bitsPerPixel) {
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
    h.biSizeImage = static_cast<std::uint32_t>(std::int64_t{width} * height * (bitsPerPixel / 8));
    return h;
}

Frame ToBgr(const std::uint8_t* rows, int width, int height, int bitsPerPixel, std::size_t stride) {
    Frame out;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p =
                rows + stride * y + static_cast<std::size_t>(x * bitsPerPixel / 8);
            const int v = bitsPerPixel == 16 ? kmx::LoadU16(p) : 0;
            for (int c = 0; c < 3; ++c) {
                const int five = (v >> (5 * c)) & 31;
                out.push_back(bitsPerPixel == 16 ? static_cast<std::uint8_t>(five << 3 | five >> 2)
                                                 : p[c]);
            }
        }
    }
    return out;
}

COMPVARS MakeSettings(std::uint32_t fourcc, std::int32_t quality, std::int32_t keyRate,
                      std::int32_t dataRate) {
    COMPVARS cv{};
    cv.cbSize = 64;
    cv.dwFlags = ICMF_COMPVARS_VALID;
    cv.fccType = ICTYPE_VIDEO;
    cv.fccHandler = fourcc;
    cv.lQ = quality;
    cv.lKey = keyRate;
    cv.lDataRate = dataRate;
    return cv;
}

Encoded CompressFrames(std::uint32_t fourcc, const COMPVARS& settings, int width, int height,
                       int bitsPerPixel, const std::vector<Frame>& frames, std::uint32_t rate) {
    Encoded out;
    const std::unique_ptr<CCompressor> compressor = CCompressor::Open(ICTYPE_VIDEO, fourcc);
    const BITMAPINFOHEADER input = MakeInputFormat(width, height, bitsPerPixel);
    const std::int32_t formatSize = compressor ? compressor->GetFormatSize(&input) : 0;
    out.format.resize(static_cast<std::size_t>(std::max(formatSize, 0)));
    if (formatSize <= 0 ||
        compressor->GetFormat(&input, out.format.data(), formatSize) != ICERR_OK) {
        out.error = "no compressor or no output format";
        return out;
    }
    out.maxFrameSize = compressor->GetSize(&input);
    if (rate != 0) {
        compressor->SetFrameRate(rate, 1);
    }
    if (!compressor->SeqCompressFrameStart(settings, &input)) {
        out.error = "start refused";
        return out;
    }
    for (const Frame& frame : frames) {
        bool key = false;
        std::int32_t size = -1;
        const std::uint8_t* data = compressor->SeqCompressFrame(
            frame.data(), static_cast<std::int64_t>(frame.size()), &key, &size);
        if (data == nullptr || size < 0) {
            out.error = "frame " + std::to_string(out.samples.size()) + " failed";
            return out;
        }
        out.samples.emplace_back(data, data + size);
        out.keys.push_back(key);
    }
    compressor->SeqCompressFrameEnd();
    out.ok = true;
    return out;
}

std::int64_t TotalSize(const Encoded& encoded, std::size_t first) {
    std::int64_t total = 0;
    for (std::size_t i = first; i < encoded.samples.size(); ++i) {
        total += static_cast<std::int64_t>(encoded.samples[i].size());
    }
    return total;
}

bool WriteAvi(const std::string& path, std::uint32_t fourcc, int width, int height,
              const Encoded& encoded, std::size_t first) {
    CAviWriter writer;
    bool ok = writer.Create(path.c_str()) &&
              writer.CreateVideoStream(avitest::VideoHeader(width, height, 25, 1, fourcc)) &&
              writer.SetVideoFormat(encoded.format.data(),
                                    static_cast<std::int32_t>(encoded.format.size()));
    for (std::size_t i = first; i < encoded.samples.size(); ++i) {
        ok = ok && writer.WriteVideoFrame(encoded.samples[i].data(),
                                          static_cast<std::int32_t>(encoded.samples[i].size()),
                                          encoded.keys[i] ? 1 : 0);
    }
    return writer.Close() && ok;
}

std::vector<Frame> ReadAvi(const std::string& path, bool backwards) {
    CAviReader reader;
    const bool open = reader.Open(path.c_str()) && reader.StartVideoRetrieve(0);
    const std::int32_t count = open ? reader.GetVideoLength(0) : 0;
    std::vector<Frame> frames(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t n = backwards ? count - 1 - i : i;
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, n, &dib);
        if (dib != nullptr) {
            frames[n] = ToBgr(avitest::DibPixels(dib), dib->biWidth, dib->biHeight, dib->biBitCount,
                              avitest::DibStride(dib));
        }
    }
    return frames;
}

std::vector<const kmx::CompressorEntry*> AvailableEntries() {
    std::vector<const kmx::CompressorEntry*> list;
    for (const kmx::CompressorEntry& entry : kmx::CompressorTable()) {
        if (kmx::IsCompressorAvailable(entry) &&
            kmx::ContainerHolds(kmx::OutputContainer::Avi, entry.fourcc)) {
            list.push_back(&entry);
        }
    }
    return list;
}

} // namespace codectest

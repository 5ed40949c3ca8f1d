// libFuzzer target for the AVI reader: the input bytes are opened from memory
// and read in every way the program reads its inputs: stream
// information, frames forwards, backwards and by jumps, the conversions, and
// all audio in pieces of changing size.
#include "media/AviReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

constexpr std::int32_t kMaxFrames = 200;
constexpr std::int32_t kMaxAudioPieces = 400;

// Touches every byte the reader hands out, so that the sanitizers see any
// block shorter than its header claims.
unsigned Checksum(const BITMAPINFOHEADER* frame) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame);
    const std::size_t table = frame->biBitCount == 8 ? 1024 : 0;
    const std::size_t size = frame->biSize + table + frame->biSizeImage;
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += bytes[i];
    }
    return sum;
}

volatile unsigned g_sink = 0;

void ReadVideo(CAviReader& reader, std::uint32_t index, std::int32_t& budget) {
    AVISTREAMINFOA info{};
    reader.GetVideoStreamInfo(index, &info, sizeof info);
    const std::int32_t length = reader.GetVideoLength(index);
    if (!reader.StartVideoRetrieve(index)) {
        return;
    }
    reader.VideoFrameToTime(index, length);
    reader.VideoTimeToFrame(index, reader.VideoFrameToTime(index, length / 2));
    reader.VideoTimeToFrame(index, 0x7FFFFFFF);
    std::vector<std::int32_t> order;
    for (std::int32_t n = 0; n < length && n < 40; ++n) {
        order.push_back(n);
    }
    for (const std::int32_t n : {length - 1, length / 2, length / 3, length, -1, 3, 2, 1}) {
        order.push_back(n);
    }
    for (std::int32_t n = length - 1; n >= 0 && n >= length - 20; --n) {
        order.push_back(n);
    }
    for (const std::int32_t n : order) {
        if (budget-- <= 0) {
            break;
        }
        const BITMAPINFOHEADER* frame = nullptr;
        reader.GetVideoFrame(index, n, &frame);
        if (frame != nullptr) {
            g_sink = g_sink + Checksum(frame);
        }
    }
    reader.StopVideoRetrieve(index);
}

void ReadAudio(CAviReader& reader, std::uint32_t index) {
    AVISTREAMINFOA info{};
    reader.GetAudioStreamInfo(index, &info, sizeof info);
    std::int32_t formatSize = 0;
    reader.GetAudioFormat(index, &formatSize);
    const std::int32_t length = reader.GetAudioLength(index);
    std::vector<std::uint8_t> buffer(1 << 16);
    std::int32_t first = 0;
    std::int32_t piece = 1;
    for (int i = 0; i < kMaxAudioPieces && first < length; ++i) {
        std::int32_t bytes = 0;
        std::int32_t samples = 0;
        reader.ReadAudio(index, first, piece, nullptr, 0, &bytes, &samples);
        const std::int32_t rc =
            reader.ReadAudio(index, first, piece, buffer.data(),
                             static_cast<std::int32_t>(buffer.size()), &bytes, &samples);
        if (rc != 0 || samples <= 0) {
            break;
        }
        g_sink = g_sink + buffer[static_cast<std::size_t>(bytes) - 1];
        first += samples;
        piece = piece * 3 + 1;
    }
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    reader.ReadAudio(index, length - 1, 10, buffer.data(), 1, &bytes, &samples);
    reader.ReadAudio(index, length, 1, buffer.data(), 64, &bytes, &samples);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CAviReader reader;
    if (reader.OpenMemory(data, size)) {
        std::int32_t budget = kMaxFrames;
        for (std::uint32_t i = 0; i < reader.GetVideoStreamCount(); ++i) {
            ReadVideo(reader, i, budget);
        }
        for (std::uint32_t i = 0; i < reader.GetAudioStreamCount(); ++i) {
            ReadAudio(reader, i);
        }
        // Reopening the same reader must start from a clean state.
        reader.OpenMemory(data, size);
        if (reader.GetVideoStreamCount() > 0 && reader.StartVideoRetrieve(0)) {
            const BITMAPINFOHEADER* frame = nullptr;
            reader.GetVideoFrame(0, 0, &frame);
        }
        reader.Close();
    }
    return 0;
}

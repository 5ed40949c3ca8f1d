// libFuzzer target for the libavformat reader: the input bytes are opened
// from memory and read as the program reads its inputs: stream information,
// frames forwards, backwards and by jumps (which seek the demuxer), and all
// audio in pieces of changing size.
#include "media/LavfReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

constexpr std::int32_t kMaxFrames = 60;
constexpr std::int32_t kMaxAudioPieces = 200;

volatile unsigned g_sink = 0;

// Touches every byte of a frame, so that the sanitizers see a block shorter
// than its header claims.
unsigned Checksum(const BITMAPINFOHEADER* frame) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame);
    const std::size_t size = frame->biSize + frame->biSizeImage;
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += bytes[i];
    }
    return sum;
}

void ReadVideo(kmx::CLavfReader& reader) {
    AVISTREAMINFOA info{};
    reader.GetVideoStreamInfo(0, &info, sizeof info);
    const std::int32_t length = reader.GetVideoLength(0);
    if (!reader.StartVideoRetrieve(0)) {
        return;
    }
    reader.VideoTimeToFrame(0, reader.VideoFrameToTime(0, length / 2));
    std::vector<std::int32_t> order;
    for (std::int32_t n = 0; n < length && n < 20; ++n) {
        order.push_back(n);
    }
    for (const std::int32_t n : {length - 1, length / 2, length / 3, length, -1, 2, 1}) {
        order.push_back(n);
    }
    for (std::int32_t n = length - 1; n >= 0 && n >= length - 20; --n) {
        order.push_back(n);
    }
    std::int32_t budget = kMaxFrames;
    for (const std::int32_t n : order) {
        if (budget-- <= 0) {
            break;
        }
        const BITMAPINFOHEADER* frame = nullptr;
        reader.GetVideoFrame(0, n, &frame);
        if (frame != nullptr) {
            g_sink = g_sink + Checksum(frame);
        }
    }
    reader.StopVideoRetrieve(0);
}

void ReadAudio(kmx::CLavfReader& reader) {
    AVISTREAMINFOA info{};
    reader.GetAudioStreamInfo(0, &info, sizeof info);
    std::int32_t formatSize = 0;
    reader.GetAudioFormat(0, &formatSize);
    const std::int32_t length = reader.GetAudioLength(0);
    std::vector<std::uint8_t> buffer(1 << 16);
    std::int32_t first = 0;
    std::int32_t piece = 1;
    for (int i = 0; i < kMaxAudioPieces && first < length; ++i) {
        std::int32_t bytes = 0;
        std::int32_t samples = 0;
        const std::int32_t rc =
            reader.ReadAudio(0, first, piece, buffer.data(),
                             static_cast<std::int32_t>(buffer.size()), &bytes, &samples);
        if (rc != 0 || samples <= 0) {
            break;
        }
        g_sink = g_sink + buffer[static_cast<std::size_t>(bytes) - 1];
        first += samples;
        piece = piece * 3 + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kmx::CLavfReader reader;
    if (reader.OpenMemory(data, size)) {
        if (reader.GetVideoStreamCount() > 0) {
            ReadVideo(reader);
        }
        if (reader.GetAudioStreamCount() > 0) {
            ReadAudio(reader);
        }
        reader.Close();
    }
    return 0;
}

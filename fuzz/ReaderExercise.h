// What both reader fuzz targets do with an input that opened: read it in
// every way the program reads its inputs: stream information, frames
// forwards, backwards and by jumps, the time conversions, and all audio in
// pieces of changing size. Both readers offer the same calls.
#pragma once

#include "media/AviRecords.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzread {

// Touches every byte the reader hands out, so that the sanitizers see any
// block shorter than its header claims.
inline unsigned Checksum(const BITMAPINFOHEADER* frame) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame);
    const std::size_t table = frame->biBitCount == 8 ? 1024 : 0;
    const std::size_t size = frame->biSize + table + frame->biSizeImage;
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += bytes[i];
    }
    return sum;
}

inline volatile unsigned g_sink = 0;

template <class Reader> void ReadVideo(Reader& reader, std::uint32_t index, std::int32_t& budget) {
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

template <class Reader> void ReadAudio(Reader& reader, std::uint32_t index, int maxPieces) {
    AVISTREAMINFOA info{};
    reader.GetAudioStreamInfo(index, &info, sizeof info);
    std::int32_t formatSize = 0;
    reader.GetAudioFormat(index, &formatSize);
    const std::int32_t length = reader.GetAudioLength(index);
    std::vector<std::uint8_t> buffer(1 << 16);
    std::int32_t first = 0;
    std::int32_t piece = 1;
    for (int i = 0; i < maxPieces && first < length; ++i) {
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
        piece = piece > (INT32_MAX - 1) / 3 ? INT32_MAX : piece * 3 + 1;
    }
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    reader.ReadAudio(index, length - 1, 10, buffer.data(), 1, &bytes, &samples);
    reader.ReadAudio(index, length, 1, buffer.data(), 64, &bytes, &samples);
}

} // namespace fuzzread

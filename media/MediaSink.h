// Where the program writes a video file, whatever its container: streams set
// up once, then packets with their time stamps and key flags, then Finish.
// Our RIFF writer (media/avi) and libavformat's muxers (media/lavf)
// implement it; CAviWriter speaks to one of them.
//
// A sink never shows messages; every operation reports by its result, and
// ErrorNumber tells the system's cause of the first failure.
#pragma once

#include "media/AviRecords.h"

#include <cstdint>
#include <vector>

namespace kmx {

// What containers other than AVI need to know of a stream's codec beyond its
// AVI header and format. Values are libavcodec's (AVCodecID, AVCOL_*); the
// defaults leave a field to the format or unspecified.
struct MediaCodecDetails {
    int codecId = 0; // 0: from the format's FourCC or format tag
    // The codec's global headers (decoder configuration), for containers
    // that keep them apart from the packets; empty when there are none.
    std::vector<std::uint8_t> codecPrivate;
    // Video.
    int sampleAspectNum = 0; // 0: unknown
    int sampleAspectDen = 1;
    int colorSpace = 2; // AVCOL_SPC_UNSPECIFIED
    int colorPrimaries = 2;
    int colorTransfer = 2;
    int colorRange = 0; // AVCOL_RANGE_UNSPECIFIED
    // Encoded audio: the samples per second, channels, bit rate, samples per
    // packet and the encoder's delay in samples that players must skip.
    int sampleRate = 0;
    int channels = 0;
    int bitRate = 0;
    int frameSize = 0;
    int initialPadding = 0;
};

// What a sink needs to know of a stream before its first packet.
struct MediaStreamSetup {
    bool video = false;
    // The stream's header. Its time base is dwScale / dwRate seconds: one
    // frame of video, one sample (dwSampleSize bytes, or one block) of audio.
    // The name and the other fields are kept where the container has room.
    AVISTREAMINFOA header{};
    // The format as AVI stores it: BITMAPINFOHEADER (with palette) for
    // video, WAVEFORMATEX (with its extra bytes) for audio.
    std::vector<std::uint8_t> format;
    MediaCodecDetails details;
};

// One compressed frame of video or block of audio samples.
struct MediaPacket {
    const void* data = nullptr;
    std::uint32_t size = 0; // 0: a dropped frame, where the container has them
    // In the stream's time base: presentation and decoding time, and how
    // long the packet lasts (video: frames; audio: samples).
    std::int64_t pts = 0;
    std::int64_t dts = 0;
    std::int64_t duration = 1;
    bool key = false;
    // Audio: samples at the packet's end that are the encoder's padding.
    std::int64_t discardEnd = 0;
};

class IMediaSink {
public:
    virtual ~IMediaSink() = default;

    // Replaces any file of that name (UTF-8 path) with a new, empty one.
    // False, with the old file left in place, when it cannot be created or
    // another run holds it.
    virtual bool Create(const char* name) = 0;
    // Adds a stream before Begin; its number (0, 1, ...) or -1 when the
    // container cannot take it.
    virtual int AddStream(const MediaStreamSetup& setup) = 0;
    // Writes the file's headers; no stream can be added after it.
    virtual bool Begin() = 0;
    // Writes one packet of a stream, packets of each stream in decoding
    // order. False when the packet was not written.
    virtual bool WritePacket(int stream, const MediaPacket& packet) = 0;
    // Hands every packet written so far to the system (no fsync), so that a
    // run killed from here on keeps them. False after a write error.
    virtual bool Flush() = 0;
    // Completes the file (indexes, lengths) and closes it. False when
    // finishing failed or a write error lost packets on the way; what
    // reached the disk whole stays readable.
    virtual bool Finish() = 0;
    // errno of the first failure of the file itself, 0 when there was none.
    virtual int ErrorNumber() const = 0;
};

} // namespace kmx

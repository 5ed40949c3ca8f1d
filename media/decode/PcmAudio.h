// A compressed audio stream decoded once into 16-bit interleaved PCM at the
// stream's own rate and channel count. The samples go to an unlinked
// temporary file, so a long stream costs disk space, not memory, and they are
// read back by sample frame in any order (backwards too).
//
// Use: Open (or OpenWaveFormat), Decode every packet in stream order, Finish,
// then Length / Read / WaveFormat.
#pragma once

#include "media/decode/AvPointers.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVCodecParameters;
struct AVCodecParserContext;
struct SwrContext;

namespace kmx {

struct SwrContextDeleter {
    void operator()(SwrContext* p) const;
};
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;

struct ParserContextDeleter {
    void operator()(AVCodecParserContext* p) const;
};
using ParserContextPtr = std::unique_ptr<AVCodecParserContext, ParserContextDeleter>;

class CPcmAudio {
public:
    CPcmAudio() = default;
    ~CPcmAudio();
    CPcmAudio(const CPcmAudio&) = delete;
    CPcmAudio& operator=(const CPcmAudio&) = delete;

    // Opens a decoder for the stream; false when libavcodec has none, the
    // parameters are absurd or no temporary file can be made.
    bool Open(const AVCodecParameters& parameters);
    // The same for an AVI audio stream's format block (WAVEFORMATEX with its
    // extra bytes, or WAVEFORMATEXTENSIBLE).
    bool OpenWaveFormat(const std::uint8_t* format, std::size_t size);
    void Close();

    // Decodes one packet and stores what comes out. A packet the decoder
    // rejects costs only its own samples; false only when storing fails.
    // Streams of self-framing codecs (MPEG audio, AC-3, E-AC-3, DTS) are cut
    // into frames first, so a packet may hold any part of the stream.
    bool Decode(const std::uint8_t* data, std::size_t size);
    // Drains the decoder and makes the samples readable.
    bool Finish();

    // Known once the first packet has decoded; 0 before.
    std::int32_t Channels() const { return channels_; }
    std::int32_t Rate() const { return rate_; }
    std::int32_t BlockAlign() const { return channels_ * 2; }
    // Sample frames stored.
    std::int64_t Length() const { return length_; }
    // Packets the decoder rejected.
    std::int64_t Rejected() const { return rejected_; }

    // Copies count sample frames from first on into out (count x BlockAlign
    // bytes). False before Finish or when the range leaves the stream.
    bool Read(std::int64_t first, std::int64_t count, std::uint8_t* out) const;

    // The 18-byte WAVEFORMATEX of the decoded samples (format tag 1).
    std::vector<std::uint8_t> WaveFormat() const;

private:
    bool OpenDecoder(const AVCodecParameters& parameters);
    bool Parse(const std::uint8_t* data, std::size_t size);
    bool Send(const std::uint8_t* data, std::size_t size);
    bool Receive();
    bool Store(const AVFrame* frame);
    bool SetUpResampler(const AVFrame* frame);
    bool Flush();

    AvCodecContextPtr context_;
    ParserContextPtr parser_; // null for codecs whose packets are frames
    AvPacketPtr packet_;
    AvFramePtr frame_;
    SwrContextPtr resampler_;
    int resamplerFormat_ = -1;
    int resamplerRate_ = 0;
    int resamplerChannels_ = 0;
    std::int32_t channels_ = 0;
    std::int32_t rate_ = 0;
    std::int64_t length_ = 0;
    std::int64_t rejected_ = 0;
    bool finished_ = false;
    int fd_ = -1;
    std::vector<std::uint8_t> pending_; // samples not yet written to the file
    std::vector<std::uint8_t> converted_;
    std::vector<std::uint8_t> packetBytes_;
};

} // namespace kmx

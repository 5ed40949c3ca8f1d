// Encodes 16-bit interleaved PCM into AAC or Opus for the containers that
// cannot carry PCM (MP4, WebM). Samples go in in any portions; packets come
// out in order with time stamps in samples of the encoded rate, the first
// ones before 0 by the encoder's delay (which the container then hides with
// an edit list or Opus's pre-skip). Every operation reports by its result
// and never throws.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kmx {

enum class AudioCodec { Aac, Opus };

class CAudioEncoder {
public:
    // Bit rate of the encoded stream per channel pair; 160 kb/s for stereo.
    static constexpr int kBitsPerSecondPerTwoChannels = 160000;

    CAudioEncoder();
    ~CAudioEncoder();
    CAudioEncoder(const CAudioEncoder&) = delete;
    CAudioEncoder& operator=(const CAudioEncoder&) = delete;

    // Opens the encoder for PCM of sampleRate samples per second and channels
    // channels (1 .. 8). Opus takes 48000, 24000, 16000, 12000 or 8000 samples
    // per second: other rates are resampled to 48000. False when the codec is
    // missing from this machine's libavcodec or refuses the format.
    bool Open(AudioCodec codec, int sampleRate, int channels);

    // libavcodec's AVCodecID of the encoded stream.
    int CodecId() const;
    int SampleRate() const; // of the encoded stream
    int Channels() const;
    int BitRate() const; // bits per second
    // Samples of the encoded rate by which the first packet starts early.
    int InitialPadding() const;
    // Samples of the encoded rate in one packet.
    int FrameSize() const;
    // The decoder configuration (AudioSpecificConfig, OpusHead).
    const std::vector<std::uint8_t>& CodecPrivate() const;

    // Hands samples sample frames of interleaved 16-bit PCM over.
    bool Send(const std::int16_t* pcm, std::int64_t samples);
    // After the last samples: pads the last packet and asks for the rest.
    bool Flush();

    struct Packet {
        const std::uint8_t* data = nullptr; // valid until the next Take
        std::int32_t size = 0;
        std::int64_t pts = 0;        // in samples of SampleRate()
        std::int64_t duration = 0;   // in samples of SampleRate()
        std::int64_t discardEnd = 0; // padding at its end, to be dropped
    };
    // The next packet when one is ready; false when none is (yet). *failed is
    // set when the encoder failed.
    bool Take(Packet* packet, bool* failed);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace kmx

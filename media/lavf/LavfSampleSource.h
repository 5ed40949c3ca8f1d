// The video packets of a libavformat input as decoder samples (sample i is
// the i-th video packet in decoding order). Reading on from the last sample
// continues the demuxer; a jump seeks to the key packet before the wanted one
// and reads forward until it, or, when the demuxer cannot seek there, reads
// from the start.
#pragma once

#include "media/decode/AvPointers.h"
#include "media/decode/VideoDecoderSource.h"
#include "media/lavf/LavfIndex.h"
#include "media/lavf/LavfInput.h"

namespace kmx {

class CLavfSampleSource final : public IVideoSampleSource {
public:
    // The index must outlive the source.
    explicit CLavfSampleSource(const LavfVideoIndex& index) : index_(index) {}

    // Opens a demuxer of its own over the same file or bytes.
    bool OpenFile(const char* path, int stream);
    bool OpenMemory(const std::uint8_t* data, std::size_t size, int stream);

    std::int32_t SampleCount() const override;
    std::uint32_t SampleSize(std::int32_t sample) const override;
    bool IsKeySample(std::int32_t sample) const override;
    bool KeysKnown() const override { return index_.keysKnown; }
    bool ReadSample(std::int32_t sample, std::uint8_t* out) const override;
    bool ReadSamplePieces(std::int32_t sample, const ReadPiece* pieces,
                          std::size_t count) const override;
    bool ReadInterrupted() const override { return input_.Interrupted(); }

    // Jumps since opening, and how many of them read from the start because
    // the demuxer could not seek to the wanted packet (for tests).
    std::uint64_t Seeks() const { return seeks_; }
    std::uint64_t Rewinds() const { return rewinds_; }

private:
    bool Prepare(int stream);
    // The packet of the sample, read into packet_; false when it cannot be.
    bool FetchSample(std::int32_t sample) const;
    void DiscardOthers() const;
    bool NextVideoPacket() const;
    bool SeekTo(std::int32_t sample) const;
    bool SeekNear(std::int32_t sample) const;
    bool ScanTo(std::int32_t sample) const;
    bool ReadFromStart(std::int32_t sample) const;

    const LavfVideoIndex& index_;
    int stream_ = -1;
    // The demuxer's position changes as samples are read.
    mutable CLavfInput input_;
    mutable AvPacketPtr packet_;
    mutable std::int32_t next_ = 0; // the sample the demuxer delivers next; -1: unknown
    mutable std::uint64_t seeks_ = 0;
    mutable std::uint64_t rewinds_ = 0;
};

} // namespace kmx

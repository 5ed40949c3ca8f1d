// What a video decoder needs of a stream: how many samples it has, their
// sizes and key flags, and their bytes.
#pragma once

#include "media/io/FileIo.h"

#include <cstddef>
#include <cstdint>

namespace kmx {

class IVideoSampleSource {
public:
    virtual ~IVideoSampleSource() = default;
    virtual std::int32_t SampleCount() const = 0;
    // 0 for a drop frame, which repeats the frame before it.
    virtual std::uint32_t SampleSize(std::int32_t sample) const = 0;
    virtual bool IsKeySample(std::int32_t sample) const = 0;
    // False when the stream carries no key flags (a scanned file); the
    // decoder then finds its key frames itself.
    virtual bool KeysKnown() const = 0;
    // Reads SampleSize(sample) bytes into out; false when that fails.
    virtual bool ReadSample(std::int32_t sample, std::uint8_t* out) const = 0;
    // Whether the last read failed because the run was asked to stop: the
    // sample is not damaged then.
    virtual bool ReadInterrupted() const { return false; }
    // Reads the sample's first bytes into the pieces, one after the other:
    // rows straight into their places in a picture. False when the pieces
    // hold more than the sample or the read fails.
    virtual bool ReadSamplePieces(std::int32_t sample, const ReadPiece* pieces,
                                  std::size_t count) const = 0;
};

} // namespace kmx

// Where each sample of a stream lies in the file. Sources, in order of
// preference: the OpenDML indexes ('indx' super indexes with 'ix##' standard
// indexes), the 'idx1' index of the first RIFF, and a scan of the movie data.
// An index that is missing, cut off or useless is never a reason to refuse a
// file: the scan then finds the samples that really exist. Movie lists past
// the last chunk the OpenDML indexes name (extensions a writer was filling
// when it stopped) are scanned as well.
#pragma once

#include "media/avi/AviParser.h"
#include "media/avi/RiffFileReader.h"
#include "media/decode/VideoDecoderSource.h"

#include <cstdint>
#include <vector>

namespace kmx {

// Samples per stream beyond this are ignored (four days of 50 fps video).
inline constexpr std::size_t kMaxIndexEntries = 1u << 24;

struct AviSampleEntry {
    std::uint64_t pos = 0; // of the sample's data, after the chunk header
    std::uint32_t size = 0;
    bool key = false;
};

struct AviStreamIndex {
    std::vector<AviSampleEntry> entries;
    // True when the key flags came from an index; a scan knows none.
    bool keysFromFile = false;
};

enum class AviIndexSource { None, OpenDml, Idx1, Scan };

// Builds one index per requested stream number (the ## of the chunk ids), in
// the order of numbers. Entries whose data does not lie wholly within the
// file, or that name another stream, are skipped. False only when memory for
// the entries cannot be had.
bool BuildAviIndexes(const IByteSource& file, const AviLayout& layout,
                     const std::vector<int>& numbers, std::vector<AviStreamIndex>& out,
                     AviIndexSource* source = nullptr);

// The stream number of a data chunk id such as '01wb', or -1 for ids that
// carry no sample ('ix01', '01pc' palette changes, 'JUNK', 'LIST', ...).
int StreamNumberOfChunk(std::uint32_t id);

// The samples of one indexed stream, read from the file.
class CAviSampleSource final : public IVideoSampleSource {
public:
    CAviSampleSource(const IByteSource& file, const AviStreamIndex& index)
        : file_(file), index_(index) {}

    std::int32_t SampleCount() const override;
    std::uint32_t SampleSize(std::int32_t sample) const override;
    bool IsKeySample(std::int32_t sample) const override;
    bool KeysKnown() const override { return index_.keysFromFile; }
    bool ReadSample(std::int32_t sample, std::uint8_t* out) const override;
    bool ReadSamplePieces(std::int32_t sample, const ReadPiece* pieces,
                          std::size_t count) const override;

private:
    const IByteSource& file_;
    const AviStreamIndex& index_;
};

} // namespace kmx

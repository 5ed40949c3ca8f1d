// The four-character codes and flag values of the AVI file format, for the
// reader, the writer and their tests: chunk and list ids, stream types, the
// main header flags and the flags of the two kinds of index.
#pragma once

#include "media/io/ByteOrder.h"

#include <cstddef>
#include <cstdint>

namespace kmx {

// RIFF structure.
inline constexpr std::uint32_t kRiff = MakeFourcc('R', 'I', 'F', 'F');
inline constexpr std::uint32_t kList = MakeFourcc('L', 'I', 'S', 'T');
inline constexpr std::uint32_t kJunk = MakeFourcc('J', 'U', 'N', 'K');

// RIFF types: the first RIFF of a file and each OpenDML extension after it.
inline constexpr std::uint32_t kAvi = MakeFourcc('A', 'V', 'I', ' ');
inline constexpr std::uint32_t kAvix = MakeFourcc('A', 'V', 'I', 'X');

// Lists.
inline constexpr std::uint32_t kHdrl = MakeFourcc('h', 'd', 'r', 'l');
inline constexpr std::uint32_t kStrl = MakeFourcc('s', 't', 'r', 'l');
inline constexpr std::uint32_t kMovi = MakeFourcc('m', 'o', 'v', 'i');
inline constexpr std::uint32_t kRec = MakeFourcc('r', 'e', 'c', ' ');
inline constexpr std::uint32_t kOdml = MakeFourcc('o', 'd', 'm', 'l');

// Header chunks.
inline constexpr std::uint32_t kAvih = MakeFourcc('a', 'v', 'i', 'h');
inline constexpr std::uint32_t kStrh = MakeFourcc('s', 't', 'r', 'h');
inline constexpr std::uint32_t kStrf = MakeFourcc('s', 't', 'r', 'f');
inline constexpr std::uint32_t kStrn = MakeFourcc('s', 't', 'r', 'n');
inline constexpr std::uint32_t kDmlh = MakeFourcc('d', 'm', 'l', 'h');

// Indexes: idx1 of the first RIFF, the OpenDML super index of a stream.
inline constexpr std::uint32_t kIdx1 = MakeFourcc('i', 'd', 'x', '1');
inline constexpr std::uint32_t kIndx = MakeFourcc('i', 'n', 'd', 'x');

// Stream types (fccType of a stream header).
inline constexpr std::uint32_t kVids = MakeFourcc('v', 'i', 'd', 's');
inline constexpr std::uint32_t kAuds = MakeFourcc('a', 'u', 'd', 's');

// Main header flags.
inline constexpr std::uint32_t kAvifHasIndex = 0x10;
inline constexpr std::uint32_t kAvifIsInterleaved = 0x100;

// AVIIF_KEYFRAME of an idx1 entry.
inline constexpr std::uint32_t kAviIndexKeyFrame = 0x10;
// The size bit of an OpenDML standard index entry that marks "not a key frame".
inline constexpr std::uint32_t kAviStandardIndexDelta = 0x80000000u;

// bIndexType and bIndexSubType of the OpenDML indexes.
inline constexpr std::uint8_t kIndexOfIndexes = 0x00; // a super index
inline constexpr std::uint8_t kIndexOfChunks = 0x01;  // a standard index
inline constexpr std::uint8_t kIndex2Field = 0x01;    // sub type of a field index

// Ids numbered by stream (## is the stream number in two digits): the data
// chunks '##db' (uncompressed video), '##dc' (compressed video), '##wb'
// (audio), and the standard index 'ix##'.
constexpr char TensDigit(std::size_t stream) {
    return static_cast<char>('0' + stream / 10 % 10);
}
constexpr char UnitsDigit(std::size_t stream) {
    return static_cast<char>('0' + stream % 10);
}
constexpr std::uint32_t StreamChunkId(std::size_t stream, char c, char d) {
    return MakeFourcc(TensDigit(stream), UnitsDigit(stream), c, d);
}
constexpr std::uint32_t StandardIndexId(std::size_t stream) {
    return MakeFourcc('i', 'x', TensDigit(stream), UnitsDigit(stream));
}

} // namespace kmx

// The indexes of an AVI file as the writer lays them out: the AVI 1.0 idx1
// of the first RIFF, one OpenDML standard index (ix##) per stream and RIFF,
// and per stream the super index (indx) that lists those. Positions are
// 64-bit; every builder refuses entries that its format cannot express.
#pragma once

#include "media/avi/RiffByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kmx {

inline constexpr std::size_t kAviSuperIndexCapacity = 256; // entries reserved per stream

// One chunk of a stream as it was written.
struct AviIndexEntry {
    std::uint64_t position = 0; // file position of the chunk header
    std::uint32_t size = 0;     // data bytes, without the pad byte
    std::uint32_t samples = 0;  // stream samples the chunk holds
    bool key = false;
};

// File position just after the chunk, pad byte included.
inline std::uint64_t ChunkEnd(const AviIndexEntry& e) {
    return e.position + 8 + e.size + (e.size & 1);
}

// The entries of one stream for idx1, in file order.
struct AviIndexStream {
    std::uint32_t chunkId = 0;
    std::span<const AviIndexEntry> entries;
};

// One entry of a super index: where a standard index chunk lies, its whole
// size (header included) and the stream samples it covers.
struct AviSuperIndexEntry {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t duration = 0;
};

inline constexpr std::uint64_t Idx1ChunkSize(std::uint64_t entries) {
    return 8 + 16 * entries;
}
inline constexpr std::uint64_t StandardIndexChunkSize(std::uint64_t entries) {
    return 8 + 24 + 8 * entries;
}
inline constexpr std::uint64_t SuperIndexChunkSize(std::uint64_t capacity) {
    return 8 + 24 + 16 * capacity;
}

// Appends an idx1 chunk listing the entries of all streams merged in file
// order, with offsets counted from moviTypePos (the position of the 'movi'
// list type). False when an entry lies before it or beyond 32-bit offsets.
bool AppendIdx1Chunk(RiffByteWriter& out, std::span<const AviIndexStream> streams,
                     std::uint64_t moviTypePos);

// Appends a standard index chunk (ixId, e.g. 'ix00') for chunks with id
// chunkId; each entry points at its chunk's data relative to baseOffset.
// False when an entry lies before the base, more than 4 GiB after it, or
// holds 2 GiB or more.
bool AppendStandardIndexChunk(RiffByteWriter& out, std::uint32_t ixId, std::uint32_t chunkId,
                              std::span<const AviIndexEntry> entries, std::uint64_t baseOffset);

// Appends a super index with room for capacity entries. With asJunk it is
// written as a JUNK chunk of the same size (the space held free in the
// header of a file that needs no OpenDML index). False when more entries
// than capacity are given.
bool AppendSuperIndexChunk(RiffByteWriter& out, std::uint32_t chunkId,
                           std::span<const AviSuperIndexEntry> entries, std::size_t capacity,
                           bool asJunk);

} // namespace kmx

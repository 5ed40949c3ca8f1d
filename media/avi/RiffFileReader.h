// Bounds-checked reading of RIFF structures from a byte source: chunk
// headers checked against their parent's end, a bounded view of bytes
// already read, and the one helper that allocates buffers whose size comes
// from the file.
#pragma once

#include "media/io/ByteSource.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kmx {

// One chunk: 'id', 32-bit size, data. For 'RIFF' and 'LIST' chunks the list
// type is the first four data bytes.
struct RiffChunk {
    std::uint32_t id = 0;
    std::uint32_t size = 0;     // as stored
    std::uint64_t pos = 0;      // of the chunk header
    std::uint64_t dataPos = 0;  // pos + 8
    std::uint64_t dataEnd = 0;  // dataPos + size, in 64 bits
    std::uint64_t next = 0;     // dataEnd plus the pad byte of an odd size
    std::uint32_t listType = 0; // RIFF and LIST chunks only
};

// Reads the chunk header at pos. False when the 8 header bytes do not lie
// before parentEnd or cannot be read. The data end is not checked here: the
// caller decides whether a chunk passing its parent's end is an error (in
// headers) or a cut-off file (in the movie data).
bool ReadChunkHeader(const IByteSource& file, std::uint64_t pos, std::uint64_t parentEnd,
                     RiffChunk& chunk);

// True when all four characters are printable ASCII, as in every chunk id.
bool IsPlausibleChunkId(std::uint32_t id);

// The one allocation for blocks whose size comes from the file: reads size
// bytes at pos into out only if [pos, pos + size) lies before limitEnd (the
// enclosing chunk's end) and size is at most maxSize. False on any failure,
// also when the allocation itself fails; out is then empty.
bool ReadFileBlock(const IByteSource& file, std::uint64_t pos, std::uint64_t size,
                   std::uint64_t limitEnd, std::uint64_t maxSize, std::vector<std::uint8_t>& out);

// Little-endian reads from bytes already in memory, stopping at the end of
// what was read: a read past the end yields 0 and clears Ok().
class CByteView {
public:
    CByteView(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit CByteView(const std::vector<std::uint8_t>& bytes)
        : data_(bytes.data()), size_(bytes.size()) {}

    std::size_t Size() const { return size_; }
    bool Ok() const { return ok_; }
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    std::uint8_t U8(std::size_t offset);
    std::uint16_t U16(std::size_t offset);
    std::uint32_t U32(std::size_t offset);
    std::uint64_t U64(std::size_t offset);
    std::int16_t I16(std::size_t offset) { return static_cast<std::int16_t>(U16(offset)); }
    std::int32_t I32(std::size_t offset) { return static_cast<std::int32_t>(U32(offset)); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool ok_ = true;
};

} // namespace kmx

// Builds RIFF structures in memory: little-endian integers, four-character
// codes, and chunks whose size fields are filled in when they end. Growing
// the buffer may throw std::bad_alloc; the AVI writer catches it where it
// builds headers and indexes.
#pragma once

#include "media/io/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kmx {

class RiffByteWriter {
public:
    void U8(std::uint8_t v) { data_.push_back(v); }
    void U16(std::uint16_t v) { StoreU16(Grow(2), v); }
    void U32(std::uint32_t v) { StoreU32(Grow(4), v); }
    void U64(std::uint64_t v) { StoreU64(Grow(8), v); }
    void Fourcc(std::uint32_t v) { U32(v); }
    void Bytes(const void* data, std::size_t size) {
        if (size > 0) {
            std::memcpy(Grow(size), data, size);
        }
    }
    void Zeros(std::size_t size) { data_.resize(data_.size() + size, 0); }

    // Starts a chunk: its id and a size field to be filled in by EndChunk.
    // The result marks the chunk for EndChunk.
    std::size_t BeginChunk(std::uint32_t id) {
        const std::size_t mark = data_.size();
        U32(id);
        U32(0);
        return mark;
    }
    // Starts a LIST or RIFF chunk with its list type.
    std::size_t BeginList(std::uint32_t id, std::uint32_t type) {
        const std::size_t mark = BeginChunk(id);
        U32(type);
        return mark;
    }
    // Stores the size of the chunk begun at mark (everything after its size
    // field) and adds the pad byte that keeps the next chunk at an even offset.
    void EndChunk(std::size_t mark) {
        const std::size_t size = data_.size() - mark - 8;
        StoreU32(data_.data() + mark + 4, static_cast<std::uint32_t>(size));
        if ((size & 1) != 0) {
            U8(0);
        }
    }

    std::size_t Size() const { return data_.size(); }
    const std::uint8_t* Data() const { return data_.data(); }
    std::uint8_t* MutableData() { return data_.data(); }
    std::vector<std::uint8_t>& Buffer() { return data_; }

private:
    std::uint8_t* Grow(std::size_t n) {
        data_.resize(data_.size() + n);
        return data_.data() + data_.size() - n;
    }

    std::vector<std::uint8_t> data_;
};

} // namespace kmx

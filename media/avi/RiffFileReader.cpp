#include "media/avi/RiffFileReader.h"

#include "media/avi/AviChunkIds.h"
#include "media/io/ByteOrder.h"

#include <new>

namespace kmx {

bool ReadChunkHeader(const IByteSource& file, std::uint64_t pos, std::uint64_t parentEnd,
                     RiffChunk& chunk) {
    if (pos > parentEnd || parentEnd - pos < 8) {
        return false;
    }
    std::uint8_t header[12] = {};
    if (!file.ReadAt(pos, header, 8)) {
        return false;
    }
    chunk.id = LoadU32(header);
    chunk.size = LoadU32(header + 4);
    chunk.pos = pos;
    chunk.dataPos = pos + 8;
    chunk.dataEnd = chunk.dataPos + chunk.size;
    chunk.next = chunk.dataEnd + (chunk.size & 1u);
    chunk.listType = 0;
    const bool isList = chunk.id == kRiff || chunk.id == kList;
    // The type is read even when the size is below 4: an unfinished list
    // (size 0) still names its type.
    if (isList && parentEnd - pos >= 12 && file.ReadAt(pos + 8, header + 8, 4)) {
        chunk.listType = LoadU32(header + 8);
    }
    return true;
}

bool IsPlausibleChunkId(std::uint32_t id) {
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t c = (id >> (8 * i)) & 0xFFu;
        if (c < 0x20u || c > 0x7Eu) {
            return false;
        }
    }
    return true;
}

bool ReadFileBlock(const IByteSource& file, std::uint64_t pos, std::uint64_t size,
                   std::uint64_t limitEnd, std::uint64_t maxSize, std::vector<std::uint8_t>& out) {
    out.clear();
    if (size > maxSize || pos > limitEnd || size > limitEnd - pos || pos > file.Size() ||
        size > file.Size() - pos) {
        return false;
    }
    try {
        out.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    if (size > 0 && !file.ReadAt(pos, out.data(), out.size())) {
        out.clear();
        return false;
    }
    return true;
}

std::uint8_t CByteView::U8(std::size_t offset) {
    if (!Has(offset, 1)) {
        ok_ = false;
        return 0;
    }
    return data_[offset];
}

std::uint16_t CByteView::U16(std::size_t offset) {
    if (!Has(offset, 2)) {
        ok_ = false;
        return 0;
    }
    return LoadU16(data_ + offset);
}

std::uint32_t CByteView::U32(std::size_t offset) {
    if (!Has(offset, 4)) {
        ok_ = false;
        return 0;
    }
    return LoadU32(data_ + offset);
}

std::uint64_t CByteView::U64(std::size_t offset) {
    if (!Has(offset, 8)) {
        ok_ = false;
        return 0;
    }
    return LoadU64(data_ + offset);
}

} // namespace kmx

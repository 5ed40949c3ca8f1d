#include "media/RiffFileReader.h"

#include "media/AviChunkIds.h"
#include "media/ByteOrder.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace kmx {

CRiffFile::~CRiffFile() {
    Close();
}

bool CRiffFile::Open(const char* path) {
    Close();
    if (path == nullptr) {
        return false;
    }
    // Non-blocking, so that a named pipe given as the path cannot hang the
    // open; it is refused below like everything that is not a regular file.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
}

void CRiffFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    size_ = 0;
}

bool CRiffFile::ReadAt(std::uint64_t pos, void* out, std::size_t size) const {
    if (fd_ < 0 || pos > size_ || size > size_ - pos) {
        return false;
    }
    auto* bytes = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, bytes + done, size - done, static_cast<off_t>(pos + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadChunkHeader(const CRiffFile& file, std::uint64_t pos, std::uint64_t parentEnd,
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

bool ReadFileBlock(const CRiffFile& file, std::uint64_t pos, std::uint64_t size,
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

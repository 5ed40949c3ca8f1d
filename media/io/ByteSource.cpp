#include "media/io/ByteSource.h"

#include "media/io/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kmx {

CFileSource::~CFileSource() {
    Close();
}

bool CFileSource::Open(const char* path) {
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
    // A shared lock, held while the file is open, keeps a run from choosing
    // this file as its output while it is read. Without it (a file that is
    // being written) the file is still read.
    while (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EINTR) {
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
}

void CFileSource::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    size_ = 0;
}

bool CFileSource::ReadAt(std::uint64_t pos, void* out, std::size_t size) const {
    if (fd_ < 0 || pos > size_ || size > size_ - pos) {
        return false;
    }
    return ReadAllAt(fd_, static_cast<std::uint8_t*>(out), size, pos);
}

bool IByteSource::ReadPiecesAt(std::uint64_t pos, const ReadPiece* pieces,
                               std::size_t count) const {
    for (std::size_t i = 0; i < count; ++i) {
        if (!ReadAt(pos, pieces[i].out, pieces[i].size)) {
            return false;
        }
        pos += pieces[i].size;
    }
    return true;
}

bool CFileSource::ReadPiecesAt(std::uint64_t pos, const ReadPiece* pieces,
                               std::size_t count) const {
    if (fd_ < 0 || pos > size_ || PiecesSize(pieces, count) > size_ - pos) {
        return false;
    }
    return kmx::ReadPiecesAt(fd_, pieces, count, pos);
}

bool CMemorySource::ReadAt(std::uint64_t pos, void* out, std::size_t size) const {
    if (pos > size_ || size > size_ - pos) {
        return false;
    }
    if (size > 0) {
        std::memcpy(out, data_ + pos, size);
    }
    return true;
}

bool CReadAheadSource::Fill(std::uint64_t pos) const {
    const std::uint64_t size = source_.Size();
    if (pos >= size) {
        return false;
    }
    const std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(block_, size - pos));
    buffer_.resize(length);
    if (!source_.ReadAt(pos, buffer_.data(), length)) {
        buffer_.clear();
        return false;
    }
    bufferPos_ = pos;
    return true;
}

bool CReadAheadSource::ReadAt(std::uint64_t pos, void* out, std::size_t size) const {
    if (size > block_) {
        return source_.ReadAt(pos, out, size); // larger than a block: no use keeping it
    }
    const bool inside = pos >= bufferPos_ && pos - bufferPos_ <= buffer_.size() &&
                        size <= buffer_.size() - (pos - bufferPos_);
    if (!inside && (!Fill(pos) || size > buffer_.size())) {
        return false;
    }
    if (size > 0) {
        std::memcpy(out, buffer_.data() + (pos - bufferPos_), size);
    }
    return true;
}

} // namespace kmx

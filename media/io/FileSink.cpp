#include "media/io/FileSink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kmx {

namespace {

constexpr std::uint64_t kMaxFileOffset =
    static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());

} // namespace

FileSink::FileSink(std::size_t bufferSize) : bufferSize_(bufferSize == 0 ? 1 : bufferSize) {}

FileSink::~FileSink() {
    Close();
}

bool FileSink::Open(const char* path) {
    Close();
    used_ = 0;
    flushed_ = 0;
    failed_ = false;
    error_ = 0;
    if (path == nullptr || *path == '\0') {
        error_ = ENOENT;
        return false;
    }
    if (buffer_.size() != bufferSize_) {
        try {
            buffer_.assign(bufferSize_, 0);
        } catch (const std::bad_alloc&) {
            error_ = ENOMEM;
            return false;
        }
    }
    // O_NONBLOCK only keeps open() from waiting for a reader on a FIFO; it is
    // cleared again right away. The file is emptied only once it is locked,
    // so that a file another run is writing is never cut.
    int fd = -1;
    do {
        fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 || !LockAndEmpty(fd)) {
        error_ = errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool FileSink::LockAndEmpty(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        return true; // a device or FIFO is neither locked nor emptied
    }
    // Held until the file is closed: another writer of this file, or a
    // reader that holds it as its input, makes the lock fail.
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 || ::fstat(fd, &info) != 0) {
        return false;
    }
    // A file that is empty already is left alone: on ext4, cutting a file to
    // zero makes its close push all the data written since to the disk.
    return info.st_size == 0 || ::ftruncate(fd, 0) == 0;
}

bool FileSink::Replace(const char* path) {
    struct stat info {};
    if (::lstat(path, &info) != 0) {
        return Open(path);
    }
    if (S_ISLNK(info.st_mode)) {
        ::unlink(path);
        return Open(path);
    }
    if (!S_ISREG(info.st_mode)) {
        return Open(path);
    }
    const int held = ::open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (held < 0 || ::flock(held, LOCK_EX | LOCK_NB) != 0) {
        error_ = errno;
        if (held >= 0) {
            ::close(held);
        }
        return false;
    }
    ::unlink(path);
    const bool created = Open(path);
    ::close(held);
    return created;
}

bool FileSink::Close() {
    if (fd_ < 0) {
        return true;
    }
    bool ok = Flush();
    if (::close(fd_) != 0 && errno != EINTR) {
        // The data may not have reached the file (for example on NFS).
        Fail(errno);
        ok = false;
    }
    fd_ = -1;
    used_ = 0;
    return ok && !failed_;
}

void FileSink::Fail(int error) {
    if (!failed_) {
        error_ = error;
    }
    failed_ = true;
}

bool FileSink::WriteAll(std::uint64_t pos, const std::uint8_t* data, std::size_t size,
                        std::size_t* done) {
    *done = 0;
    if (pos > kMaxFileOffset || size > kMaxFileOffset - pos) {
        Fail(EFBIG);
        return false;
    }
    while (*done < size) {
        const ssize_t n = ::pwrite(fd_, data + *done, size - *done,
                                   static_cast<off_t>(pos + static_cast<std::uint64_t>(*done)));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
            return false;
        }
        if (n == 0) {
            Fail(ENOSPC);
            return false;
        }
        *done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FileSink::Flush() {
    if (fd_ < 0 || failed_) {
        return false;
    }
    if (used_ == 0) {
        return true;
    }
    std::size_t done = 0;
    const bool ok = WriteAll(flushed_, buffer_.data(), used_, &done);
    flushed_ += done;
    // On failure the rest of the buffer is lost: the output ends at what
    // reached the file.
    used_ = 0;
    return ok;
}

bool FileSink::Write(const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    if (data == nullptr) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size <= bufferSize_ - used_) {
        std::memcpy(buffer_.data() + used_, bytes, size);
        used_ += size;
        return used_ < bufferSize_ || Flush();
    }
    if (!Flush()) {
        return false;
    }
    if (size < bufferSize_) {
        std::memcpy(buffer_.data(), bytes, size);
        used_ = size;
        return true;
    }
    std::size_t done = 0;
    const bool ok = WriteAll(flushed_, bytes, size, &done);
    flushed_ += done;
    return ok;
}

bool FileSink::WriteAt(std::uint64_t pos, const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    const std::uint64_t end = Position();
    if (pos > end || size > end - pos) {
        return false; // only bytes that were written can be overwritten
    }
    if (size == 0) {
        return true;
    }
    if (data == nullptr) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t inFile = 0;
    if (pos < flushed_) {
        inFile = static_cast<std::size_t>(std::min<std::uint64_t>(size, flushed_ - pos));
        std::size_t done = 0;
        if (!WriteAll(pos, bytes, inFile, &done)) {
            return false;
        }
    }
    if (inFile < size) {
        const std::uint64_t bufferOffset = pos + inFile - flushed_;
        std::memcpy(buffer_.data() + bufferOffset, bytes + inFile, size - inFile);
    }
    return true;
}

bool FileSink::Truncate(std::uint64_t size) {
    if (fd_ < 0 || size > flushed_) {
        return false;
    }
    used_ = 0;
    int result = 0;
    do {
        result = ::ftruncate(fd_, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        Fail(errno);
        return false;
    }
    flushed_ = size;
    failed_ = false;
    return true;
}

} // namespace kmx

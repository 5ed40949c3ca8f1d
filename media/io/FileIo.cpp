#include "media/io/FileIo.h"

#include <cerrno>
#include <climits>
#include <limits>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace kmx {
namespace {

constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());

bool Fits(std::size_t size, std::uint64_t pos) {
    return pos <= kMaxOffset && size <= kMaxOffset - pos;
}

} // namespace

bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t pos) {
    if (!Fits(size, pos)) {
        return false;
    }
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(pos));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        pos += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool ReadAllAt(int fd, std::uint8_t* out, std::size_t size, std::uint64_t pos) {
    if (!Fits(size, pos)) {
        return false;
    }
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(pos));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        out += n;
        size -= static_cast<std::size_t>(n);
        pos += static_cast<std::uint64_t>(n);
    }
    return true;
}

std::uint64_t PiecesSize(const ReadPiece* pieces, std::size_t count) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        total += pieces[i].size;
    }
    return total;
}

bool ReadPiecesAt(int fd, const ReadPiece* pieces, std::size_t count, std::uint64_t pos) {
    constexpr std::size_t kMaxPieces = IOV_MAX;
    iovec vectors[kMaxPieces];
    std::size_t next = 0;       // the first piece not yet given to the system
    std::size_t doneInNext = 0; // bytes of it already read
    while (next < count) {
        std::size_t used = 0;
        std::uint64_t total = 0;
        for (std::size_t i = next; i < count && used < kMaxPieces; ++i, ++used) {
            const std::size_t skip = i == next ? doneInNext : 0;
            vectors[used].iov_base = static_cast<std::uint8_t*>(pieces[i].out) + skip;
            vectors[used].iov_len = pieces[i].size - skip;
            total += vectors[used].iov_len;
        }
        if (!Fits(static_cast<std::size_t>(total), pos)) {
            return false;
        }
        if (total == 0) {
            return true; // nothing but empty pieces left
        }
        const ssize_t n = ::preadv(fd, vectors, static_cast<int>(used), static_cast<off_t>(pos));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        pos += static_cast<std::uint64_t>(n);
        // Moves past what was read: whole pieces, then into the next one.
        auto left = static_cast<std::size_t>(n);
        while (next < count && left >= pieces[next].size - doneInNext) {
            left -= pieces[next].size - doneInNext;
            doneInNext = 0;
            ++next;
        }
        doneInNext += left;
    }
    return true;
}

} // namespace kmx

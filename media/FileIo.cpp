#include "media/FileIo.h"

#include <cerrno>
#include <limits>
#include <sys/types.h>
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

} // namespace kmx

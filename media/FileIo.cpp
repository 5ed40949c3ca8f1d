#include "media/FileIo.h"

#include <cerrno>
#include <limits>
#include <sys/types.h>
#include <unistd.h>

namespace kmx {

bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t pos) {
    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    if (pos > kMaxOffset || size > kMaxOffset - pos) {
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

} // namespace kmx

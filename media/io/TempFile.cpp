#include "media/io/TempFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <sys/types.h>
#include <unistd.h>

namespace kmx {

int OpenTemporaryFile(const char* prefix) {
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || *folder == '\0') {
        folder = "/tmp";
    }
    const int fd = ::open(folder, O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        return fd;
    }
    // A file system without unnamed files: a named one, removed at once.
    char name[4096];
    const int length = std::snprintf(name, sizeof name, "%s/%sXXXXXX", folder, prefix);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof name) {
        return -1;
    }
    const int named = ::mkostemp(name, O_CLOEXEC);
    if (named >= 0) {
        ::unlink(name);
    }
    return named;
}

bool ReserveFileSpace(int fd, std::uint64_t bytes) {
    if (bytes > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return false;
    }
    if (bytes == 0 || ::fallocate(fd, 0, 0, static_cast<off_t>(bytes)) == 0) {
        return true;
    }
    return errno == EOPNOTSUPP || errno == ENOSYS;
}

} // namespace kmx

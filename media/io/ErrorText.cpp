#include "media/io/ErrorText.h"

#include <cerrno>
#include <cstring>

namespace kmx {

std::string FileErrorText(int error) {
    if (error == EWOULDBLOCK || error == EAGAIN) {
        return "in use by another conversion";
    }
    char buffer[256] = {};
    // GNU strerror_r: the text may be a static string instead of the buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

} // namespace kmx

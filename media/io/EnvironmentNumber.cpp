#include "media/io/EnvironmentNumber.h"

#include <cstdlib>

namespace kmx {

bool NumberFromEnvironment(const char* name, std::uint64_t max, std::uint64_t* value) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return false;
    }
    std::uint64_t number = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
        number = number * 10 + static_cast<std::uint64_t>(*c - '0');
        if (number > max) {
            return false;
        }
    }
    *value = number;
    return true;
}

} // namespace kmx

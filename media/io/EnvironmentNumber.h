// Plain whole numbers from the environment, for the settings a user may give
// a process without a settings file (cache budget, thread count).
#pragma once

#include <cstdint>

namespace kmx {

// The variable's value when it is made of digits only and is at most max;
// false when it is missing, empty, anything else or too large.
bool NumberFromEnvironment(const char* name, std::uint64_t max, std::uint64_t* value);

} // namespace kmx

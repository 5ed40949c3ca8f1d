// printf-style formatting into a std::string of any length.
#pragma once

#include <string>

std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

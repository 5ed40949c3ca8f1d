// printf-style formatting into a std::string, for the dialogs' titles,
// value fields and tip texts (whose formats come from the text catalogue).
#pragma once

#include <string>

std::string TextPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

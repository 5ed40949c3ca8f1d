// The time and four-character-code texts of the file information, shared by
// the windows and the console front end.
#pragma once

#include <cstdint>
#include <string>

// "h:mm:ss,mmm" from one hour on, "m:ss,mmm" from one minute on, else "s,mmm";
// "---" for negative times (or not a number). The milliseconds always have
// three digits and follow a comma.
std::string FormatTime(double seconds);

// The four characters of a code as the compressor listing shows them
// (kmx::FourccText).
std::string FourccToText(std::uint32_t code);

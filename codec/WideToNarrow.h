// Turns a compressor's UTF-16 name or description into a byte string for
// display.
#pragma once

namespace kmx {

// Units of an ICINFO text field (szDescription) that are read at most.
inline constexpr int kWideTextUnits = 128;

// Keeps the low byte of each 16-bit unit of text, up to and including the
// first 0 unit and at most kWideTextUnits units, in a buffer of its own that
// is always terminated. The result stays valid until the next call on the
// same thread. A null text gives an empty string.
const char* WideToNarrow(const char16_t* text);

} // namespace kmx

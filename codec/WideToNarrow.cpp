#include "codec/WideToNarrow.h"

namespace kmx {

const char* WideToNarrow(const char16_t* text) {
    // One byte per unit plus the terminator that a text without a 0 unit needs.
    thread_local char buffer[kWideTextUnits + 1];
    buffer[kWideTextUnits] = '\0';
    if (text == nullptr) {
        buffer[0] = '\0';
        return buffer;
    }
    for (int i = 0; i < kWideTextUnits; ++i) {
        buffer[i] = static_cast<char>(text[i] & 0xFF);
        if (text[i] == 0) {
            break;
        }
    }
    return buffer;
}

} // namespace kmx

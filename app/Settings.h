// The two program-wide user settings and their per-user storage.
#pragma once

#include <cstdint>

class CSettings {
public:
    // Resets both values to their defaults (German, tool tips on).
    CSettings();

    // Reads "Language" and "Tool Tips" of group "Setup". True only when a
    // language 1..3 was stored; a stored tool-tip value of 0 switches tips off.
    bool Load();

    // Writes both values; a failed write is reported in a message box.
    void Save();

    static inline std::int32_t language = 1; // 1 German, 2 English, 3 Dutch
    static inline std::int32_t toolTips = 1; // non-zero: dialogs show tool tips
};

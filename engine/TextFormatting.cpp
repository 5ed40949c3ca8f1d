#include "engine/TextFormatting.h"

#include "codec/CompressorInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string FormatTime(double seconds) {
    if (!(seconds >= 0.0)) {
        return "---";
    }
    // Times beyond what 32 bits of seconds hold are shown at that limit.
    const double limited = std::min(seconds, 4294967295.0);
    const unsigned s = static_cast<unsigned>(limited);
    const unsigned ms = static_cast<unsigned>((limited - s) * 1000.0);
    const unsigned hours = s / 3600;
    const unsigned minutes = (s % 3600) / 60;
    const unsigned secs = (s % 3600) % 60;
    char text[64];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%u:%02u:%02u,%.3u", hours, minutes, secs, ms);
    } else if (minutes > 0) {
        std::snprintf(text, sizeof text, "%u:%02u,%.3u", minutes, secs, ms);
    } else {
        std::snprintf(text, sizeof text, "%u,%.3u", secs, ms);
    }
    return text;
}

std::string FourccToText(std::uint32_t code) {
    return kmx::FourccText(code);
}

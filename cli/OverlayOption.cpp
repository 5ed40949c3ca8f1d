#include "cli/OverlayOption.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == separator) {
        parts.emplace_back();
    }
    return parts;
}

// The colour option's RRGGBB, stored blue, green, red.
bool ParseColour(const std::string& value, OverlaySettings& s, std::string* error) {
    if (value.size() != 6 ||
        value.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return Fail(error, "the colour must be six hex digits RRGGBB");
    }
    const unsigned long rgb = std::strtoul(value.c_str(), nullptr, 16);
    s.borderColor = {static_cast<std::uint8_t>(rgb & 0xFF),
                     static_cast<std::uint8_t>((rgb >> 8) & 0xFF),
                     static_cast<std::uint8_t>((rgb >> 16) & 0xFF), 0};
    return true;
}

// One of the options after the rectangle: noresize or KEY=VALUE.
bool ParseOverlayExtra(const std::string& option, OverlaySettings& s, std::string* error) {
    if (option == "noresize") {
        s.noResize = 1;
        return true;
    }
    const std::size_t equals = option.find('=');
    if (equals == std::string::npos) {
        return Fail(error, "unknown overlay option '" + option + "'");
    }
    const std::string key = option.substr(0, equals);
    const std::string value = option.substr(equals + 1);
    if (key == "color" || key == "colour") {
        return ParseColour(value, s, error);
    }
    int number = 0;
    if (!ParseInt(value, number) || number < 0) {
        return Fail(error, "overlay option '" + key + "' needs a number of 0 or more");
    }
    if (key == "border") {
        s.borderWidth = number;
    } else if (key == "crop") {
        s.crop = number;
    } else if (key == "start") {
        s.overlayStart = number;
    } else if (key == "end") {
        s.overlayEnd = number;
    } else if (key == "base") {
        s.baseStart = number;
    } else {
        return Fail(error, "unknown overlay option '" + key + "'");
    }
    return true;
}

// X,Y,W,H: the first four fields.
bool ParseRectangle(const std::vector<std::string>& fields, OverlaySettings& s,
                    std::string* error) {
    if (fields.size() < 4) {
        return Fail(error, "expected the rectangle X,Y,W,H after the file");
    }
    int* rect[4] = {&s.x, &s.y, &s.width, &s.height};
    for (std::size_t i = 0; i < 4; ++i) {
        if (!ParseInt(fields[i], *rect[i])) {
            return Fail(error, "bad rectangle value '" + fields[i] + "'");
        }
    }
    if (s.x < 0 || s.y < 0 || s.width < 1 || s.height < 1) {
        return Fail(error, "the rectangle needs X, Y of 0 or more and W, H of 1 or more");
    }
    return true;
}

} // namespace

bool Fail(std::string* error, const std::string& reason) {
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool ParseOverlayOption(const std::string& text, ConvertJob& job, std::string* error) {
    const std::size_t first = text.find(':');
    const std::size_t last = text.rfind(':');
    if (first == std::string::npos || last == first) {
        return Fail(error, "expected SLOT:FILE:X,Y,W,H[,options]");
    }
    int slot = 0;
    if (!ParseInt(text.substr(0, first), slot) || slot < 1 || slot > kOverlaySlotCount) {
        return Fail(error, "the slot must be a number from 1 to 10");
    }
    const std::string path = text.substr(first + 1, last - first - 1);
    if (path.empty()) {
        return Fail(error, "the overlay file is missing");
    }
    const std::vector<std::string> fields = Split(text.substr(last + 1), ',');
    OverlaySettings s;
    s.number = slot;
    s.path = path;
    if (!ParseRectangle(fields, s, error)) {
        return false;
    }
    s.overlayEnd = INT_MAX;
    for (std::size_t i = 4; i < fields.size(); ++i) {
        if (!ParseOverlayExtra(fields[i], s, error)) {
            return false;
        }
    }
    if (s.overlayEnd < s.overlayStart) {
        return Fail(error, "the overlay's end frame lies before its start frame");
    }
    job.overlays[static_cast<std::size_t>(slot - 1)] = s;
    return true;
}

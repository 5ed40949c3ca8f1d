#include "cli/TerminalText.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

// Length of the valid UTF-8 sequence at text[at], or 0 when there is none.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<std::uint8_t>(text[at]);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<std::uint8_t>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < lowest || code > 0x10FFFF || surrogate ? 0 : length;
}

} // namespace

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<std::uint8_t>(text[at]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F) {
                AppendEscape(out, "\\x%02X", byte);
            } else {
                out += byte == '\\' ? "\\\\" : std::string(1, static_cast<char>(byte));
            }
            ++at;
            continue;
        }
        const std::size_t length = SequenceLength(text, at);
        if (length == 0) {
            AppendEscape(out, "\\x%02X", byte);
            ++at;
            continue;
        }
        const auto second = static_cast<std::uint8_t>(text[at + 1]);
        if (byte == 0xC2 && second < 0xA0) {
            AppendEscape(out, "\\u%04X", second); // a C1 control character
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out;
}

void PrintLine(std::FILE* out, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) {
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    std::fprintf(out, "%s\n", Printable(text).c_str());
}

#include "engine/WorkerMessages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void CopyTextCut(char* buffer, std::size_t size, std::string_view text) {
    if (size == 0) {
        return;
    }
    std::size_t length = text.size();
    if (length >= size) {
        length = size - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0u) == 0x80u) {
            --length;
        }
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

std::string FrameStatusText(std::int32_t frame, std::int32_t frameCount) {
    char text[64];
    std::snprintf(text, sizeof text, "%u / %u", static_cast<unsigned>(frame),
                  static_cast<unsigned>(frameCount));
    return text;
}

bool StatusTextCell::TryPut(const char* text) {
    if (!IsFree() || text == nullptr || text[0] == '\0') {
        return false;
    }
    char copy[kCapacity];
    CopyTextCut(copy, sizeof copy, text);
    std::memcpy(rest_, copy + 1, sizeof rest_);
    first_.store(copy[0], std::memory_order_release);
    return true;
}

std::string StatusTextCell::Take() {
    const char first = first_.load(std::memory_order_acquire);
    if (first == 0) {
        return std::string();
    }
    std::string text(1, first);
    text.append(rest_, strnlen(rest_, sizeof rest_));
    first_.store(0, std::memory_order_release);
    return text;
}

std::string NoRoomToReverseWarning() {
    const char* folder = std::getenv("TMPDIR");
    return std::string("WARNING: The temporary folder (") +
           (folder != nullptr && folder[0] != '\0' ? folder : "/tmp") +
           ") had no room for the decoded frames: reversing decoded them again from each key "
           "frame, which took longer";
}

std::string CutInputWarning(std::int32_t read, std::int32_t expected) {
    char text[160];
    if (expected > read) {
        std::snprintf(text, sizeof text,
                      "WARNING: The input ended early: %d of %d frames could be read", read,
                      expected);
    } else {
        std::snprintf(text, sizeof text,
                      "WARNING: The input ended early: reading stopped on damaged data after %d "
                      "frames",
                      read);
    }
    return text;
}

std::string DamagedFramesWarning(std::int64_t count) {
    char text[128];
    std::snprintf(text, sizeof text, "WARNING: %lld damaged input frame%s concealed by the decoder",
                  static_cast<long long>(count), count == 1 ? " was" : "s were");
    return text;
}

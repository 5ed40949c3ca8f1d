// The messages between the main window (or the console front end) and the
// conversion worker, and the hand-over cells they carry.
//
// The worker posts notifications to a target; the receiver handles them on its
// own thread and gives each buffer back through its cell: the status text by
// its first byte, the preview frame by its pending length, a message by its
// reply. The worker never writes into a buffer before it has been given back.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

inline constexpr std::uint32_t WM_USER = 1024;
inline constexpr std::uint32_t kWorkerFirstMessage =
    WM_USER + 100; // lowest value taken from the queue
inline constexpr std::uint32_t WM_CONVERT_START = WM_USER + 101;    // target, ConvertJob*
inline constexpr std::uint32_t WM_CONVERT_MESSAGE = WM_USER + 102;  // text, reply cell
inline constexpr std::uint32_t WM_CONVERT_QUESTION = WM_USER + 103; // text, reply cell
inline constexpr std::uint32_t WM_CONVERT_DONE = WM_USER + 104;   // 0 finished, 1 failed or aborted
inline constexpr std::uint32_t WM_CONVERT_STATUS = WM_USER + 105; // StatusTextCell*
inline constexpr std::uint32_t WM_CONVERT_PREVIEW = WM_USER + 106;  // frame, pending length
inline constexpr std::uint32_t WM_CONVERT_PROGRESS = WM_USER + 107; // per mille or -1, frames
inline constexpr std::uint32_t WM_CONVERT_WRITTEN = WM_USER + 108;  // text: what the file holds
inline constexpr std::uint32_t WM_CONVERT_WARNING = WM_USER + 109;  // text, for the finish message
inline constexpr std::uint32_t kWorkerLastMessage = WM_USER + 110;

// The lParam of the progress notice: the frames in the file so far (0 before
// the first) in the low 32 bits, the frame count in the high 32 bits; both
// -1 (lParam -1) when no frame is under way.
static_assert(sizeof(LPARAM) >= 8, "the progress notice packs two 32-bit numbers into lParam");
inline constexpr LPARAM PackProgressFrames(std::int32_t frame, std::int32_t frameCount) {
    return static_cast<LPARAM>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(frameCount)) << 32) |
        static_cast<std::uint32_t>(frame));
}

// The two halves of the progress notice's lParam.
inline constexpr std::int32_t ProgressFrameOf(LPARAM lParam) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam));
}
inline constexpr std::int32_t ProgressFrameCountOf(LPARAM lParam) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(lParam) >> 32));
}

// The status text of a frame under way: "frame / frameCount".
std::string FrameStatusText(std::int32_t frame, std::int32_t frameCount);

// Answers written into a reply cell.
inline constexpr std::int32_t kReplyOk = 13;
inline constexpr std::int32_t kReplyCancel = 27;

// Where the worker's notifications go: the main window posts them into its
// event queue, the console front end into its own. keepAlive, when set, owns
// what wParam and lParam point at; the receiver keeps it until it has handled
// the message, so a message that outlives the worker's wait stays valid.
class INotificationTarget {
public:
    virtual ~INotificationTarget() = default;
    virtual bool Post(std::uint32_t message, WPARAM wParam, LPARAM lParam,
                      std::shared_ptr<void> keepAlive) = 0;
};

// The worker's 256-byte status text. First byte 0 means free: the receiver
// has taken the previous text.
class StatusTextCell {
public:
    static constexpr std::size_t kCapacity = 256;

    // Worker: stores text (cut to 255 bytes) if the cell is free.
    bool TryPut(const char* text);
    // Receiver: copies the text and gives the cell back.
    std::string Take();
    bool IsFree() const { return first_.load(std::memory_order_acquire) == 0; }

private:
    std::atomic<char> first_{0};
    char rest_[kCapacity - 1] = {};
};

// A message or question of the worker: its text (at most 255 bytes) and the
// reply cell, 0 until the receiver answers with kReplyOk or kReplyCancel.
struct MessageTicket {
    char text[256] = {};
    std::atomic<std::int32_t> reply{0};
};

// The warning shown when a run is over for the input frames that the decoders
// found damaged and concealed.
std::string DamagedFramesWarning(std::int64_t count);
// For an input that ended before what its container promised (expected 0:
// it names nothing, but reading stopped on an error): "WARNING: The input
// ended early: 4 of 250 frames could be read".
std::string CutInputWarning(std::int32_t read, std::int32_t expected);

// The warning of a reversed run whose frames could not all go to the
// temporary folder (named as $TMPDIR gives it, else /tmp).
std::string NoRoomToReverseWarning();

// Copies text into a buffer of size bytes, cut so that the terminator fits and
// no UTF-8 character is split. The bytes after the terminator are left as
// they are.
void CopyTextCut(char* buffer, std::size_t size, std::string_view text);

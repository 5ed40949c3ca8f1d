// A notification target that queues the worker's messages for a thread that
// has no window: the console front end and the tests take them one by one.
#pragma once

#include "engine/WorkerMessages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

struct Notification {
    std::uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::shared_ptr<void> keepAlive; // keeps a message's text and reply cell valid

    // Helpers for the receiver's side of the hand-over cells.
    const char* Text() const { return reinterpret_cast<const char*>(wParam); }
    void Reply(std::int32_t answer) const {
        reinterpret_cast<std::atomic<std::int32_t>*>(lParam)->store(answer,
                                                                    std::memory_order_release);
    }
    std::string TakeStatus() const { return reinterpret_cast<StatusTextCell*>(wParam)->Take(); }
    std::int32_t PreviewLength() const {
        return reinterpret_cast<std::atomic<std::int32_t>*>(lParam)->load(
            std::memory_order_acquire);
    }
    const std::uint8_t* PreviewFrame() const {
        return reinterpret_cast<const std::uint8_t*>(wParam);
    }
    void ReleasePreview() const {
        reinterpret_cast<std::atomic<std::int32_t>*>(lParam)->store(0, std::memory_order_release);
    }
    std::int32_t PerMille() const { return static_cast<std::int32_t>(static_cast<LPARAM>(wParam)); }
    // The progress notice's frames written and frame count; -1 when unknown.
    std::int32_t ProgressFrame() const { return ProgressFrameOf(lParam); }
    std::int32_t ProgressFrameCount() const { return ProgressFrameCountOf(lParam); }
};

class CNotificationQueue final : public INotificationTarget {
public:
    bool Post(std::uint32_t message, WPARAM wParam, LPARAM lParam,
              std::shared_ptr<void> keepAlive) override;

    // Waits up to timeout for the next notification; false when none came.
    bool Wait(Notification& next, std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Notification> queue_;
};

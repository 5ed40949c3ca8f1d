#include "engine/NotificationQueue.h"

bool CNotificationQueue::Post(std::uint32_t message, WPARAM wParam, LPARAM lParam,
                              std::shared_ptr<void> keepAlive) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({message, wParam, lParam, std::move(keepAlive)});
    }
    ready_.notify_one();
    return true;
}

bool CNotificationQueue::Wait(Notification& next, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) {
        return false;
    }
    next = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

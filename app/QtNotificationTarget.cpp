#include "app/QtNotificationTarget.h"

#include <QCoreApplication>

bool CQtNotificationTarget::Post(std::uint32_t message, WPARAM wParam, LPARAM lParam,
                                 std::shared_ptr<void> keepAlive) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (receiver_.isNull()) {
        return false;
    }
    QCoreApplication::postEvent(receiver_.data(),
                                new CWorkerEvent(message, wParam, lParam, std::move(keepAlive)));
    return true;
}

void CQtNotificationTarget::Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    receiver_.clear();
}

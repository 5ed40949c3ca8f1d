// The worker's notifications as posted Qt events: each arrives on the
// receiver's thread as a CWorkerEvent whose type carries the message value.
#pragma once

#include "engine/WorkerMessages.h"

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <mutex>

class CWorkerEvent final : public QEvent {
public:
    static QEvent::Type TypeOf(std::uint32_t message) {
        return static_cast<QEvent::Type>(QEvent::User + static_cast<int>(message));
    }

    CWorkerEvent(std::uint32_t msg, WPARAM wp, LPARAM lp, std::shared_ptr<void> owner)
        : QEvent(TypeOf(msg)), message(msg), wParam(wp), lParam(lp), keepAlive(std::move(owner)) {}

    const std::uint32_t message;
    const WPARAM wParam;
    const LPARAM lParam;
    const std::shared_ptr<void> keepAlive;
};

class CQtNotificationTarget final : public INotificationTarget {
public:
    explicit CQtNotificationTarget(QObject* receiver) : receiver_(receiver) {}

    bool Post(std::uint32_t message, WPARAM wParam, LPARAM lParam,
              std::shared_ptr<void> keepAlive) override;

    // After this no more events are posted (the receiver is going away).
    void Detach();

private:
    std::mutex mutex_;
    QPointer<QObject> receiver_;
};

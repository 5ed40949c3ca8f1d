// The receiving loop for a thread without a window (the console front end and
// the tests): waits on a notification queue and hands every notification of
// the worker to a handler until the completion notice arrives.
#pragma once

#include "engine/NotificationQueue.h"

#include <chrono>
#include <cstdint>
#include <optional>

// What the receiver does with each kind of notification. The defaults give
// every hand-over cell back without looking at it and answer messages with OK.
class INotificationHandler {
public:
    virtual ~INotificationHandler() = default;

    // A message or question (n.Text(); n.message tells which). The returned
    // answer goes into its reply cell; kNoAnswerYet leaves the cell alone, for
    // a handler that keeps n (its keepAlive holds the cell) and answers later.
    static constexpr std::int32_t kNoAnswerYet = 0;
    virtual std::int32_t OnMessage(const Notification& /*n*/) { return kReplyOk; }
    // The status text cell; a handler that does not take the text keeps the
    // worker's later status texts out.
    virtual void OnStatus(const Notification& n) { n.TakeStatus(); }
    // A preview frame; a handler that does not release it keeps later
    // previews out.
    virtual void OnPreview(const Notification& n) { n.ReleasePreview(); }
    virtual void OnProgress(const Notification& /*n*/) {}
    // What a finished run wrote (n.Text()), just before its completion notice.
    virtual void OnWritten(const Notification& /*n*/) {}
    // A warning for the end of the run (n.Text()), such as a cut input.
    virtual void OnWarning(const Notification& /*n*/) {}
    // The completion notice (n.wParam as returned, n.lParam the damaged
    // input frames), just before the pump returns.
    virtual void OnDone(const Notification& /*n*/) {}
    // Called before every wait, at least once per poll period.
    virtual void OnPoll() {}
};

struct PumpOptions {
    std::chrono::milliseconds pollPeriod{100};
    // Gives up when this passes before the completion notice.
    std::optional<std::chrono::steady_clock::time_point> deadline;
};

// Returns the completion notice's value (0 finished, 1 failed or aborted), or
// -1 when the deadline passed first.
int PumpNotifications(CNotificationQueue& queue, INotificationHandler& handler,
                      const PumpOptions& options = {});

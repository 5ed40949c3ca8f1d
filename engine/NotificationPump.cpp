#include "engine/NotificationPump.h"

int PumpNotifications(CNotificationQueue& queue, INotificationHandler& handler,
                      const PumpOptions& options) {
    for (;;) {
        if (options.deadline && std::chrono::steady_clock::now() >= *options.deadline) {
            return -1;
        }
        handler.OnPoll();
        Notification n;
        if (!queue.Wait(n, options.pollPeriod)) {
            continue;
        }
        switch (n.message) {
        case WM_CONVERT_MESSAGE:
        case WM_CONVERT_QUESTION: {
            const std::int32_t answer = handler.OnMessage(n);
            if (answer != INotificationHandler::kNoAnswerYet) {
                n.Reply(answer);
            }
            break;
        }
        case WM_CONVERT_STATUS:
            handler.OnStatus(n);
            break;
        case WM_CONVERT_PREVIEW:
            handler.OnPreview(n);
            break;
        case WM_CONVERT_PROGRESS:
            handler.OnProgress(n);
            break;
        case WM_CONVERT_WRITTEN:
            handler.OnWritten(n);
            break;
        case WM_CONVERT_WARNING:
            handler.OnWarning(n);
            break;
        case WM_CONVERT_DONE:
            handler.OnDone(n);
            return static_cast<int>(n.wParam);
        default:
            break;
        }
    }
}

#include "cli/ConversionRunner.h"

#include "cli/Interrupt.h"
#include "cli/ProgressDisplay.h"
#include "engine/NotificationQueue.h"
#include "engine/TextFormatting.h"
#include "engine/WorkerThread.h"

#include <chrono>
#include <cstdio>

int RunConversion(const ConvertJob& job, bool showProgress) {
    CWorkerThread& worker = Worker();
    CNotificationQueue queue;
    if (!worker.StartWorker()) {
        std::fprintf(stderr, "INTERNAL ERROR: Unable to start worker thread\n");
        return 1;
    }
    InstallInterruptHandler();
    const auto start = std::chrono::steady_clock::now();
    if (!worker.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(&queue),
                             reinterpret_cast<LPARAM>(&job))) {
        std::fprintf(stderr, "FATAL ERROR: Sending msg to worker thread\n");
        return 1;
    }
    CProgressDisplay progress(stderr);
    bool interrupted = false;
    int done = -1;
    long total = 0;
    while (done < 0) {
        if (InterruptRequested() && !interrupted) {
            interrupted = true;
            progress.Break();
            std::fprintf(stderr, "Stopping ...\n");
            if (!worker.AbortJob()) {
                std::fprintf(stderr, "FATAL ERROR: Abort worker thread\n");
            }
        }
        Notification n;
        if (!queue.Wait(n, std::chrono::milliseconds(100))) {
            continue;
        }
        switch (n.message) {
        case WM_CONVERT_MESSAGE:
        case WM_CONVERT_QUESTION:
            progress.Break();
            std::fprintf(stderr, "%s\n", n.Text());
            n.Reply(kReplyOk);
            break;
        case WM_CONVERT_STATUS: {
            const std::string status = n.TakeStatus();
            long frame = 0;
            if (showProgress && std::sscanf(status.c_str(), "%ld / %ld", &frame, &total) == 2) {
                progress.Frame(frame, total);
            }
            break;
        }
        case WM_CONVERT_PREVIEW:
            n.ReleasePreview();
            break;
        case WM_CONVERT_DONE:
            done = static_cast<int>(n.wParam);
            break;
        default:
            break;
        }
    }
    if (done == 0 && showProgress && total > 0) {
        progress.Frame(total, total); // the last status text may have been dropped
    }
    progress.Break();
    if (!worker.StopWorker()) {
        std::fprintf(stderr, "INTERNAL ERROR: Unable to stop worker thread\n");
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done == 0) {
        std::fprintf(stderr, "Converting finished, duration %s\n", FormatTime(seconds).c_str());
        return 0;
    }
    std::fprintf(stderr, "Converting aborted, duration %s\n", FormatTime(seconds).c_str());
    return interrupted ? 130 : 1;
}

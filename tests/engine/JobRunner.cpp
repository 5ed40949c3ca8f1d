#include "tests/engine/JobRunner.h"

#include <chrono>

JobOutcome RunJobOnWorker(const ConvertJob& job, bool takeStatus, bool takePreviews) {
    CWorkerThread worker(CWorkerThread::Timing{std::chrono::milliseconds(10), 99});
    CNotificationQueue queue;
    JobOutcome outcome;
    if (!worker.StartWorker() ||
        !worker.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(&queue),
                             reinterpret_cast<LPARAM>(&job))) {
        return outcome;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
        Notification n;
        if (!queue.Wait(n, std::chrono::milliseconds(100))) {
            continue;
        }
        switch (n.message) {
        case WM_CONVERT_MESSAGE:
        case WM_CONVERT_QUESTION:
            outcome.messages.emplace_back(n.Text());
            n.Reply(kReplyOk);
            break;
        case WM_CONVERT_STATUS:
            if (takeStatus) {
                outcome.statuses.push_back(n.TakeStatus());
            } else {
                outcome.statuses.emplace_back();
            }
            break;
        case WM_CONVERT_PREVIEW:
            ++outcome.previews;
            if (takePreviews) {
                outcome.lastPreview.assign(n.PreviewFrame(), n.PreviewFrame() + n.PreviewLength());
                n.ReleasePreview();
            }
            break;
        case WM_CONVERT_PROGRESS:
            outcome.progress.push_back(n.PerMille());
            break;
        case WM_CONVERT_DONE:
            outcome.done = static_cast<int>(n.wParam);
            worker.StopWorker();
            return outcome;
        default:
            break;
        }
    }
    worker.StopWorker();
    return outcome;
}

ConvertJob SimpleJob(const std::string& input, const std::string& output) {
    ConvertJob job = MakeInitialJob();
    job.inputPath = input;
    job.outputPath = output;
    return job;
}

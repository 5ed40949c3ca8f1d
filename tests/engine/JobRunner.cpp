#include "tests/engine/JobRunner.h"

#include <chrono>

namespace {

// Records everything and answers every message with OK.
class CRecordingHandler final : public INotificationHandler {
public:
    CRecordingHandler(JobOutcome& outcome, bool takeStatus, bool takePreviews)
        : outcome_(outcome), takeStatus_(takeStatus), takePreviews_(takePreviews) {}

    std::int32_t OnMessage(const Notification& n) override {
        outcome_.messages.emplace_back(n.Text());
        return kReplyOk;
    }
    void OnStatus(const Notification& n) override {
        outcome_.statuses.push_back(takeStatus_ ? n.TakeStatus() : std::string());
    }
    void OnPreview(const Notification& n) override {
        ++outcome_.previews;
        if (takePreviews_) {
            outcome_.lastPreview.assign(n.PreviewFrame(), n.PreviewFrame() + n.PreviewLength());
            n.ReleasePreview();
        }
    }
    void OnWarning(const Notification& n) override { outcome_.warnings.emplace_back(n.Text()); }
    void OnDone(const Notification& n) override { outcome_.damaged = n.lParam; }
    void OnProgress(const Notification& n) override {
        outcome_.progress.push_back(n.PerMille());
        outcome_.progressFrames.emplace_back(n.ProgressFrame(), n.ProgressFrameCount());
    }

private:
    JobOutcome& outcome_;
    const bool takeStatus_;
    const bool takePreviews_;
};

} // namespace

JobOutcome RunJobOnWorker(const ConvertJob& job, bool takeStatus, bool takePreviews) {
    CWorkerThread worker(CWorkerThread::Timing{std::chrono::milliseconds(10), 99});
    CNotificationQueue queue;
    JobOutcome outcome;
    if (!worker.StartWorker() ||
        !worker.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(&queue),
                             reinterpret_cast<LPARAM>(&job))) {
        return outcome;
    }
    CRecordingHandler handler(outcome, takeStatus, takePreviews);
    PumpOptions options;
    options.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    outcome.done = PumpNotifications(queue, handler, options);
    worker.StopWorker();
    return outcome;
}

ConvertJob SimpleJob(const std::string& input, const std::string& output) {
    ConvertJob job = MakeInitialJob();
    job.inputPath = input;
    job.outputPath = output;
    return job;
}

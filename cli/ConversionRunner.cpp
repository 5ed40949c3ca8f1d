#include "cli/ConversionRunner.h"

#include "cli/Interrupt.h"
#include "cli/JsonProgress.h"
#include "cli/ProgressDisplay.h"
#include "cli/TerminalText.h"
#include "engine/NotificationPump.h"
#include "engine/TextFormatting.h"
#include "engine/WorkerThread.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The console's side of the protocol: messages printed and acknowledged, the
// progress line drawn from the progress notices, Ctrl-C stopping the job (a
// second one ends the program in the signal handler).
class CConsoleHandler final : public INotificationHandler {
public:
    CConsoleHandler(CWorkerThread& worker, bool showProgress, CJsonProgress* json)
        : worker_(worker), showProgress_(showProgress), json_(json), progress_(stderr) {}

    std::int32_t OnMessage(const Notification& n) override {
        progress_.Break();
        Say(n.Text());
        return kReplyOk;
    }
    void OnProgress(const Notification& n) override {
        if (showProgress_ && n.ProgressFrameCount() > 0) {
            progress_.Frame(n.ProgressFrame(), n.ProgressFrameCount());
        }
        if (json_ != nullptr) {
            json_->Frame(n.ProgressFrame(), n.ProgressFrameCount());
        }
    }
    void OnPoll() override {
        if (json_ != nullptr) {
            json_->Tick();
        }
        if (!InterruptRequested() || abortRaised_) {
            return;
        }
        if (!interrupted_) {
            interrupted_ = true;
            progress_.Break();
            Say("Stopping ... (Ctrl-C again ends the program at once)");
        }
        // A signal that came before the worker thread was there (one a batch
        // sent as the run began) waits for it: an abort raised before would
        // reach no job.
        if (worker_.State() < 0) {
            return;
        }
        abortRaised_ = true;
        if (!worker_.AbortJob()) {
            Say("FATAL ERROR: Abort worker thread");
        }
    }

    // Prints a line of the run on standard error and keeps it for the JSON.
    void Say(const std::string& text) {
        PrintLine(stderr, "%s", text.c_str());
        said_.push_back(text);
    }
    const std::vector<std::string>& Said() const { return said_; }

    void OnWritten(const Notification& n) override { written_ = n.Text(); }
    void OnDone(const Notification& n) override { damaged_ = n.lParam; }
    void OnWarning(const Notification& n) override { warnings_.emplace_back(n.Text()); }

    bool Interrupted() const { return interrupted_; }
    std::int64_t Damaged() const { return damaged_; }
    const std::string& Written() const { return written_; }
    const std::vector<std::string>& Warnings() const { return warnings_; }
    void EndProgress() { progress_.Break(); }

private:
    CWorkerThread& worker_;
    const bool showProgress_;
    CJsonProgress* json_;
    CProgressDisplay progress_;
    std::vector<std::string> said_;
    bool interrupted_ = false;
    bool abortRaised_ = false;
    std::int64_t damaged_ = 0;
    std::string written_;
    std::vector<std::string> warnings_;
};

} // namespace

int RunConversion(const ConvertJob& job, bool showProgress, CJsonProgress* json) {
    CWorkerThread& worker = Worker();
    CNotificationQueue queue;
    if (!worker.StartWorker()) {
        PrintLine(stderr, "INTERNAL ERROR: Unable to start worker thread");
        return 1;
    }
    InstallInterruptHandler();
    const auto start = std::chrono::steady_clock::now();
    if (!worker.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(&queue),
                             reinterpret_cast<LPARAM>(&job))) {
        PrintLine(stderr, "FATAL ERROR: Sending msg to worker thread");
        return 1;
    }
    CConsoleHandler handler(worker, showProgress, json);
    const int done = PumpNotifications(queue, handler);
    handler.EndProgress();
    if (!worker.StopWorker()) {
        handler.Say("INTERNAL ERROR: Unable to stop worker thread");
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (handler.Damaged() > 0) {
        handler.Say(DamagedFramesWarning(handler.Damaged()));
    }
    for (const std::string& warning : handler.Warnings()) {
        handler.Say(warning);
    }
    int status = 0;
    if (done == 0) {
        handler.Say("Converting finished, duration " + FormatTime(seconds));
        if (!handler.Written().empty()) {
            handler.Say("Written: " + handler.Written());
        }
    } else {
        handler.Say("Converting aborted, duration " + FormatTime(seconds));
        status = handler.Interrupted() ? 130 : 1;
    }
    if (json != nullptr) {
        json->Finish(status == 0   ? "finished"
                     : status == 1 ? "failed"
                                   : "interrupted",
                     handler.Said());
    }
    return status;
}

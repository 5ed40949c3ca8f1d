#include "cli/ConversionRunner.h"

#include "cli/Interrupt.h"
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
    CConsoleHandler(CWorkerThread& worker, bool showProgress)
        : worker_(worker), showProgress_(showProgress), progress_(stderr) {}

    std::int32_t OnMessage(const Notification& n) override {
        progress_.Break();
        PrintLine(stderr, "%s", n.Text());
        return kReplyOk;
    }
    void OnProgress(const Notification& n) override {
        if (showProgress_ && n.ProgressFrameCount() > 0) {
            progress_.Frame(n.ProgressFrame(), n.ProgressFrameCount());
        }
    }
    void OnPoll() override {
        if (!InterruptRequested() || interrupted_) {
            return;
        }
        interrupted_ = true;
        progress_.Break();
        PrintLine(stderr, "Stopping ... (Ctrl-C again ends the program at once)");
        if (!worker_.AbortJob()) {
            PrintLine(stderr, "FATAL ERROR: Abort worker thread");
        }
    }

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
    CProgressDisplay progress_;
    bool interrupted_ = false;
    std::int64_t damaged_ = 0;
    std::string written_;
    std::vector<std::string> warnings_;
};

} // namespace

int RunConversion(const ConvertJob& job, bool showProgress) {
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
    CConsoleHandler handler(worker, showProgress);
    const int done = PumpNotifications(queue, handler);
    handler.EndProgress();
    if (!worker.StopWorker()) {
        PrintLine(stderr, "INTERNAL ERROR: Unable to stop worker thread");
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (handler.Damaged() > 0) {
        PrintLine(stderr, "%s", DamagedFramesWarning(handler.Damaged()).c_str());
    }
    for (const std::string& warning : handler.Warnings()) {
        PrintLine(stderr, "%s", warning.c_str());
    }
    if (done == 0) {
        PrintLine(stderr, "Converting finished, duration %s", FormatTime(seconds).c_str());
        if (!handler.Written().empty()) {
            PrintLine(stderr, "Written: %s", handler.Written().c_str());
        }
        return 0;
    }
    PrintLine(stderr, "Converting aborted, duration %s", FormatTime(seconds).c_str());
    return handler.Interrupted() ? 130 : 1;
}

// Conversions through the main window: the job it posts, the worker's
// notifications, Stop, the completion notice, and leaving while a job runs.
#include "app/QtNotificationTarget.h"
#include "engine/ConvertThread.h"
#include "media/AviReader.h"
#include "tests/ui/MainDlgFixtureTest.h"

#include <QCoreApplication>
#include <QTest>

#include <chrono>
#include <deque>
#include <regex>
#include <thread>

namespace {

using namespace std::chrono_literals;

class MainDlgConversion : public MainDlgTest {
protected:
    // A worker that polls quickly; its waits (Stop, closing) last at most a second.
    CWorkerThread::Timing fast{10ms, 100};

    // Waits (handling events) until the dialog has left the converting state.
    static bool WaitUntilIdle(const CMainDlg& dlg) {
        return QTest::qWaitFor([&] { return !dlg.IsConverting(); }, 20000);
    }

    static bool WaitUntilRunning(const CWorkerThread& worker) {
        // Without handling events: the worker's notices stay queued.
        for (int i = 0; i < 2000; ++i) {
            if (worker.State() == CConvertThread::kRunning) {
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    static int FramesIn(const std::string& path) {
        CAviReader reader;
        return reader.Open(path.c_str()) ? reader.GetVideoLength(0) : -1;
    }

    // Records the status line as it stands when the completion notice arrives.
    class StatusAtDone final : public QObject {
    public:
        explicit StatusAtDone(CMainDlg& dlg) : dlg_(dlg) { dlg.installEventFilter(this); }
        std::string status;

    protected:
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == CWorkerEvent::TypeOf(WM_CONVERT_DONE)) {
                status = dlg_.StatusText();
            }
            return false;
        }

    private:
        CMainDlg& dlg_;
    };

    void SendEvent(CMainDlg& dlg, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        CWorkerEvent event(message, wParam, lParam, nullptr);
        QCoreApplication::sendEvent(&dlg, &event);
    }
};

TEST_F(MainDlgConversion, FullConversionThroughTheWorker) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    const std::string input = Sample("base.avi", 64, 48, 30);
    const std::string output = dir.File("out.avi");
    CMainDlg dlg(worker);
    // 75.5 seconds across the wrap of the 32-bit millisecond clock.
    std::deque<std::uint32_t> ticks{0xFFFFF000u, 0xFFFFF000u + 75500u};
    dlg.SetClock([&ticks] {
        const std::uint32_t now = ticks.front();
        if (ticks.size() > 1) {
            ticks.pop_front();
        }
        return now;
    });
    ChooseInput(dlg, input);
    ChooseOutput(dlg, output);
    Button(dlg, 1003)->click(); // reverse
    Button(dlg, 1004)->click();
    Button(dlg, 1023)->click(); // lower half
    Button(dlg, 1004)->click(); // mirror off again: the half keeps its mark

    StatusAtDone statusAtDone(dlg);
    Button(dlg, 3)->click();
    ASSERT_TRUE(dlg.IsConverting());
    EXPECT_EQ(dlg.FrameCount(), 0); // the input is closed during the run
    EXPECT_TRUE(Enabled(dlg, 4));
    for (int id : {3, 5, 6, 1, 8, 9, 1003, 1004, 1005, 1006, 1012, 1011, 1014, 1022}) {
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    }
    for (int id : {7, 10, 1019}) {
        EXPECT_TRUE(Enabled(dlg, id)) << id; // Info, Setup and the picture stay
    }
    const ConvertJob& job = dlg.Job();
    EXPECT_EQ(job.inputPath, input);
    EXPECT_EQ(job.outputPath, output);
    EXPECT_EQ(job.reverse, 1);
    EXPECT_EQ(job.preview, 1);
    EXPECT_EQ(job.mirrorHorizontal, 0);
    EXPECT_EQ(job.mirrorLowerHalf, 1);
    EXPECT_EQ(job.mirrorUpperHalf, 0);
    EXPECT_EQ(job.compressorSettings.cbSize, 64);

    Button(dlg, 3)->click(); // a second Start does nothing
    ASSERT_TRUE(WaitUntilIdle(dlg));

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Converting finished\r\nDuration=1:15,500");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_TRUE(std::regex_match(statusAtDone.status, std::regex("[0-9]+ / 30")))
        << statusAtDone.status;
    EXPECT_EQ(dlg.StatusText(), ""); // emptied when the input is opened again
    // The preview frames were taken: one 64 x 48 x 24 DIB is held.
    EXPECT_EQ(dlg.PreviewLength(), 40 + 64 * 48 * 3);

    // The input is open again and the output is complete.
    EXPECT_EQ(dlg.FrameCount(), 30);
    EXPECT_TRUE(Enabled(dlg, 3));
    EXPECT_FALSE(Enabled(dlg, 4));
    EXPECT_EQ(FramesIn(output), 30);
}

TEST_F(MainDlgConversion, EngineMessagesAreShownAndAnswered) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    ChooseOutput(dlg, dir.File("no such folder/out.avi"));
    Button(dlg, 3)->click();
    // The worker waits for the answer; only then does it report the end.
    ASSERT_TRUE(WaitUntilIdle(dlg));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "FEHLER: Öffne Output AVI");
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes.shown[1].text.rfind("Converting aborted\r\nDuration=", 0), 0u);
    EXPECT_EQ(boxes.shown[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dlg.FrameCount(), 3);
}

TEST_F(MainDlgConversion, StopDuringARunAbortsIt) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    // The output cannot be created: the worker stops in the middle of the
    // run and waits for its message to be answered.
    ChooseOutput(dlg, dir.File("no such folder/out.avi"));
    Button(dlg, 3)->click();
    ASSERT_TRUE(WaitUntilRunning(worker));

    Button(dlg, 4)->click();
    // The worker gave up waiting and is idle; the window is ready again
    // before any of the worker's notices was handled.
    EXPECT_EQ(worker.State(), CConvertThread::kIdle);
    EXPECT_FALSE(dlg.IsConverting());
    EXPECT_EQ(dlg.FrameCount(), 3);
    EXPECT_TRUE(Enabled(dlg, 3));
    EXPECT_FALSE(Enabled(dlg, 4));
    EXPECT_TRUE(boxes.shown.empty());

    // The queued message and the completion notice follow as usual.
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.shown.size() == 2; }, 5000));
    EXPECT_EQ(boxes.shown[0].text, "FEHLER: Öffne Output AVI");
    EXPECT_EQ(boxes.shown[1].text.rfind("Converting aborted\r\nDuration=", 0), 0u);
    EXPECT_EQ(boxes.shown[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dlg.FrameCount(), 3);
}

TEST_F(MainDlgConversion, UnconfirmedAbortKeepsTheConvertingState) {
    // A worker that is never waited for: Stop cannot be confirmed.
    CWorkerThread worker(CWorkerThread::Timing{10ms, 0});
    ASSERT_TRUE(worker.StartWorker());
    {
        CMainDlg dlg(worker);
        ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
        ChooseOutput(dlg, dir.File("no such folder/out.avi"));
        Button(dlg, 3)->click();
        ASSERT_TRUE(WaitUntilRunning(worker));
        Button(dlg, 4)->click();
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"FATAL ERROR: Abort worker thread"});
        EXPECT_TRUE(dlg.IsConverting());
        EXPECT_TRUE(Enabled(dlg, 4));
        // The abort request stands: the run ends and reports it.
        ASSERT_TRUE(WaitUntilIdle(dlg));
        EXPECT_EQ(boxes.shown.back().text.rfind("Converting aborted", 0), 0u);
        EXPECT_EQ(dlg.FrameCount(), 3);
    }
    // This worker's own stop does not wait either: let its thread end first.
    worker.StopWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return worker.State() == -1; }, 5000));
    std::this_thread::sleep_for(20ms);
}

TEST_F(MainDlgConversion, JobThatCannotBePostedLeavesTheWindowIdle) {
    CWorkerThread worker(fast); // never started
    CMainDlg dlg(worker);
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    ChooseOutput(dlg, dir.File("out.avi"));
    Button(dlg, 3)->click();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"FATAL ERROR: Sending msg to worker thread"});
    EXPECT_FALSE(dlg.IsConverting());
    EXPECT_EQ(dlg.FrameCount(), 0); // the input stays closed
    EXPECT_TRUE(Enabled(dlg, 5));
    EXPECT_FALSE(Enabled(dlg, 4));
}

TEST_F(MainDlgConversion, InputLostDuringTheRunGivesTheNoInputLayout) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    const std::string input = Sample("base.avi", 32, 24, 3);
    ChooseInput(dlg, input);
    ChooseOutput(dlg, dir.File("out.avi"));
    Button(dlg, 3)->click();
    ASSERT_TRUE(dlg.IsConverting());
    std::remove(input.c_str());
    ASSERT_TRUE(WaitUntilIdle(dlg));
    EXPECT_EQ(boxes.shown.back().text, "ERROR:\r\nOpen AVI file");
    EXPECT_EQ(dlg.FrameCount(), 0);
    // Not the converting layout any more.
    EXPECT_FALSE(Enabled(dlg, 4));
    for (int id : {5, 6, 1, 1003, 1004, 1006}) {
        EXPECT_TRUE(Enabled(dlg, id)) << id;
    }
    EXPECT_FALSE(Enabled(dlg, 3));
}

TEST_F(MainDlgConversion, ClosingDuringARunAbortsTheJob) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    {
        CMainDlg dlg(worker);
        ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
        ChooseOutput(dlg, dir.File("no such folder/out.avi"));
        Button(dlg, 3)->click();
        ASSERT_TRUE(WaitUntilRunning(worker));
    }
    EXPECT_EQ(worker.State(), CConvertThread::kIdle);
    QCoreApplication::processEvents(); // nothing is left for the closed window
    EXPECT_TRUE(boxes.shown.empty());

    // The worker takes the next window's job as usual.
    CMainDlg next(worker);
    ChooseInput(next, Sample("second.avi", 32, 24, 4));
    ChooseOutput(next, dir.File("out.avi"));
    Button(next, 3)->click();
    ASSERT_TRUE(WaitUntilIdle(next));
    EXPECT_EQ(boxes.shown.back().text.rfind("Converting finished", 0), 0u);
    EXPECT_EQ(FramesIn(dir.File("out.avi")), 4);
}

TEST_F(MainDlgConversion, QuestionsAreAnsweredWithOkOrCancel) {
    CMainDlg dlg;
    MessageTicket ticket;
    CopyTextCut(ticket.text, sizeof ticket.text, "WARNING: go on?");
    boxes.Answer(MessageResult::Cancel);
    SendEvent(dlg, WM_CONVERT_QUESTION, reinterpret_cast<WPARAM>(ticket.text),
              reinterpret_cast<LPARAM>(&ticket.reply));
    EXPECT_EQ(ticket.reply.load(), kReplyCancel);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "WARNING: go on?");
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::OkCancel);

    ticket.reply = 0;
    boxes.Answer(MessageResult::Ok);
    SendEvent(dlg, WM_CONVERT_QUESTION, reinterpret_cast<WPARAM>(ticket.text),
              reinterpret_cast<LPARAM>(&ticket.reply));
    EXPECT_EQ(ticket.reply.load(), kReplyOk);

    ticket.reply = 0;
    SendEvent(dlg, WM_CONVERT_MESSAGE, reinterpret_cast<WPARAM>(ticket.text),
              reinterpret_cast<LPARAM>(&ticket.reply));
    EXPECT_EQ(ticket.reply.load(), kReplyOk);
    EXPECT_EQ(boxes.shown.back().buttons, MessageButtons::Ok);
}

TEST_F(MainDlgConversion, StatusTextsAreCopiedAndGivenBack) {
    CMainDlg dlg;
    StatusTextCell cell;
    ASSERT_TRUE(cell.TryPut("7 / 9"));
    SendEvent(dlg, WM_CONVERT_STATUS, reinterpret_cast<WPARAM>(&cell), 0);
    EXPECT_TRUE(cell.IsFree());
    EXPECT_EQ(dlg.StatusText(), "7 / 9");
    EXPECT_EQ(Text(dlg, 1017), QStringLiteral("7 / 9"));
    SendEvent(dlg, WM_CONVERT_STATUS, 0, 0);
    EXPECT_EQ(dlg.StatusText(), "");
}

TEST_F(MainDlgConversion, PreviewFramesOutsideARunAreRefused) {
    CMainDlg dlg;
    std::vector<std::uint8_t> frame(40 + 4 * 4 * 3);
    std::atomic<std::int32_t> pending{static_cast<std::int32_t>(frame.size())};
    SendEvent(dlg, WM_CONVERT_PREVIEW, reinterpret_cast<WPARAM>(frame.data()),
              reinterpret_cast<LPARAM>(&pending));
    EXPECT_EQ(pending.load(), 0);
    EXPECT_EQ(dlg.PreviewLength(), 0);
}

TEST_F(MainDlgConversion, UnknownCompletionResultIsAnInternalError) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    SendEvent(dlg, WM_CONVERT_DONE, 2, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Internal programming error");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(dlg.FrameCount(), 3);
}

} // namespace

// Conversions through the main window and a real worker: the job it posts,
// the completion notice, engine messages, and closing during a run (Stop is
// tried with the preview's frames).
#include "media/AviReader.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/DamagedInput.h"
#include "tests/support/ExternalTools.h"
#include "tests/ui/MainDlgFixtureTest.h"

#include <tuple>
#include <vector>

namespace {

// Takes the worker's messages off the window's queue unanswered, so that the
// worker goes on waiting for an answer.
class HeldMessages final : public QObject {
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != CWorkerEvent::TypeOf(WM_CONVERT_MESSAGE)) {
            return false;
        }
        held = true;
        return true;
    }
    bool held = false;
};

using MainDlgConversion = MainDlgTest;

int FramesIn(const std::string& path) {
    CAviReader reader;
    return reader.Open(path.c_str()) ? reader.GetVideoLength(0) : -1;
}

TEST_F(MainDlgConversion, TheFinishMessageCountsConcealedFrames) {
    REQUIRE_TOOL("ffmpeg");
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    const std::string input = dir.File("damaged.avi");
    ASSERT_TRUE(WriteDamagedH264Avi(input));
    CMainDlg dlg(worker);
    ChooseInput(dlg, input);
    ChooseOutput(dlg, dir.File("out.avi"));
    Button(dlg, 3)->click();
    ASSERT_TRUE(WaitUntilIdle(dlg));
    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::string& text = boxes.shown[0].text;
    EXPECT_EQ(text.rfind("Converting finished\r\nDuration=", 0), 0u) << text;
    EXPECT_NE(text.find("\r\nAVI (Video DIB)\r\nWARNING: "), std::string::npos) << text;
    EXPECT_NE(text.find("concealed by the decoder"), std::string::npos) << text;
}

// Records the status line of the window at every message box.
class StatusAtEveryBox final : public IMessageBoxService {
public:
    explicit StatusAtEveryBox(const CMainDlg& dlg) : dlg_(dlg) { SetMessageBoxService(this); }
    ~StatusAtEveryBox() override { SetMessageBoxService(nullptr); }
    MessageResult Show(const std::string&, MessageButtons, MessageIcon) override {
        statuses.push_back(dlg_.StatusText());
        return MessageResult::Ok;
    }
    std::vector<std::string> statuses;

private:
    const CMainDlg& dlg_;
};

TEST_F(MainDlgConversion, ARunWithoutPreviewShowsTheBlueAreaAndAFinishedOneItsLastFrame) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    Button(dlg, 1006)->click(); // no preview while converting
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    ASSERT_FALSE(dlg.PositionText().empty());
    ChooseOutput(dlg, dir.File("no such folder/out.avi"));
    Button(dlg, 3)->click();
    ASSERT_TRUE(WaitUntilRunning(worker));
    EXPECT_TRUE(dlg.PositionText().empty());
    EXPECT_TRUE(Text(dlg, 1018).isEmpty());
    const QImage& shown = dlg.PreviewWindow()->Surface();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(0, 0, 255));

    // The worker dropped the last status text: the finish message still
    // comes with the last frame in the status line.
    StatusAtEveryBox recorder(dlg);
    Send(dlg, WM_CONVERT_PROGRESS, 1000, PackProgressFrames(3, 3));
    Send(dlg, WM_CONVERT_DONE, 0, 0);
    EXPECT_EQ(recorder.statuses, std::vector<std::string>{"3 / 3"});
}

TEST_F(MainDlgConversion, FullConversionThroughTheWorker) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    const std::string input = Sample("base.avi", 64, 48, 30);
    const std::string output = dir.File("out.avi");
    CMainDlg dlg(worker);
    // 75.5 seconds across the wrap of the 32-bit millisecond clock.
    int reads = 0;
    dlg.SetClock([&reads] { return 0xFFFFF000u + (reads++ == 0 ? 0u : 75500u); });
    ChooseInput(dlg, input);
    ChooseOutput(dlg, output);
    Button(dlg, 1003)->click(); // reverse
    Button(dlg, 1004)->click();
    Button(dlg, 1023)->click(); // lower half
    Button(dlg, 1004)->click(); // mirror off again: the half keeps its mark

    Button(dlg, 3)->click();
    ASSERT_TRUE(dlg.IsConverting());
    EXPECT_EQ(dlg.FrameCount(), 0); // the input is closed during the run
    EXPECT_TRUE(Enabled(dlg, 4));
    for (int id : {3, 5, 6, 1, 8, 9, 1003, 1004, 1011, 1014, 1022}) {
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    }
    const ConvertJob& job = dlg.Job();
    EXPECT_EQ(std::make_tuple(job.reverse, job.preview, job.mirrorHorizontal, job.mirrorLowerHalf),
              std::make_tuple(1, 1, 0, 1));

    ASSERT_TRUE(WaitUntilIdle(dlg));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Converting finished\r\nDuration=1:15,500\r\nAVI (Video DIB)");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    // The input is open again and the output is complete.
    EXPECT_EQ(dlg.FrameCount(), 30);
    EXPECT_TRUE(Enabled(dlg, 3));
    EXPECT_FALSE(Enabled(dlg, 4));
    EXPECT_EQ(FramesIn(output), 30);
}

TEST_F(MainDlgConversion, EngineMessagesAreAnsweredAndTheRunEndsAborted) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    ASSERT_TRUE(StartARunThatWaits(dlg, worker));
    // The worker waits for the answer; only then does it report the end.
    ASSERT_TRUE(WaitUntilIdle(dlg));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text.rfind("ERROR: Unknown output file type (" +
                                            dir.File("out.unknown") + "); supported are",
                                        0),
              0u);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes.shown[1].text.rfind("Converting aborted\r\nDuration=", 0), 0u);
    EXPECT_EQ(boxes.shown[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dlg.FrameCount(), 3);

    // The reply cell receives OK (13), or Cancel (27) for a cancelled question.
    MessageTicket ticket;
    CopyTextCut(ticket.text, sizeof ticket.text, "WARNING: go on?");
    Send(dlg, WM_CONVERT_MESSAGE, reinterpret_cast<WPARAM>(ticket.text),
         reinterpret_cast<LPARAM>(&ticket.reply));
    EXPECT_EQ(ticket.reply.load(), 13);
    ticket.reply = 0;
    boxes.Answer(MessageResult::Cancel);
    Send(dlg, WM_CONVERT_QUESTION, reinterpret_cast<WPARAM>(ticket.text),
         reinterpret_cast<LPARAM>(&ticket.reply));
    EXPECT_EQ(ticket.reply.load(), 27);
    EXPECT_EQ(boxes.shown.back().buttons, MessageButtons::OkCancel);
}

TEST_F(MainDlgConversion, ClosingDuringARunAbortsTheJob) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    const std::string output = dir.File("out.avi");
    {
        CMainDlg dlg(worker);
        HeldMessages messages;
        dlg.installEventFilter(&messages);
        // Six frames and a sample of 8 bytes, too short for any picture, as
        // the third; without an index the reader finds the samples by scanning.
        avitest::TestStream video = avitest::RawVideoStream(32, 24, 6);
        video.samples.insert(video.samples.begin() + 2, avitest::Bytes(8));
        ChooseInput(dlg, avitest::WriteAvi(dir, "short.avi", {video}, {avitest::IndexKind::None}));
        ASSERT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
        ASSERT_EQ(dlg.FrameCount(), 7);
        ChooseOutput(dlg, output);
        Button(dlg, 3)->click();
        // The worker writes two frames and then waits at the damaged one for
        // its message to be answered; nothing answers it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return messages.held; }, 20000));
    }
    // Only the abort of the closed window ends a run that waits like this.
    ASSERT_TRUE(QTest::qWaitFor([&] { return worker.State() == CConvertThread::kIdle; }, 5000));
    QCoreApplication::sendPostedEvents(); // notices still queued find no window
    EXPECT_TRUE(boxes.shown.empty());
    // The output was closed as a whole file with the frames written before.
    const int written = FramesIn(output);
    EXPECT_GE(written, 0);
    EXPECT_LE(written, 2);
}

} // namespace

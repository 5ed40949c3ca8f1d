#include "engine/WorkerThread.h"
#include "engine/NotificationPump.h"
#include "media/AviReader.h"
#include "tests/engine/JobRunner.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A one-shot signal between two threads; raising it again changes nothing.
struct Signal {
    void Raise() {
        flag.test_and_set();
        flag.notify_all();
    }
    void Wait() { flag.wait(false); }
    std::atomic_flag flag;
};

// Queues notifications like the console front end, but holds the worker
// inside Post when it reports a chosen progress value, until released.
class HoldingTarget final : public INotificationTarget {
public:
    explicit HoldingTarget(int holdAtPerMille) : holdAt_(holdAtPerMille) {}

    bool Post(std::uint32_t message, WPARAM wParam, LPARAM lParam,
              std::shared_ptr<void> keepAlive) override {
        if (message == WM_CONVERT_PROGRESS && static_cast<int>(wParam) == holdAt_) {
            held.Raise();
            released.Wait();
        }
        return queue.Post(message, wParam, lParam, std::move(keepAlive));
    }

    CNotificationQueue queue;
    Signal held;
    Signal released;

private:
    const int holdAt_;
};

// Handles notifications as the default handler does (status texts taken,
// messages answered with OK) until the completion notice; returns its
// wParam, or -1 when none came within a minute.
int DrainUntilDone(CNotificationQueue& queue) {
    INotificationHandler handler;
    PumpOptions options;
    options.deadline = std::chrono::steady_clock::now() + 60s;
    return PumpNotifications(queue, handler, options);
}

// A job converting a test-pattern sample written into dir.
ConvertJob SampleJob(const TempDir& dir, int width, int height, int frames, bool audio = false) {
    avitest::WriteSample(dir, "in.avi",
                         {.width = width, .height = height, .frames = frames, .audio = audio});
    return SimpleJob(dir.File("in.avi"), dir.File("out.avi"));
}

// Starts the worker and hands it the job with its notification target.
bool StartJob(CWorkerThread& worker, INotificationTarget& target, const ConvertJob& job) {
    return worker.StartWorker() &&
           worker.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(&target),
                               reinterpret_cast<LPARAM>(&job));
}

const CWorkerThread::Timing kFast{10ms, 20};

// A worker whose abort and quit requests raise `raised`.
CWorkerThread::Hooks SignalRequests(Signal& raised) {
    CWorkerThread::Hooks hooks;
    hooks.requestRaised = [&raised] { raised.Raise(); };
    return hooks;
}

// A worker whose first look for a message raises `ready`, then waits for `go` when given.
CWorkerThread::Hooks AtFirstLook(Signal& ready, Signal* go = nullptr) {
    auto first = std::make_shared<std::atomic<bool>>(true);
    CWorkerThread::Hooks hooks;
    hooks.beforeTake = [first, &ready, go] {
        if (first->exchange(false)) {
            ready.Raise();
            if (go != nullptr) {
                go->Wait();
            }
        }
    };
    return hooks;
}

TEST(WorkerThread, IdleRequestsAnswerAtOnce) {
    // A wait for the worker would outlast the test's time limit.
    CWorkerThread worker(CWorkerThread::Timing{10ms, 1000000});
    Signal idle;
    worker.SetHooks(AtFirstLook(idle));
    EXPECT_EQ(worker.State(), -1);
    EXPECT_TRUE(worker.AbortJob()); // no worker at all
    EXPECT_FALSE(worker.PostToWorker(WM_CONVERT_START, 0, 0));
    ASSERT_TRUE(worker.StartWorker());
    ASSERT_TRUE(worker.StartWorker()); // already running
    idle.Wait();
    EXPECT_EQ(worker.State(), CConvertThread::kIdle);
    EXPECT_TRUE(worker.AbortJob());
    // A message the worker never takes is refused (it would keep the worker
    // from sleeping); one without a job changes nothing.
    EXPECT_FALSE(worker.PostToWorker(WM_USER + 5, 0, 0));
    EXPECT_FALSE(worker.PostToWorker(kWorkerLastMessage + 1, 0, 0));
    EXPECT_TRUE(worker.PostToWorker(WM_CONVERT_START, 0, 0));
    EXPECT_TRUE(worker.StopWorker());
    EXPECT_EQ(worker.State(), -1);
    // It can be started again after stopping.
    EXPECT_TRUE(worker.StartWorker());
    EXPECT_TRUE(worker.StopWorker());
}

// An abort, or a stop of the worker, raised as frame 10 is reported
// ends the run before the next frame; the file keeps frames 1..10.
TEST(WorkerThread, AbortOrStopEndsTheRunBeforeTheNextFrameAndKeepsWhatWasWritten) {
    REQUIRE_TOOL("ffprobe");
    for (const bool stop : {false, true}) {
        TempDir dir;
        const ConvertJob job = SampleJob(dir, 64, 48, 40, true);
        CWorkerThread worker(kFast);
        Signal raised;
        worker.SetHooks(SignalRequests(raised));
        HoldingTarget target(1000 * 10 / 40); // frames 1..10 are written
        ASSERT_TRUE(StartJob(worker, target, job));
        target.held.Wait();
        auto ended = std::async(std::launch::async,
                                [&] { return stop ? worker.StopWorker() : worker.AbortJob(); });
        raised.Wait(); // the request is up while the worker is held
        target.released.Raise();
        EXPECT_TRUE(ended.get()) << stop;
        EXPECT_EQ(worker.State(), stop ? -1 : CConvertThread::kIdle);
        EXPECT_EQ(DrainUntilDone(target.queue), 1);
        EXPECT_TRUE(worker.StopWorker());

        CAviReader reader;
        ASSERT_TRUE(reader.Open(dir.File("out.avi").c_str()));
        EXPECT_EQ(reader.GetVideoLength(0), 10) << stop;
        EXPECT_EQ(avitest::ProbeStreams(dir.File("out.avi"))["stream.0.nb_read_frames"], "10");
    }
}

TEST(WorkerThread, AbortWaitIsBoundedWhenTheWorkerDoesNotReturn) {
    TempDir dir;
    const ConvertJob job = SampleJob(dir, 32, 16, 5);

    CWorkerThread worker(CWorkerThread::Timing{10ms, 5});
    HoldingTarget target(1000 * 2 / 5);
    ASSERT_TRUE(StartJob(worker, target, job));
    target.held.Wait();
    EXPECT_FALSE(worker.AbortJob()); // five polls, then it gives up
    EXPECT_EQ(worker.State(), CConvertThread::kRunning);
    // The abort request stays raised: the run ends before its next frame.
    target.released.Raise();
    EXPECT_EQ(DrainUntilDone(target.queue), 1);
    EXPECT_TRUE(worker.StopWorker());
}

TEST(WorkerThread, MessagesWaitForTheirAnswerAndStayValidAfterAnAbort) {
    TempDir dir;
    ConvertJob job = SimpleJob(dir.File("missing.avi"), dir.File("out.avi"));
    CWorkerThread worker(kFast);
    CNotificationQueue queue;
    ASSERT_TRUE(StartJob(worker, queue, job));

    // The next engine message, its notices before it passed over.
    const auto nextMessage = [&queue](Notification& message) {
        while (queue.Wait(message, 2s) && message.message != WM_CONVERT_MESSAGE) {
        }
        return message.message == WM_CONVERT_MESSAGE;
    };
    const std::string text =
        "FEHLER: Öffne Input AVI (" + dir.File("missing.avi") + ": No such file or directory)";
    Notification message;
    ASSERT_TRUE(nextMessage(message));
    EXPECT_EQ(message.Text(), text);
    // Unanswered, the worker waits.
    EXPECT_EQ(worker.State(), CConvertThread::kRunning);
    // First run: answered, the run ends as failed.
    message.Reply(kReplyOk);
    EXPECT_EQ(DrainUntilDone(queue), 1);

    // Second run: aborted while its message is still unanswered. The text and
    // the reply cell stay usable for the receiver afterwards.
    ASSERT_TRUE(StartJob(worker, queue, job));
    Notification pending;
    ASSERT_TRUE(nextMessage(pending));
    EXPECT_TRUE(worker.AbortJob());
    EXPECT_EQ(DrainUntilDone(queue), 1);
    EXPECT_TRUE(worker.StopWorker());
    EXPECT_EQ(pending.Text(), text);
    pending.Reply(kReplyOk);
}

TEST(WorkerThread, AnAbortBeforeTheWorkerTakesTheJobStillStopsIt) {
    // Stop pressed right after Start, before the worker has looked at its
    // queue: the job must not run, and the wait for the worker covers the
    // job still queued.
    TempDir dir;
    const ConvertJob job = SampleJob(dir, 32, 16, 10);
    CWorkerThread worker(kFast);
    Signal posted; // the worker is up: the job may be posted now
    Signal aborted;
    worker.SetHooks(AtFirstLook(posted, &aborted));
    CNotificationQueue queue;
    ASSERT_TRUE(worker.StartWorker());
    posted.Wait();
    const std::string earlier = "an earlier output";
    std::ofstream(dir.File("out.avi")) << earlier;
    ASSERT_TRUE(StartJob(worker, queue, job));
    auto abort = std::async(std::launch::async, [&worker] { return worker.AbortJob(); });
    EXPECT_EQ(abort.wait_for(100ms), std::future_status::timeout); // the job is still queued
    aborted.Raise();
    EXPECT_TRUE(abort.get());
    EXPECT_EQ(DrainUntilDone(queue), 1);
    EXPECT_EQ(ReadText(dir.File("out.avi")), earlier);

    // The next job is not touched by that abort.
    ASSERT_TRUE(StartJob(worker, queue, job));
    EXPECT_EQ(DrainUntilDone(queue), 0);
    EXPECT_TRUE(worker.StopWorker());

    // An abort asked for as the worker thread starts, before it may run,
    // ends the job too (how far the job got depends on the thread's start).
    CWorkerThread fresh(kFast);
    ASSERT_TRUE(fresh.StartWorker());
    ASSERT_TRUE(StartJob(fresh, queue, job));
    EXPECT_TRUE(fresh.AbortJob());
    EXPECT_EQ(DrainUntilDone(queue), 1);
}

// The job is the worker's own from the moment it is posted, and every notice
// holds what it points at: a receiver that handles them only after the
// worker thread has ended still reads the last status text and preview
// (AddressSanitizer and ThreadSanitizer watch these runs).
TEST(WorkerThread, JobsAndNoticesOutliveThoseWhoMadeThem) {
    TempDir dir;
    CWorkerThread worker(kFast);
    Signal ready;
    Signal go;
    worker.SetHooks(AtFirstLook(ready, &go));
    CNotificationQueue queue;
    ASSERT_TRUE(worker.StartWorker());
    ready.Wait();
    {
        ConvertJob job = SampleJob(dir, 32, 16, 6);
        job.preview = 1;
        ASSERT_TRUE(StartJob(worker, queue, job));
        job.outputPath = dir.File("never.avi"); // the posted copy is not touched
    }
    go.Raise();
    while (!std::filesystem::exists(dir.File("out.avi")) ||
           worker.State() != CConvertThread::kIdle) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(worker.StopWorker()); // the notices are still queued
    std::string status;
    std::vector<std::uint8_t> preview;
    for (Notification n; queue.Wait(n, 0ms);) {
        if (n.message == WM_CONVERT_STATUS) {
            status = n.TakeStatus();
        } else if (n.message == WM_CONVERT_PREVIEW && n.PreviewLength() > 0) {
            preview.assign(n.PreviewFrame(), n.PreviewFrame() + n.PreviewLength());
            n.ReleasePreview();
        }
    }
    EXPECT_EQ(status.rfind(" / 6"), status.size() - 4) << status;
    EXPECT_GT(preview.size(), 32u * 16 * 3);
    EXPECT_TRUE(std::filesystem::exists(dir.File("out.avi")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("never.avi")));
}

TEST(WorkerThread, AWorkerLeftRunningOutlivesItsObject) {
    // StopWorker gives up on a worker that does not end in time and leaves it
    // running; destroying the object must not pull its state from under it.
    TempDir dir;
    const ConvertJob job = SampleJob(dir, 32, 16, 5);
    HoldingTarget target(1000 * 2 / 5);
    Signal ended;
    {
        auto worker = std::make_unique<CWorkerThread>(CWorkerThread::Timing{1ms, 1});
        CWorkerThread::Hooks hooks;
        hooks.threadEnded = [&ended] { ended.Raise(); };
        worker->SetHooks(hooks);
        ASSERT_TRUE(StartJob(*worker, target, job));
        target.held.Wait();
        EXPECT_FALSE(worker->StopWorker()); // the worker is held: left running
        worker.reset();
    }
    target.released.Raise(); // the worker goes on with its own state and quits
    EXPECT_EQ(DrainUntilDone(target.queue), 1);
    ended.Wait(); // the target and the signal must outlive the thread's last use
}

} // namespace

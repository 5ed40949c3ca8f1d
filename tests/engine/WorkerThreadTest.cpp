#include "engine/WorkerThread.h"
#include "engine/NotificationPump.h"
#include "media/AviReader.h"
#include "pattern/TestPattern.h"
#include "tests/engine/JobRunner.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A one-shot signal between two threads.
class Signal {
public:
    void Raise() {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = true;
        changed_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return raised_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// Queues notifications like the console front end, but holds the worker
// inside Post when it reports a chosen progress value, until released.
class HoldingTarget final : public INotificationTarget {
public:
    explicit HoldingTarget(int holdAtPerMille) : holdAt_(holdAtPerMille) {}

    bool Post(std::uint32_t message, WPARAM wParam, LPARAM lParam,
              std::shared_ptr<void> keepAlive) override {
        if (message == WM_CONVERT_PROGRESS && static_cast<int>(wParam) == holdAt_) {
            held_.Raise();
            released_.Wait();
        }
        return queue.Post(message, wParam, lParam, std::move(keepAlive));
    }
    void WaitUntilHeld() { held_.Wait(); }
    void Release() { released_.Raise(); }

    CNotificationQueue queue;

private:
    const int holdAt_;
    Signal held_;
    Signal released_;
};

// Takes the status texts and answers messages with OK, or keeps them
// unanswered in *kept.
class CDrainingHandler final : public INotificationHandler {
public:
    explicit CDrainingHandler(std::vector<Notification>* kept) : kept_(kept) {}
    std::int32_t OnMessage(const Notification& n) override {
        if (kept_ == nullptr) {
            return kReplyOk;
        }
        kept_->push_back(n);
        return kNoAnswerYet;
    }

private:
    std::vector<Notification>* kept_;
};

// Handles notifications until the completion notice; returns its wParam, or
// -1 when none came within a minute.
int DrainUntilDone(CNotificationQueue& queue, std::vector<Notification>* messages = nullptr) {
    CDrainingHandler handler(messages);
    PumpOptions options;
    options.deadline = std::chrono::steady_clock::now() + 60s;
    return PumpNotifications(queue, handler, options);
}

// An uncompressed test-pattern video at path.
bool WriteSample(const std::string& path, int width, int height, int frames, bool audio = false) {
    return kmx::WriteSampleAvi(
        path, {.width = width, .height = height, .frames = frames, .audio = audio});
}

// A job converting a test-pattern sample written into dir; its input path
// is empty when the sample could not be written.
ConvertJob SampleJob(const TempDir& dir, int width, int height, int frames, bool audio = false) {
    if (!WriteSample(dir.File("in.avi"), width, height, frames, audio)) {
        return ConvertJob{};
    }
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

TEST(WorkerThread, IdleRequestsAnswerAtOnce) {
    CWorkerThread worker(kFast);
    EXPECT_EQ(worker.State(), -1);
    EXPECT_TRUE(worker.AbortJob()); // no worker at all
    EXPECT_FALSE(worker.PostToWorker(WM_CONVERT_START, 0, 0));
    ASSERT_TRUE(worker.StartWorker());
    ASSERT_TRUE(worker.StartWorker()); // already running
    for (int i = 0; i < 100 && worker.State() != CConvertThread::kIdle; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(worker.State(), CConvertThread::kIdle);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.AbortJob());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    // Messages outside the worker's range, or without a job, change nothing.
    EXPECT_TRUE(worker.PostToWorker(WM_USER + 5, 0, 0));
    EXPECT_TRUE(worker.PostToWorker(WM_CONVERT_START, 0, 0));
    EXPECT_TRUE(worker.StopWorker());
    EXPECT_EQ(worker.State(), -1);
    // It can be started again after stopping.
    EXPECT_TRUE(worker.StartWorker());
    EXPECT_TRUE(worker.StopWorker());
}

TEST(WorkerThread, AbortEndsTheRunBeforeTheNextFrameAndKeepsWhatWasWritten) {
    TempDir dir;
    const ConvertJob job = SampleJob(dir, 64, 48, 40, true);
    ASSERT_FALSE(job.inputPath.empty());

    CWorkerThread worker(kFast);
    Signal raised;
    worker.SetHooks(SignalRequests(raised));
    HoldingTarget target(1000 * 11 / 40); // progress of frame 11: frames 1..10 are written
    ASSERT_TRUE(StartJob(worker, target, job));
    target.WaitUntilHeld();
    auto aborted = std::async(std::launch::async, [&] { return worker.AbortJob(); });
    raised.Wait(); // the abort request is up while the worker is held
    target.Release();
    EXPECT_TRUE(aborted.get());
    EXPECT_EQ(worker.State(), CConvertThread::kIdle);
    EXPECT_EQ(DrainUntilDone(target.queue), 1);
    EXPECT_TRUE(worker.StopWorker());

    CAviReader reader;
    ASSERT_TRUE(reader.Open(dir.File("out.avi").c_str()));
    EXPECT_EQ(reader.GetVideoLength(0), 10);
    REQUIRE_TOOL("ffprobe");
    std::string frames;
    RunTool({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=nb_read_frames", "-of", "csv=p=0", dir.File("out.avi")},
            &frames);
    EXPECT_EQ(std::stoi(frames), 10);
}

TEST(WorkerThread, AbortWaitIsBoundedWhenTheWorkerDoesNotReturn) {
    TempDir dir;
    const ConvertJob job = SampleJob(dir, 32, 16, 5);
    ASSERT_FALSE(job.inputPath.empty());

    CWorkerThread worker(CWorkerThread::Timing{10ms, 5});
    HoldingTarget target(1000 * 2 / 5);
    ASSERT_TRUE(StartJob(worker, target, job));
    target.WaitUntilHeld();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(worker.AbortJob()); // five polls, then it gives up
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 50ms);
    EXPECT_LT(waited, 2s);
    EXPECT_EQ(worker.State(), CConvertThread::kRunning);
    // The abort request stays raised: the run ends before its next frame.
    target.Release();
    EXPECT_EQ(DrainUntilDone(target.queue), 1);
    EXPECT_TRUE(worker.StopWorker());
}

TEST(WorkerThread, MessagesWaitForTheirAnswerAndStayValidAfterAnAbort) {
    TempDir dir;
    ConvertJob job = SimpleJob(dir.File("missing.avi"), dir.File("out.avi"));
    CWorkerThread worker(kFast);
    CNotificationQueue queue;
    ASSERT_TRUE(StartJob(worker, queue, job));

    Notification message;
    while (queue.Wait(message, 2s) && message.message != WM_CONVERT_MESSAGE) {
    }
    ASSERT_EQ(message.message, static_cast<std::uint32_t>(WM_CONVERT_MESSAGE));
    EXPECT_STREQ(message.Text(), "FEHLER: Öffne Input AVI");
    // Unanswered, the worker waits.
    EXPECT_EQ(worker.State(), CConvertThread::kRunning);
    // First run: answered, the run ends as failed.
    message.Reply(kReplyOk);
    EXPECT_EQ(DrainUntilDone(queue), 1);

    // Second run: aborted while its message is still unanswered. The text and
    // the reply cell stay usable for the receiver afterwards.
    ASSERT_TRUE(worker.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(&queue),
                                    reinterpret_cast<LPARAM>(&job)));
    Notification pending;
    while (queue.Wait(pending, 2s) && pending.message != WM_CONVERT_MESSAGE) {
    }
    ASSERT_EQ(pending.message, static_cast<std::uint32_t>(WM_CONVERT_MESSAGE));
    EXPECT_TRUE(worker.AbortJob());
    EXPECT_EQ(DrainUntilDone(queue), 1);
    EXPECT_TRUE(worker.StopWorker());
    EXPECT_STREQ(pending.Text(), "FEHLER: Öffne Input AVI");
    pending.Reply(kReplyOk);
}

TEST(WorkerThread, StopWorkerEndsARunningJob) {
    TempDir dir;
    const ConvertJob job = SampleJob(dir, 32, 16, 10);
    ASSERT_FALSE(job.inputPath.empty());
    CWorkerThread worker(kFast);
    Signal raised;
    worker.SetHooks(SignalRequests(raised));
    HoldingTarget target(1000 * 3 / 10);
    ASSERT_TRUE(StartJob(worker, target, job));
    target.WaitUntilHeld();
    auto stopped = std::async(std::launch::async, [&] { return worker.StopWorker(); });
    raised.Wait();
    target.Release();
    EXPECT_TRUE(stopped.get());
    EXPECT_EQ(worker.State(), -1);
    EXPECT_EQ(DrainUntilDone(target.queue), 1);
}

TEST(WorkerThread, AnAbortBeforeTheWorkerTakesTheJobStillStopsIt) {
    // Stop pressed right after Start, before the worker has looked at its
    // queue: the job must not run to its end.
    TempDir dir;
    const ConvertJob job = SampleJob(dir, 32, 16, 10);
    ASSERT_FALSE(job.inputPath.empty());
    CWorkerThread worker(kFast);
    Signal posted;
    Signal aborted;
    std::atomic<bool> first{true};
    CWorkerThread::Hooks hooks;
    hooks.beforeTake = [&] {
        if (first.exchange(false)) {
            posted.Raise(); // the worker is up: the job may be posted now
            aborted.Wait();
        }
    };
    worker.SetHooks(hooks);
    CNotificationQueue queue;
    ASSERT_TRUE(worker.StartWorker());
    posted.Wait();
    ASSERT_TRUE(worker.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(&queue),
                                    reinterpret_cast<LPARAM>(&job)));
    EXPECT_TRUE(worker.AbortJob()); // idle: answered at once
    aborted.Raise();
    EXPECT_EQ(DrainUntilDone(queue), 1);
    {
        CAviReader reader;
        if (reader.Open(dir.File("out.avi").c_str())) {
            EXPECT_EQ(reader.GetVideoLength(0), 0);
        }
    }

    // The next job is not touched by that abort.
    ASSERT_TRUE(worker.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(&queue),
                                    reinterpret_cast<LPARAM>(&job)));
    EXPECT_EQ(DrainUntilDone(queue), 0);
    EXPECT_TRUE(worker.StopWorker());
}

TEST(WorkerThread, AWorkerLeftRunningOutlivesItsObject) {
    // StopWorker gives up on a worker that does not end in time and leaves it
    // running; destroying the object must not pull its state from under it.
    TempDir dir;
    const ConvertJob job = SampleJob(dir, 32, 16, 5);
    ASSERT_FALSE(job.inputPath.empty());
    HoldingTarget target(1000 * 2 / 5);
    Signal ended;
    {
        auto worker = std::make_unique<CWorkerThread>(CWorkerThread::Timing{1ms, 1});
        CWorkerThread::Hooks hooks;
        hooks.threadEnded = [&ended] { ended.Raise(); };
        worker->SetHooks(hooks);
        ASSERT_TRUE(StartJob(*worker, target, job));
        target.WaitUntilHeld();
        EXPECT_FALSE(worker->StopWorker()); // the worker is held: left running
        worker.reset();
    }
    target.Release(); // the worker goes on with its own state and quits
    EXPECT_EQ(DrainUntilDone(target.queue), 1);
    ended.Wait(); // the target and the signal must outlive the thread's last use
}

} // namespace

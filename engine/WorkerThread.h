// The conversion worker thread as the user-interface side sees it: started
// once, given jobs through its message queue, asked to abort a job or to quit,
// each request followed by a bounded wait.
#pragma once

#include "engine/ConvertThread.h"
#include "engine/WorkerMessages.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CWorkerThread {
public:
    struct Timing {
        std::chrono::milliseconds poll{100}; // the worker's polling period
        int waitTicks = 99;                  // AbortJob / StopWorker wait this many periods
    };

    // Calls into a test at the points where the two threads meet, so that a
    // test can order them without sleeping. Each runs on the thread named.
    struct Hooks {
        std::function<void()> requestRaised; // caller: an abort or quit flag is up
        std::function<void()> beforeTake;    // worker: about to look for a message
        std::function<void()> threadEnded;   // worker: its last step, all work done
    };

    CWorkerThread() = default;
    explicit CWorkerThread(Timing timing);
    ~CWorkerThread(); // stops the worker if it still runs
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Set before StartWorker.
    void SetHooks(Hooks hooks);

    // Starts the worker thread unless it runs already; true if it runs.
    bool StartWorker();
    // Asks the worker to quit (and abort its job) and waits up to 99 polls
    // for it to end; true when it ended in time or never ran. A worker that
    // did not end in time is left to end on its own: it owns what it uses.
    bool StopWorker();
    // Asks the running job, or the one posted and not yet taken, to abort
    // and waits up to 99 polls for the worker to be idle; true when it is
    // idle (also at once when no job runs).
    bool AbortJob();
    // The same request without the wait: the job's completion notice tells
    // when it has ended. AbortWait is how long AbortJob would wait.
    void RequestAbort();
    std::chrono::milliseconds AbortWait() const;
    // Posts a message to the worker's queue; false when no worker thread
    // exists or the worker takes no message of that number. WM_CONVERT_START
    // takes the notification target as wParam and the job's address as
    // lParam; the job is copied here, so the caller's copy may go at once. A
    // job posted after an abort starts without it.
    bool PostToWorker(std::uint32_t message, WPARAM wParam, LPARAM lParam);

    // The worker's state (created, idle, running) or -1 while no worker exists.
    std::int32_t State() const;

private:
    struct Message {
        std::uint32_t message;
        WPARAM wParam;
        std::shared_ptr<const ConvertJob> job; // of WM_CONVERT_START
    };

    // Everything the worker thread uses. The thread holds it too, so a thread
    // left running after StopWorker gave up never outlives its state.
    struct Shared {
        explicit Shared(Timing t) : timing(t) {}
        const Timing timing;
        Hooks hooks;
        std::atomic<std::int32_t> quit{0};
        std::atomic<std::int32_t> abort{0};
        std::atomic<CConvertThread*> worker{nullptr};
        std::mutex queueMutex;
        std::condition_variable wake;
        std::deque<Message> queue;

        void RaiseAbort();
        // Takes the next message; a job taken marks the worker running at
        // once, under the queue's lock, so that AbortJob never sees it
        // neither queued nor running.
        bool TakeMessage(Message& message, CConvertThread& converter);
        // No job queued or running; called under the queue's lock.
        bool Idle() const;
        void Sleep();
        void WorkerLoop(CConvertThread& converter);
    };

    static void ThreadProcedure(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>(Timing{});
    std::thread thread_;
};

// The program's worker thread.
CWorkerThread& Worker();

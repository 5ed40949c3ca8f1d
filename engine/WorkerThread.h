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
#include <mutex>
#include <thread>

class CWorkerThread {
public:
    struct Timing {
        std::chrono::milliseconds poll{100}; // the worker's polling period
        int waitTicks = 99;                  // AbortJob / StopWorker wait this many periods
    };

    CWorkerThread() = default;
    explicit CWorkerThread(Timing timing) : timing_(timing) {}
    ~CWorkerThread(); // stops the worker if it still runs
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts the worker thread unless it runs already; true if it runs.
    bool StartWorker();
    // Asks the worker to quit (and abort its job) and waits up to 99 polls
    // for it to end; true when it ended in time or never ran.
    bool StopWorker();
    // Asks the running job to abort and waits up to 99 polls for the worker
    // to be idle; true when it is idle (also at once when no job runs).
    bool AbortJob();
    // Posts a message to the worker's queue; false when no worker thread exists.
    // WM_CONVERT_START takes the notification target as wParam and the job's
    // address as lParam; the job is copied when the worker takes the message.
    bool PostToWorker(std::uint32_t message, WPARAM wParam, LPARAM lParam);

    // The worker's state (created, idle, running) or -1 while no worker exists.
    std::int32_t State() const;

private:
    struct Message {
        std::uint32_t message;
        WPARAM wParam;
        LPARAM lParam;
    };

    void ThreadProcedure();
    void WorkerLoop(CConvertThread& worker);
    bool TakeMessage(Message& message);
    void Sleep();

    const Timing timing_{};
    std::thread thread_;
    std::atomic<std::int32_t> quit_{0};
    std::atomic<std::int32_t> abort_{0};
    std::atomic<CConvertThread*> worker_{nullptr};

    std::mutex queueMutex_;
    std::condition_variable wake_;
    std::deque<Message> queue_;
};

// The program's worker thread.
CWorkerThread& Worker();

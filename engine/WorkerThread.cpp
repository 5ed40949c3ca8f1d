#include "engine/WorkerThread.h"

#include <sys/resource.h>
#include <unistd.h>

CWorkerThread& Worker() {
    static CWorkerThread worker;
    return worker;
}

CWorkerThread::~CWorkerThread() {
    StopWorker();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool CWorkerThread::StartWorker() {
    if (thread_.joinable()) {
        return true;
    }
    quit_.store(0, std::memory_order_release);
    try {
        thread_ = std::thread(&CWorkerThread::ThreadProcedure, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool CWorkerThread::StopWorker() {
    quit_.store(1, std::memory_order_release);
    abort_.store(1, std::memory_order_release);
    wake_.notify_all();
    bool ended = worker_.load(std::memory_order_acquire) == nullptr;
    for (int tick = 0; !ended && tick < timing_.waitTicks; ++tick) {
        std::this_thread::sleep_for(timing_.poll);
        ended = worker_.load(std::memory_order_acquire) == nullptr;
    }
    if (thread_.joinable()) {
        // The worker object is gone only after its loop has ended, so the
        // thread finishes at once; a worker that did not end in time keeps
        // running on its own and quits at its next look at the flag.
        if (ended) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }
    return ended;
}

bool CWorkerThread::AbortJob() {
    if (worker_.load(std::memory_order_acquire) == nullptr) {
        return true;
    }
    abort_.store(1, std::memory_order_release);
    for (int tick = 0;; ++tick) {
        if (State() == CConvertThread::kIdle) {
            return true;
        }
        if (tick == timing_.waitTicks) {
            return false;
        }
        std::this_thread::sleep_for(timing_.poll);
    }
}

bool CWorkerThread::PostToWorker(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (!thread_.joinable()) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.push_back({message, wParam, lParam});
    }
    wake_.notify_all();
    return true;
}

std::int32_t CWorkerThread::State() const {
    const CConvertThread* worker = worker_.load(std::memory_order_acquire);
    return worker != nullptr ? worker->state.load(std::memory_order_acquire) : -1;
}

void CWorkerThread::ThreadProcedure() {
    // Conversions run below normal priority, so the desktop stays responsive.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
    {
        CConvertThread worker(abort_, timing_.poll);
        worker_.store(&worker, std::memory_order_release);
        WorkerLoop(worker);
        worker.ReleaseBuffers();
        worker_.store(nullptr, std::memory_order_release);
    }
}

bool CWorkerThread::TakeMessage(Message& message) {
    std::lock_guard<std::mutex> lock(queueMutex_);
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->message >= kWorkerFirstMessage && it->message <= kWorkerLastMessage) {
            message = *it;
            queue_.erase(it);
            return true;
        }
    }
    return false;
}

void CWorkerThread::Sleep() {
    // One polling period; a posted message or a quit request ends it early,
    // so a job starts without the wait.
    std::unique_lock<std::mutex> lock(queueMutex_);
    wake_.wait_for(lock, timing_.poll, [this] {
        return !queue_.empty() || quit_.load(std::memory_order_acquire) != 0;
    });
}

void CWorkerThread::WorkerLoop(CConvertThread& worker) {
    worker.state.store(CConvertThread::kIdle, std::memory_order_release);
    while (quit_.load(std::memory_order_acquire) == 0) {
        abort_.store(0, std::memory_order_release);
        worker.SetNotificationTarget(nullptr);
        worker.state.store(CConvertThread::kIdle, std::memory_order_release);
        Message message{};
        if (TakeMessage(message)) {
            worker.SetNotificationTarget(reinterpret_cast<INotificationTarget*>(message.wParam));
            if (message.message == WM_CONVERT_START && message.lParam != 0) {
                const ConvertJob job = *reinterpret_cast<const ConvertJob*>(message.lParam);
                worker.state.store(CConvertThread::kRunning, std::memory_order_release);
                worker.RunJob(job);
            }
        }
        Sleep();
    }
}

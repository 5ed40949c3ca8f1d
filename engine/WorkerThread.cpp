#include "engine/WorkerThread.h"

#include <algorithm>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

CWorkerThread& Worker() {
    // Never destroyed: a worker thread still running at exit must not see
    // its object go away under it.
    static CWorkerThread* const worker = new CWorkerThread();
    return *worker;
}

CWorkerThread::CWorkerThread(Timing timing) : shared_(std::make_shared<Shared>(timing)) {}

CWorkerThread::~CWorkerThread() {
    StopWorker();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CWorkerThread::SetHooks(Hooks hooks) {
    if (!thread_.joinable()) {
        shared_->hooks = std::move(hooks);
    }
}

bool CWorkerThread::StartWorker() {
    if (thread_.joinable()) {
        return true;
    }
    shared_->quit.store(0, std::memory_order_release);
    try {
        thread_ = std::thread(&CWorkerThread::ThreadProcedure, shared_);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool CWorkerThread::StopWorker() {
    Shared& s = *shared_;
    s.quit.store(1, std::memory_order_release);
    s.RaiseAbort();
    s.wake.notify_all();
    bool ended = false;
    {
        // The worker announces its end on `wake`, so the wait ends with it.
        std::unique_lock<std::mutex> lock(s.queueMutex);
        ended = s.wake.wait_for(lock, s.timing.poll * s.timing.waitTicks, [&s] {
            return s.worker.load(std::memory_order_acquire) == nullptr;
        });
    }
    if (thread_.joinable()) {
        // The worker object is gone only after its loop has ended, so the
        // thread finishes at once; a worker that did not end in time keeps
        // running on its own, with its own share of the state, and quits at
        // its next look at the flag.
        if (ended) {
            thread_.join();
        } else {
            thread_.detach();
            shared_ = std::make_shared<Shared>(s.timing);
        }
    }
    return ended;
}

// A worker thread that has not yet taken up its work still gets the request:
// the job posted before it reaches the thread aborted.
void CWorkerThread::RequestAbort() {
    if (thread_.joinable()) {
        shared_->RaiseAbort();
    }
}

std::chrono::milliseconds CWorkerThread::AbortWait() const {
    return shared_->timing.poll * shared_->timing.waitTicks;
}

bool CWorkerThread::AbortJob() {
    Shared& s = *shared_;
    if (!thread_.joinable()) {
        return true;
    }
    s.RaiseAbort();
    for (int tick = 0;; ++tick) {
        {
            std::lock_guard<std::mutex> lock(s.queueMutex);
            if (s.Idle()) {
                return true;
            }
        }
        if (tick == s.timing.waitTicks) {
            return false;
        }
        std::this_thread::sleep_for(s.timing.poll);
    }
}

bool CWorkerThread::PostToWorker(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    // A message the worker never takes would stay first in its queue and
    // keep it from sleeping.
    if (!thread_.joinable() || message < kWorkerFirstMessage || message > kWorkerLastMessage) {
        return false;
    }
    Shared& s = *shared_;
    try {
        std::shared_ptr<const ConvertJob> job;
        if (message == WM_CONVERT_START && lParam != 0) {
            job = std::make_shared<const ConvertJob>(*reinterpret_cast<const ConvertJob*>(lParam));
        }
        std::lock_guard<std::mutex> lock(s.queueMutex);
        if (message == WM_CONVERT_START) {
            // An abort raised before this job was posted was meant for an
            // earlier one; one raised after it reaches this job even if the
            // worker has not taken it yet.
            s.abort.store(0, std::memory_order_release);
        }
        s.queue.push_back({message, wParam, std::move(job)});
    } catch (const std::bad_alloc&) {
        return false;
    }
    s.wake.notify_all();
    return true;
}

std::int32_t CWorkerThread::State() const {
    const CConvertThread* worker = shared_->worker.load(std::memory_order_acquire);
    return worker != nullptr ? worker->state.load(std::memory_order_acquire) : -1;
}

void CWorkerThread::ThreadProcedure(std::shared_ptr<Shared> shared) {
    // Conversions run below normal priority, so the desktop stays responsive.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
    CConvertThread converter(shared->abort, shared->timing.poll);
    shared->worker.store(&converter, std::memory_order_release);
    shared->WorkerLoop(converter);
    converter.ReleaseBuffers();
    {
        std::lock_guard<std::mutex> lock(shared->queueMutex);
        shared->worker.store(nullptr, std::memory_order_release);
    }
    shared->wake.notify_all();
    if (shared->hooks.threadEnded) {
        shared->hooks.threadEnded();
    }
}

void CWorkerThread::Shared::RaiseAbort() {
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        abort.store(1, std::memory_order_release);
    }
    if (hooks.requestRaised) {
        hooks.requestRaised();
    }
}

bool CWorkerThread::Shared::TakeMessage(Message& message, CConvertThread& converter) {
    std::lock_guard<std::mutex> lock(queueMutex);
    if (queue.empty()) {
        return false;
    }
    message = std::move(queue.front());
    queue.pop_front();
    if (message.message == WM_CONVERT_START && message.job != nullptr) {
        converter.state.store(CConvertThread::kRunning, std::memory_order_release);
    }
    return true;
}

bool CWorkerThread::Shared::Idle() const {
    const CConvertThread* converter = worker.load(std::memory_order_acquire);
    const bool running = converter != nullptr && converter->state.load(std::memory_order_acquire) ==
                                                     CConvertThread::kRunning;
    const bool queued = std::any_of(queue.begin(), queue.end(), [](const Message& m) {
        return m.message == WM_CONVERT_START && m.job != nullptr;
    });
    return !running && !queued;
}

void CWorkerThread::Shared::Sleep() {
    // One polling period; a posted message or a quit request ends it early,
    // so a job starts without the wait.
    std::unique_lock<std::mutex> lock(queueMutex);
    wake.wait_for(lock, timing.poll,
                  [this] { return !queue.empty() || quit.load(std::memory_order_acquire) != 0; });
}

void CWorkerThread::Shared::WorkerLoop(CConvertThread& converter) {
    converter.state.store(CConvertThread::kIdle, std::memory_order_release);
    while (quit.load(std::memory_order_acquire) == 0) {
        converter.SetNotificationTarget(nullptr);
        converter.state.store(CConvertThread::kIdle, std::memory_order_release);
        if (hooks.beforeTake) {
            hooks.beforeTake();
        }
        Message message{};
        if (TakeMessage(message, converter)) {
            converter.SetNotificationTarget(reinterpret_cast<INotificationTarget*>(message.wParam));
            if (message.message == WM_CONVERT_START && message.job != nullptr) {
                converter.RunJob(*message.job);
            }
        }
        Sleep();
    }
}

#include "codec/BandWorkers.h"

namespace kmx {

CBandWorkers::CBandWorkers(int threads) {
    for (int i = 1; i < threads; ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

CBandWorkers::~CBandWorkers() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

int CBandWorkers::DoBands(std::unique_lock<std::mutex>& lock) {
    int done = 0;
    while (next_ < count_) {
        const int band = next_++;
        const std::function<void(int)>& work = *work_;
        lock.unlock();
        work(band);
        lock.lock();
        ++done;
    }
    return done;
}

void CBandWorkers::Run(int count, const std::function<void(int band)>& work) {
    if (workers_.empty() || count <= 1) {
        for (int band = 0; band < count; ++band) {
            work(band);
        }
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    work_ = &work;
    count_ = count;
    next_ = 0;
    finished_ = 0;
    ++generation_;
    wake_.notify_all();
    finished_ += DoBands(lock);
    done_.wait(lock, [&] { return finished_ == count_; });
    work_ = nullptr;
    count_ = 0;
}

void CBandWorkers::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    std::uint64_t seen = generation_;
    for (;;) {
        wake_.wait(lock, [&] { return quit_ || (generation_ != seen && next_ < count_); });
        if (quit_) {
            return;
        }
        seen = generation_;
        finished_ += DoBands(lock);
        if (finished_ == count_) {
            done_.notify_all();
        }
    }
}

} // namespace kmx

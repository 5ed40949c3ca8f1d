// A few threads that share out the bands of one picture: Run hands band
// indexes 0 .. count - 1 to the workers and to the calling thread and
// returns when every band is done. Bands must not write to the same bytes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kmx {

class CBandWorkers {
public:
    // threads - 1 workers are started; the caller of Run is the last one.
    explicit CBandWorkers(int threads);
    ~CBandWorkers();
    CBandWorkers(const CBandWorkers&) = delete;
    CBandWorkers& operator=(const CBandWorkers&) = delete;

    int Threads() const { return static_cast<int>(workers_.size()) + 1; }
    void Run(int count, const std::function<void(int band)>& work);

private:
    void Work();
    // Takes and does bands until none is left; returns how many it did.
    int DoBands(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int)>* work_ = nullptr;
    int count_ = 0;
    int next_ = 0;     // the next band to hand out
    int finished_ = 0; // bands done
    std::uint64_t generation_ = 0;
    bool quit_ = false;
    std::vector<std::thread> workers_;
};

} // namespace kmx

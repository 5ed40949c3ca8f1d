#include "media/io/WorkThreads.h"

#include "media/io/EnvironmentNumber.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace kmx {
namespace {

std::atomic<int> g_threads{0};

} // namespace

int WorkThreads() {
    const int set = g_threads.load();
    if (set > 0) {
        return set;
    }
    std::uint64_t number = 0;
    if (NumberFromEnvironment("KADRIMIX_THREADS", kMaxWorkThreads, &number) && number > 0) {
        return static_cast<int>(number);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(std::min<unsigned>(cores, kMaxWorkThreads)), 1,
                      kMaxWorkThreads);
}

void SetWorkThreads(int count) {
    g_threads.store(count <= 0 ? 0 : std::min(count, kMaxWorkThreads));
}

} // namespace kmx

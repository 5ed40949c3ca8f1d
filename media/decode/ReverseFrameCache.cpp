#include "media/decode/ReverseFrameCache.h"

#include "media/io/EnvironmentNumber.h"
#include "media/io/WorkThreads.h"

#include <algorithm>
#include <atomic>
#include <climits>

namespace kmx {
namespace {

// Budgets above this many MiB (1 TiB) from the environment are refused.
constexpr std::uint64_t kMaxBudgetMegabytes = std::uint64_t{1} << 20;
constexpr std::uint64_t kUnset = UINT64_MAX;

std::atomic<std::uint64_t> g_budget{kUnset};

// Whole MiB from the environment; false when the variable is missing or not
// a plain number within the limit.
bool BudgetFromEnvironment(std::uint64_t* bytes) {
    std::uint64_t megabytes = 0;
    if (!NumberFromEnvironment("KADRIMIX_DECODE_CACHE_MB", kMaxBudgetMegabytes, &megabytes)) {
        return false;
    }
    *bytes = megabytes << 20;
    return true;
}

} // namespace

void SetDecodeCacheBudget(std::uint64_t bytes) {
    g_budget.store(bytes == kUnset ? kUnset - 1 : bytes);
}

void ClearDecodeCacheBudget() {
    g_budget.store(kUnset);
}

std::uint64_t DecodeCacheBudget() {
    const std::uint64_t set = g_budget.load();
    if (set != kUnset) {
        return set;
    }
    std::uint64_t bytes = 0;
    return BudgetFromEnvironment(&bytes) ? bytes : kDefaultDecodeCacheBytes;
}

std::uint64_t DecoderPictureBytes(std::int32_t width, std::int32_t height) {
    // Each decoding thread holds a picture of its own besides the references.
    const std::uint64_t pictures = 16 + static_cast<std::uint64_t>(WorkThreads());
    const std::uint64_t pixels = std::uint64_t{static_cast<std::uint32_t>(std::max(width, 0))} *
                                 std::uint64_t{static_cast<std::uint32_t>(std::max(height, 0))};
    const std::uint64_t picture = pixels * 3 / 2;
    const std::uint64_t handedOut = kBitmapInfoHeaderSize + pixels * 4;
    return pictures * picture + handedOut;
}

void CReverseFrameCache::Configure(const DibGeometry& geometry, std::uint64_t budgetBytes) {
    std::vector<Slot>().swap(slots_);
    used_ = 0;
    geometry_ = geometry;
    const std::uint64_t frameBytes =
        std::uint64_t{kBitmapInfoHeaderSize} + std::uint64_t{geometry.imageSize} +
        (geometry.bitCount == 8 ? std::uint64_t{kDibColourTableSize} : 0);
    const std::uint64_t frames = geometry.imageSize == 0 ? 0 : budgetBytes / frameBytes;
    capacity_ = static_cast<std::int32_t>(std::min<std::uint64_t>(frames, INT32_MAX));
}

void CReverseFrameCache::Release() {
    std::vector<Slot>().swap(slots_);
    used_ = 0;
}

std::int32_t CReverseFrameCache::Held() const {
    return static_cast<std::int32_t>(
        std::count_if(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(used_),
                      [](const Slot& slot) { return slot.decoded; }));
}

const BITMAPINFOHEADER* CReverseFrameCache::Find(std::int32_t sample) const {
    const auto end = slots_.begin() + static_cast<std::ptrdiff_t>(used_);
    const auto it =
        std::lower_bound(slots_.begin(), end, sample,
                         [](const Slot& slot, std::int32_t s) { return slot.sample < s; });
    return it != end && it->sample == sample && it->decoded ? it->dib.Header() : nullptr;
}

bool CReverseFrameCache::Covers(std::int32_t sample) const {
    return used_ > 0 && sample >= slots_.front().sample && sample <= slots_[used_ - 1].sample;
}

bool CReverseFrameCache::Fill(const std::vector<std::int32_t>& samples, const DecodeFn& decode) {
    used_ = 0;
    if (samples.size() > static_cast<std::size_t>(capacity_)) {
        return false;
    }
    if (slots_.size() < samples.size()) {
        slots_.resize(samples.size());
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        Slot& slot = slots_[i];
        if (!slot.dib.IsAllocated() && !slot.dib.Allocate(geometry_)) {
            Release();
            return false;
        }
        slot.sample = samples[i];
        slot.decoded = false;
    }
    used_ = samples.size();
    // Decoded in place, straight into the buffers that are handed out.
    for (std::size_t i = 0; i < used_; ++i) {
        slots_[i].decoded = decode(slots_[i].sample, slots_[i].dib.Pixels());
    }
    return true;
}

} // namespace kmx

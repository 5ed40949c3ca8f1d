#include "media/decode/ReverseFrameCache.h"

#include "media/io/EnvironmentNumber.h"
#include "media/io/FileIo.h"
#include "media/io/TempFile.h"
#include "media/io/WorkThreads.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <unistd.h>

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

CReverseFrameCache::~CReverseFrameCache() {
    DropSpill();
}

void CReverseFrameCache::DropSpill() {
    if (spillFd_ >= 0) {
        ::close(spillFd_);
        spillFd_ = -1;
    }
    std::vector<std::int32_t>().swap(spillSamples_);
    std::vector<bool>().swap(spillDecoded_);
    spillLoaded_ = -1;
}

void CReverseFrameCache::Configure(const DibGeometry& geometry, std::uint64_t budgetBytes) {
    Release();
    spillFailed_ = false;
    geometry_ = geometry;
    const std::uint64_t frameBytes =
        std::uint64_t{kBitmapInfoHeaderSize} + std::uint64_t{geometry.imageSize} +
        (geometry.bitCount == 8 ? std::uint64_t{kDibColourTableSize} : 0);
    const std::uint64_t frames = geometry.imageSize == 0 ? 0 : budgetBytes / frameBytes;
    capacity_ = static_cast<std::int32_t>(std::min<std::uint64_t>(frames, INT32_MAX));
}

void CReverseFrameCache::Release() {
    DropSpill();
    std::vector<Slot>().swap(slots_);
    used_ = 0;
}

std::int32_t CReverseFrameCache::Held() const {
    if (spillFd_ >= 0) {
        return static_cast<std::int32_t>(
            std::count(spillDecoded_.begin(), spillDecoded_.end(), true));
    }
    return static_cast<std::int32_t>(
        std::count_if(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(used_),
                      [](const Slot& slot) { return slot.decoded; }));
}

const BITMAPINFOHEADER* CReverseFrameCache::Find(std::int32_t sample) {
    if (spillFd_ >= 0) {
        const auto it = std::lower_bound(spillSamples_.begin(), spillSamples_.end(), sample);
        const std::ptrdiff_t i = it - spillSamples_.begin();
        if (it == spillSamples_.end() || *it != sample ||
            !spillDecoded_[static_cast<std::size_t>(i)]) {
            return nullptr;
        }
        CDibBuffer& dib = slots_.front().dib;
        if (i != spillLoaded_) {
            spillLoaded_ = -1;
            const std::uint64_t at =
                std::uint64_t{geometry_.imageSize} * static_cast<std::uint64_t>(i);
            if (!ReadAllAt(spillFd_, dib.Pixels(), geometry_.imageSize, at)) {
                return nullptr;
            }
            spillLoaded_ = i;
        }
        return dib.Header();
    }
    const auto end = slots_.begin() + static_cast<std::ptrdiff_t>(used_);
    const auto it =
        std::lower_bound(slots_.begin(), end, sample,
                         [](const Slot& slot, std::int32_t s) { return slot.sample < s; });
    return it != end && it->sample == sample && it->decoded ? it->dib.Header() : nullptr;
}

bool CReverseFrameCache::Covers(std::int32_t sample) const {
    if (spillFd_ >= 0) {
        return !spillSamples_.empty() && sample >= spillSamples_.front() &&
               sample <= spillSamples_.back();
    }
    return used_ > 0 && sample >= slots_.front().sample && sample <= slots_[used_ - 1].sample;
}

bool CReverseFrameCache::Fill(const std::vector<std::int32_t>& samples, const DecodeFn& decode) {
    DropSpill();
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

bool CReverseFrameCache::Spill(const std::vector<std::int32_t>& samples, const DecodeFn& decode) {
    DropSpill();
    used_ = 0;
    if (spillFailed_ || samples.empty() || capacity_ < 1) {
        return false;
    }
    // One of the cache's buffers takes each frame in turn; the others go.
    slots_.resize(1);
    CDibBuffer& dib = slots_.front().dib;
    if (!dib.IsAllocated() && !dib.Allocate(geometry_)) {
        Release();
        return false;
    }
    spillSamples_.reserve(samples.size());
    spillDecoded_.reserve(samples.size());
    const std::uint64_t frameBytes = geometry_.imageSize;
    const int fd = OpenTemporaryFile("kadrimix-frames-");
    if (fd < 0) {
        spillFailed_ = true; // no folder to write to
        return false;
    }
    // The whole window's space is taken first, so that a disk too full for it
    // costs no decoding.
    if (!ReserveFileSpace(fd, frameBytes * samples.size())) {
        ::close(fd);
        DropSpill();
        return false;
    }
    std::uint8_t* pixels = dib.Pixels();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool decoded = decode(samples[i], pixels);
        if (decoded && !WriteAllAt(fd, pixels, geometry_.imageSize, frameBytes * i)) {
            ::close(fd);
            DropSpill();
            spillFailed_ = true;
            return false;
        }
        spillSamples_.push_back(samples[i]);
        spillDecoded_.push_back(decoded);
        spillLoaded_ = decoded ? static_cast<std::ptrdiff_t>(i) : -1;
    }
    spillFd_ = fd;
    return true;
}

} // namespace kmx

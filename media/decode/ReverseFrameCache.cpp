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
// Stored pictures are read back to this alignment, the one they were stored
// with (their planes start at multiples of it).
constexpr std::uintptr_t kStoredAlign = 64;

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
    CloseSpillFile();
}

void CReverseFrameCache::DropSpill() {
    spillSlots_ = 0;
    spillHeld_ = false;
    std::vector<SpilledFrame>().swap(spilled_);
    restore_ = nullptr;
    spillLoaded_ = -1;
}

void CReverseFrameCache::CloseSpillFile() {
    DropSpill();
    if (spillFd_ >= 0) {
        ::close(spillFd_);
        spillFd_ = -1;
    }
    spillReserved_ = 0;
    std::vector<std::uint8_t>().swap(stored_);
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
    CloseSpillFile();
    std::vector<Slot>().swap(slots_);
    used_ = 0;
}

std::int32_t CReverseFrameCache::Held() const {
    if (spillHeld_) {
        return static_cast<std::int32_t>(std::count_if(
            spilled_.begin(), spilled_.end(), [](const SpilledFrame& f) { return f.slot >= 0; }));
    }
    return static_cast<std::int32_t>(
        std::count_if(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(used_),
                      [](const Slot& slot) { return slot.decoded; }));
}

const BITMAPINFOHEADER* CReverseFrameCache::Find(std::int32_t sample) {
    if (spillHeld_) {
        const auto it =
            std::lower_bound(spilled_.begin(), spilled_.end(), sample,
                             [](const SpilledFrame& f, std::int32_t s) { return f.sample < s; });
        if (it == spilled_.end() || it->sample != sample || it->slot < 0) {
            return nullptr;
        }
        CDibBuffer& dib = slots_.front().dib;
        if (it->slot != spillLoaded_) {
            spillLoaded_ = -1;
            if (!ReadSpilled(*it, dib.Pixels())) {
                return nullptr;
            }
            spillLoaded_ = it->slot;
        }
        return dib.Header();
    }
    const auto end = slots_.begin() + static_cast<std::ptrdiff_t>(used_);
    const auto it =
        std::lower_bound(slots_.begin(), end, sample,
                         [](const Slot& slot, std::int32_t s) { return slot.sample < s; });
    return it != end && it->sample == sample && it->decoded ? it->dib.Header() : nullptr;
}

bool CReverseFrameCache::ReadSpilled(const SpilledFrame& frame, std::uint8_t* pixels) {
    const std::uint64_t at =
        std::uint64_t{geometry_.imageSize} * static_cast<std::uint64_t>(frame.slot);
    if (frame.picture.format < 0) {
        return ReadAllAt(spillFd_, pixels, geometry_.imageSize, at);
    }
    // The planes are read to the alignment they were stored with.
    const std::size_t bytes = frame.picture.bytes;
    if (bytes > geometry_.imageSize || !restore_) {
        return false;
    }
    stored_.resize(std::max(stored_.size(), bytes + kStoredAlign));
    const auto address = reinterpret_cast<std::uintptr_t>(stored_.data());
    std::uint8_t* aligned = stored_.data() + (kStoredAlign - address % kStoredAlign) % kStoredAlign;
    return ReadAllAt(spillFd_, aligned, bytes, at) && restore_(aligned, frame.picture, pixels);
}

bool CReverseFrameCache::Covers(std::int32_t sample) const {
    if (spillHeld_) {
        return !spilled_.empty() && sample >= spilled_.front().sample &&
               sample <= spilled_.back().sample;
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

bool CReverseFrameCache::BeginSpill(std::size_t slots) {
    DropSpill();
    used_ = 0;
    if (spillFailed_ || slots == 0 || slots > static_cast<std::size_t>(INT32_MAX)) {
        return false;
    }
    // One of the cache's buffers takes each frame in turn; the others go.
    slots_.resize(1);
    CDibBuffer& dib = slots_.front().dib;
    if (!dib.IsAllocated() && !dib.Allocate(geometry_)) {
        Release();
        return false;
    }
    // The file stays from one window to the next: writing over pages it
    // already has costs less than pages the system has to find afresh.
    if (spillFd_ < 0) {
        spillFd_ = OpenTemporaryFile("kadrimix-frames-");
        if (spillFd_ < 0) {
            spillFailed_ = true; // no folder to write to
            return false;
        }
    }
    // The whole window's space is taken first, so that a disk too full for it
    // costs no decoding.
    if (slots > spillReserved_) {
        if (!ReserveFileSpace(spillFd_, std::uint64_t{geometry_.imageSize} * slots)) {
            CloseSpillFile();
            return false;
        }
        spillReserved_ = slots;
    }
    spillSlots_ = slots;
    return true;
}

std::uint8_t* CReverseFrameCache::SpillPixels() {
    spillLoaded_ = -1;
    return spillSlots_ > 0 ? slots_.front().dib.Pixels() : nullptr;
}

bool CReverseFrameCache::WriteSpill(std::size_t slot, const StoredPicture& picture) {
    const std::size_t bytes = picture.format < 0 ? geometry_.imageSize : picture.bytes;
    if (slot >= spillSlots_ || bytes > geometry_.imageSize) {
        return false;
    }
    const std::uint64_t at = std::uint64_t{geometry_.imageSize} * slot;
    if (!WriteAllAt(spillFd_, slots_.front().dib.Pixels(), bytes, at)) {
        CloseSpillFile();
        spillFailed_ = true;
        return false;
    }
    // The buffer holds the slot's frame only as DIB pixels.
    spillLoaded_ = picture.format < 0 ? static_cast<std::int32_t>(slot) : -1;
    return true;
}

void CReverseFrameCache::EndSpill(std::vector<SpilledFrame> frames, RestoreFn restore) {
    if (spillSlots_ == 0) {
        return;
    }
    spilled_ = std::move(frames);
    restore_ = std::move(restore);
    spillHeld_ = true;
}

} // namespace kmx

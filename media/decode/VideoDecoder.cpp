#include "media/decode/VideoDecoder.h"

#include "media/decode/DibFrame.h"
#include "media/decode/ReverseFrameCache.h"
#include "media/decode/VideoDecoderCodec.h"
#include "media/io/ByteOrder.h"

#include <algorithm>
#include <new>

namespace kmx {
namespace {

// A raw sample above this is treated as unreadable; the largest picture the
// dimension checks let through is 512 MiB.
constexpr std::uint64_t kMaxRawSampleBytes = std::uint64_t{768} << 20;

bool IsRawRgb(std::uint32_t compression, int bitCount) {
    const bool rgb = compression == BI_RGB || compression == MakeFourcc('D', 'I', 'B', ' ') ||
                     compression == MakeFourcc('R', 'G', 'B', ' ');
    return rgb && (bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32);
}

} // namespace

struct CVideoDecoder::Impl {
    const IVideoSampleSource* source = nullptr;
    DibGeometry geometry;
    CDibBuffer dib;                    // made by FramePixels
    std::vector<std::uint8_t> palette; // the format block of an 8-bit stream
    bool raw = false;
    CCodecDecoder codec;
    std::vector<std::int32_t> shown; // per sample: the non-empty sample it shows, or -1
    std::int32_t current = -1;       // the sample whose picture `held` is
    const BITMAPINFOHEADER* held = nullptr;
    std::int32_t lastWanted = -1;     // the sample asked for last
    std::vector<ReadPiece> rowPieces; // where a raw sample's rows go
    std::uint64_t samplesRead = 0;
    int codecId = 0; // set only while OpenCodec runs
    CReverseFrameCache cache;
    bool budgetSet = false;
    std::uint64_t budget = 0;
    bool backwards = false; // the reader reads backwards (SetReadingBackwards)
    bool maySpill = false;
    bool spillFellShort = false; // a segment too long for the cache could not be spilled

    const BITMAPINFOHEADER* Produce(std::int32_t wanted);
    const BITMAPINFOHEADER* DecodeOne(std::int32_t wanted);
    bool DecodeRaw(std::int32_t index);
    std::uint8_t* FramePixels();
    bool WantsWindow(std::int32_t wanted) const;
    std::vector<std::int32_t> WindowEndingAt(std::int32_t wanted) const;
    std::vector<std::int32_t> SegmentEndingAt(std::int32_t wanted) const;
    std::vector<std::int32_t> SegmentBefore(std::int32_t key) const;
    const BITMAPINFOHEADER* FillWindow(std::int32_t wanted);
    bool SpillSegment(const std::vector<std::int32_t>& segment, std::vector<std::int32_t> before);
    void ConfigureCache();
};

// The cache gets the budget less the decoder's own pictures. A budget of 0
// keeps no frames at all; any other spills segments the cache cannot hold,
// which takes one frame of memory, also where the decoder's own pictures
// take the whole budget (at 4K).
void CVideoDecoder::Impl::ConfigureCache() {
    const std::uint64_t total = budgetSet ? budget : DecodeCacheBudget();
    const std::uint64_t own = DecoderPictureBytes(geometry.width, geometry.height);
    cache.Configure(geometry, total > own ? total - own : 0);
    maySpill = total > 0;
}

CVideoDecoder::CVideoDecoder() : impl_(std::make_unique<Impl>()) {}

CVideoDecoder::~CVideoDecoder() = default;

bool CVideoDecoder::Open(const std::vector<std::uint8_t>& format, std::uint32_t handler,
                         const IVideoSampleSource& source) {
    Close();
    if (format.size() < kBitmapInfoHeaderSize) {
        return false;
    }
    const std::int32_t width = LoadI32(format.data() + 4);
    const std::int32_t height = LoadI32(format.data() + 8);
    const int bitCount = LoadU16(format.data() + 14);
    const std::uint32_t compression = LoadU32(format.data() + 16);
    Impl& d = *impl_;
    d.raw = d.codecId == 0 && IsRawRgb(compression, bitCount);
    if (!MakeDibGeometry(width, height, d.raw ? bitCount : 24, d.geometry)) {
        return false;
    }
    if (!d.raw) {
        // Compressed pictures come out of the decoder top to bottom.
        d.geometry.topDown = false;
    }
    try {
        if (!d.raw && !d.codec.Open(format, handler, source, d.codecId)) {
            Close();
            return false;
        }
        if (d.raw && d.geometry.bitCount == 8) {
            d.palette = format; // its colour table goes into the frame
        }
        d.ConfigureCache();
        const std::int32_t count = source.SampleCount();
        d.shown.resize(static_cast<std::size_t>(count));
        std::int32_t last = -1;
        for (std::int32_t i = 0; i < count; ++i) {
            if (source.SampleSize(i) != 0) {
                last = i;
            }
            d.shown[static_cast<std::size_t>(i)] = last;
        }
    } catch (const std::bad_alloc&) {
        Close();
        return false;
    }
    d.source = &source;
    return true;
}

bool CVideoDecoder::OpenCodec(const std::vector<std::uint8_t>& format, int codecId,
                              const IVideoSampleSource& source) {
    if (codecId == 0) {
        return false;
    }
    impl_->codecId = codecId;
    const bool ok = Open(format, 0, source);
    impl_->codecId = 0;
    return ok;
}

void CVideoDecoder::Close() {
    Impl& d = *impl_;
    d.codec.Close();
    d.dib.Release();
    std::vector<std::uint8_t>().swap(d.palette);
    std::vector<std::int32_t>().swap(d.shown);
    std::vector<ReadPiece>().swap(d.rowPieces);
    d.source = nullptr;
    d.geometry = DibGeometry{};
    d.raw = false;
    d.current = -1;
    d.held = nullptr;
    d.lastWanted = -1;
    d.samplesRead = 0;
    d.backwards = false;
    d.spillFellShort = false;
    d.cache.Release();
}

const BITMAPINFOHEADER* CVideoDecoder::GetFrame(std::int32_t frame) {
    Impl& d = *impl_;
    if (d.source == nullptr || frame < 0 || static_cast<std::size_t>(frame) >= d.shown.size()) {
        return nullptr;
    }
    const std::int32_t wanted = d.shown[static_cast<std::size_t>(frame)];
    if (wanted < 0) {
        return nullptr; // only drop frames before it
    }
    if (wanted == d.current) {
        return d.held;
    }
    d.current = -1;
    d.held = nullptr;
    const BITMAPINFOHEADER* out = nullptr;
    try {
        out = d.Produce(wanted);
    } catch (const std::bad_alloc&) {
        out = nullptr;
    }
    d.lastWanted = wanted;
    if (out != nullptr) {
        d.current = wanted;
        d.held = out;
    }
    return out;
}

std::int32_t CVideoDecoder::KeyFrameAtOrBefore(std::int32_t frame) const {
    const Impl& d = *impl_;
    if (d.source == nullptr || d.raw || d.codec.IntraOnly() || frame < 0 ||
        static_cast<std::size_t>(frame) >= d.shown.size()) {
        return -1;
    }
    const std::int32_t sample = d.shown[static_cast<std::size_t>(frame)];
    return sample < 0 ? -1 : std::max(d.codec.KeyAtOrBefore(sample), 0);
}

const BITMAPINFOHEADER* CVideoDecoder::Impl::Produce(std::int32_t wanted) {
    const BITMAPINFOHEADER* cached = cache.Find(wanted);
    if (cached != nullptr) {
        return cached;
    }
    if (WantsWindow(wanted)) {
        return FillWindow(wanted);
    }
    return DecodeOne(wanted);
}

const BITMAPINFOHEADER* CVideoDecoder::Impl::DecodeOne(std::int32_t wanted) {
    bool ok = false;
    if (raw) {
        ok = DecodeRaw(wanted);
    } else {
        const std::uint64_t before = codec.PacketsSent();
        ok = codec.Decode(wanted, geometry, [this] { return FramePixels(); });
        samplesRead += codec.PacketsSent() - before;
    }
    return ok ? dib.Header() : nullptr;
}

// Whether to decode a window of frames ending at the wanted one into the
// cache rather than the wanted frame alone. Raw and intra-only streams never
// do: each of their frames costs one decode wherever it lies. Otherwise a
// step backwards would start again at the key frame before the wanted one,
// and so would the next step backwards, so the frames on the way are kept. A
// jump to the last frame counts as a step backwards, since only backward
// steps can follow it, and so does any jump of a reader that reads
// backwards. A frame the last window covers but does not hold did not
// decode; it gets a single decode instead of the same window again.
bool CVideoDecoder::Impl::WantsWindow(std::int32_t wanted) const {
    if (raw || codec.IntraOnly() || cache.Covers(wanted)) {
        return false;
    }
    if (wanted < lastWanted) {
        return true;
    }
    const bool continues = lastWanted >= 0 && codec.KeyAtOrBefore(wanted) <= lastWanted + 1;
    return (backwards || wanted == shown.back()) && !continues;
}

// The non-empty samples of the window ending at the wanted one: as many as
// the cache holds, but starting at a key frame when one lies in the window's
// first quarter, so that the decodes before the window's first frame are not
// wasted. (Further in, the frames left out would cost a window of their own,
// and a codec that reorders pictures pays for one segment before each.)
//
// The work: a window of W frames costs W decodes, plus those from the key
// frame before its first frame (fewer than S, the longest key-frame
// segment), plus for a codec that reorders pictures the segment before that
// key frame (at most S), since its runs start one key frame earlier. Windows
// hold at least 3B/4 of the cache's B frames (but the one at the stream's
// start), so reading N frames backwards costs at most
// N + (4N / 3B + 1) * 2S decodes, against N forwards. A segment longer than
// the cache is held in P = ceil(S / B) pieces, last piece first, each decoded
// from the key frame up to its end: decodes <= S * (P + 1) / 2 for the
// segment (plus P * S with reordering).
std::vector<std::int32_t> CVideoDecoder::Impl::WindowEndingAt(std::int32_t wanted) const {
    std::vector<std::int32_t> samples;
    const auto capacity = static_cast<std::size_t>(cache.Capacity());
    for (std::int32_t s = wanted; s >= 0 && samples.size() < capacity; --s) {
        if (shown[static_cast<std::size_t>(s)] == s) {
            samples.push_back(s);
        }
    }
    std::reverse(samples.begin(), samples.end());
    const std::int32_t key = codec.KeyAfter(samples.front() - 1);
    const auto first = std::lower_bound(samples.begin(), samples.end(), key);
    if (key >= 0 && key <= wanted &&
        static_cast<std::size_t>(first - samples.begin()) <= samples.size() / 4) {
        samples.erase(samples.begin(), first);
    }
    return samples;
}

// The non-empty samples from the key frame at or before the wanted one up to
// it: what decoding the wanted frame decodes anyway.
std::vector<std::int32_t> CVideoDecoder::Impl::SegmentEndingAt(std::int32_t wanted) const {
    const std::int32_t key = std::max(codec.KeyAtOrBefore(wanted), 0);
    std::vector<std::int32_t> samples;
    for (std::int32_t s = key; s <= wanted; ++s) {
        if (shown[static_cast<std::size_t>(s)] == s) {
            samples.push_back(s);
        }
    }
    return samples;
}

// The non-empty samples of the key-frame segment before the one that starts
// at key: those a codec that reorders decodes ahead of it (its lead-in).
std::vector<std::int32_t> CVideoDecoder::Impl::SegmentBefore(std::int32_t key) const {
    return key > 0 ? SegmentEndingAt(key - 1) : std::vector<std::int32_t>{};
}

// Where the decoder's lead-in pictures go while a segment is spilled: the
// slots after the segment's, as a ring, so that however far back the run
// starts, the last pictures before the segment are kept.
class SpillLeadIn final : public CCodecDecoder::LeadInSink {
public:
    SpillLeadIn(CReverseFrameCache& cache, const CCodecDecoder& codec, std::size_t first,
                std::size_t slots)
        : cache_(cache), codec_(codec), first_(first), pictures_(slots) {}
    std::uint8_t* Pixels() override { return cache_.SpillPixels(); }
    void Keep(std::int32_t index) override {
        const std::size_t ring = static_cast<std::size_t>(index) % pictures_.size();
        pictures_[ring] = codec_.LastStored();
        failed_ = failed_ || !cache_.WriteSpill(first_ + ring, pictures_[ring]);
    }
    bool Failed() const { return failed_; }
    // The slot and the picture's form of the index-th picture, while it is in the ring.
    CReverseFrameCache::SpilledFrame Frame(std::int32_t sample, std::size_t index) const {
        const std::size_t ring = index % pictures_.size();
        return {sample, static_cast<std::int32_t>(first_ + ring), pictures_[ring]};
    }

private:
    CReverseFrameCache& cache_;
    const CCodecDecoder& codec_;
    std::size_t first_;
    std::vector<StoredPicture> pictures_;
    bool failed_ = false;
};

// Decodes the segment once into the cache's temporary file; for a codec
// that reorders, with the pictures its run decodes before the segment (the
// previous segment, which is what reading backwards wants next), so that
// each segment is decoded once however it is read. The pictures are stored
// as the decoder gives them and converted when they are read back.
bool CVideoDecoder::Impl::SpillSegment(const std::vector<std::int32_t>& segment,
                                       std::vector<std::int32_t> before) {
    // Where the disk has no room for both, the segment alone, unless the
    // cache holds it.
    if (!cache.BeginSpill(segment.size() + before.size())) {
        if (before.empty() || segment.size() <= static_cast<std::size_t>(cache.Capacity()) ||
            !cache.BeginSpill(segment.size())) {
            return false;
        }
        before.clear();
    }
    SpillLeadIn leadIn(cache, codec, segment.size(), std::max<std::size_t>(before.size(), 1));
    codec.SetLeadInSink(before.empty() ? nullptr : &leadIn);
    codec.SetStoring(true);
    std::vector<CReverseFrameCache::SpilledFrame> frames;
    frames.reserve(segment.size() + before.size());
    bool ok = true;
    for (std::size_t i = 0; ok && i < segment.size(); ++i) {
        std::uint8_t* pixels = cache.SpillPixels();
        const bool decoded =
            pixels != nullptr && codec.Decode(segment[i], geometry, [pixels] { return pixels; });
        if (i == 0) {
            // The lead-in came out before the segment's first picture. A run
            // that had to start further back (the index called a sample a
            // key frame that is none) ends its lead-in elsewhere.
            const std::int32_t pictures =
                codec.RunAnchor() == segment.front() ? codec.LeadInPictures() : 0;
            codec.SetLeadInSink(nullptr);
            ok = !leadIn.Failed();
            const auto kept = std::min<std::size_t>(static_cast<std::size_t>(std::max(pictures, 0)),
                                                    before.size());
            for (std::size_t k = before.size() - kept; ok && k < before.size(); ++k) {
                // Picture j of the lead-in shows sample before[size - pictures + j].
                frames.push_back(leadIn.Frame(before[k], k + static_cast<std::size_t>(pictures) -
                                                             before.size()));
            }
        }
        ok = ok && (!decoded || cache.WriteSpill(i, codec.LastStored()));
        frames.push_back(
            {segment[i], decoded ? static_cast<std::int32_t>(i) : -1, codec.LastStored()});
    }
    codec.SetLeadInSink(nullptr);
    codec.SetStoring(false);
    if (!ok) {
        cache.DropSpill();
        return false;
    }
    cache.EndSpill(std::move(frames), [this](const std::uint8_t* planes,
                                             const StoredPicture& picture, std::uint8_t* pixels) {
        return codec.ConvertStored(planes, picture, geometry, pixels);
    });
    return true;
}

// A segment that the cache cannot hold is decoded once into a temporary
// file; reading N frames backwards then costs about N decodes plus one
// segment, however long the segments are.
const BITMAPINFOHEADER* CVideoDecoder::Impl::FillWindow(std::int32_t wanted) {
    const std::uint64_t sent = codec.PacketsSent();
    const std::vector<std::int32_t> segment = SegmentEndingAt(wanted);
    const std::vector<std::int32_t> before =
        codec.MayReorder() ? SegmentBefore(segment.front()) : std::vector<std::int32_t>{};
    // A jump to the last frame may be all that is read backwards (a reader
    // looks at the stream's end): only a step backwards, or a reader that
    // reads backwards, spills.
    const bool spill =
        maySpill &&
        (backwards || (wanted < lastWanted && segment.size() + before.size() >
                                                  static_cast<std::size_t>(cache.Capacity())));
    bool filled = spill && SpillSegment(segment, before);
    // Without the file, a segment the cache cannot hold is decoded again
    // from its key frame for every window.
    spillFellShort =
        spillFellShort ||
        (spill && !filled && segment.size() > static_cast<std::size_t>(cache.Capacity()));
    if (!filled && cache.Capacity() >= 2) {
        filled = cache.Fill(WindowEndingAt(wanted), [this](std::int32_t s, std::uint8_t* px) {
            return codec.Decode(s, geometry, [px] { return px; });
        });
    }
    samplesRead += codec.PacketsSent() - sent;
    return filled ? cache.Find(wanted) : DecodeOne(wanted);
}

// The frame's DIB, made on first use: a header's size is only trusted once
// a picture of that size has been read.
std::uint8_t* CVideoDecoder::Impl::FramePixels() {
    if (dib.Header() == nullptr) {
        if (!dib.Allocate(geometry)) {
            return nullptr;
        }
        if (!palette.empty()) {
            CopyDibColourTable(palette, dib.ColourTable());
        }
    }
    return dib.Pixels();
}

bool CVideoDecoder::Impl::DecodeRaw(std::int32_t index) {
    const std::uint32_t size = source->SampleSize(index);
    if (size > kMaxRawSampleBytes) {
        return false;
    }
    ++samplesRead;
    // A sample too small for the header's picture is damaged; the frame is
    // only made once a sample could fill it.
    const std::uint64_t packed = std::uint64_t{static_cast<std::uint32_t>(geometry.width)} *
                                 geometry.bitCount / 8 *
                                 static_cast<std::uint32_t>(geometry.height);
    if (size < packed) {
        return false;
    }
    if (!geometry.topDown && size == geometry.imageSize) {
        // Stored exactly as the DIB holds it (bottom-up, padded rows): read
        // straight into the frame, without a copy.
        std::uint8_t* pixels = FramePixels();
        return pixels != nullptr && source->ReadSample(index, pixels);
    }
    // Otherwise every row is read straight into its place in the frame.
    std::uint8_t* pixels = FramePixels();
    if (pixels == nullptr || !PlanRawDibRows(size, geometry, pixels, rowPieces) ||
        !source->ReadSamplePieces(index, rowPieces.data(), rowPieces.size())) {
        return false;
    }
    ClearDibRowPadding(geometry, pixels);
    return true;
}

bool CVideoDecoder::UsePlanarFrames(bool bt709) {
    Impl& d = *impl_;
    if (d.geometry.planar) {
        return true;
    }
    DibGeometry planar;
    if (d.source == nullptr || d.raw || !d.codec.PlanarFits(bt709) ||
        !MakePlanarGeometry(d.geometry.width, d.geometry.height, planar)) {
        return false;
    }
    d.geometry = planar;
    d.dib.Release();
    d.current = -1;
    d.held = nullptr;
    d.lastWanted = -1;
    d.cache.Release();
    d.ConfigureCache();
    return true;
}

ScanType CVideoDecoder::FirstScan() const {
    return impl_->raw ? ScanType::Unknown : impl_->codec.FirstScan();
}

std::int32_t CVideoDecoder::DamagedFrames() const {
    return impl_->codec.DamagedSamples();
}

std::uint64_t CVideoDecoder::SamplesRead() const {
    return impl_->samplesRead;
}

void CVideoDecoder::SetReadingBackwards(bool backwards) {
    impl_->backwards = backwards;
}

void CVideoDecoder::SetCacheBudget(std::uint64_t bytes) {
    impl_->budgetSet = true;
    impl_->budget = bytes;
}

bool CVideoDecoder::SpillFellShort() const {
    return impl_->spillFellShort;
}

std::int32_t CVideoDecoder::CachedFrames() const {
    return impl_->cache.Held();
}

} // namespace kmx

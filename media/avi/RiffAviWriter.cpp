#include "media/avi/RiffAviWriter.h"

#include "media/avi/AviChunkIds.h"
#include "media/io/ByteOrder.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <span>
#include <utility>

namespace kmx {

namespace {

constexpr std::size_t kDmlhSize = 248;
constexpr std::size_t kRiffAndMoviHeaderSize = 24; // RIFF size AVIX LIST size movi

std::uint32_t ClampU32(std::uint64_t v) {
    return v > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                         : static_cast<std::uint32_t>(v);
}

std::uint32_t ClampU32(double v) {
    if (!(v > 0)) {
        return 0;
    }
    return v >= 4294967295.0 ? std::numeric_limits<std::uint32_t>::max()
                             : static_cast<std::uint32_t>(v + 0.5);
}

std::uint16_t ClampI16(std::int32_t v) {
    return static_cast<std::uint16_t>(
        static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767)));
}

std::uint32_t ChunkIdFor(std::size_t stream, const AviStreamSetup& s) {
    if (!s.video) {
        return StreamChunkId(stream, 'w', 'b');
    }
    const bool uncompressed = s.format.size() >= 20 && LoadU32(s.format.data() + 16) == BI_RGB;
    return StreamChunkId(stream, 'd', uncompressed ? 'b' : 'c');
}

// Frame size from the video format (a BITMAPINFOHEADER), else from rcFrame.
void VideoSize(const AviStreamSetup& s, std::uint32_t* width, std::uint32_t* height) {
    std::int64_t w = 0;
    std::int64_t h = 0;
    if (s.format.size() >= 12) {
        w = LoadI32(s.format.data() + 4);
        h = std::llabs(static_cast<long long>(LoadI32(s.format.data() + 8)));
    } else {
        w = static_cast<std::int64_t>(s.header.rcFrame.right) - s.header.rcFrame.left;
        h = static_cast<std::int64_t>(s.header.rcFrame.bottom) - s.header.rcFrame.top;
    }
    *width = w > 0 ? ClampU32(static_cast<std::uint64_t>(w)) : 0;
    *height = h > 0 ? ClampU32(static_cast<std::uint64_t>(h)) : 0;
}

} // namespace

RiffAviWriter::RiffAviWriter(ByteSink& sink, std::uint64_t riffLimit)
    : sink_(sink), riffLimit_(std::clamp<std::uint64_t>(riffLimit, 1, kDefaultRiffLimit)) {}

std::size_t RiffAviWriter::ChunkCount(std::size_t stream) const {
    return stream < streams_.size() ? streams_[stream].entries.size() : 0;
}

int RiffAviWriter::VideoStream() const {
    for (std::size_t s = 0; s < streams_.size(); ++s) {
        if (streams_[s].setup.video) {
            return static_cast<int>(s);
        }
    }
    return -1;
}

bool RiffAviWriter::Begin(const std::vector<AviStreamSetup>& streams) {
    if (begun_ || streams.size() > kMaxStreams || sink_.Position() != 0) {
        return false;
    }
    for (const AviStreamSetup& s : streams) {
        if (s.format.size() > kMaxFormatSize) {
            return false;
        }
    }
    RiffByteWriter out;
    try {
        for (std::size_t n = 0; n < streams.size(); ++n) {
            Stream stream;
            stream.setup = streams[n];
            stream.setup.header.fccType = streams[n].video ? kVids : kAuds;
            stream.chunkId = ChunkIdFor(n, streams[n]);
            stream.ixId = StandardIndexId(n);
            streams_.push_back(std::move(stream));
        }
        riffs_.reserve(kAviSuperIndexCapacity);
        riffs_.push_back(Riff{});
        BuildHeader(out, true, &live_);
    } catch (const std::bad_alloc&) {
        streams_.clear();
        riffs_.clear();
        return false;
    }
    headerSize_ = out.Size();
    riffs_[0].moviPos = headerSize_ - 12;
    begun_ = true;
    lastUpdate_ = std::chrono::steady_clock::now();
    // The header goes to the file at once, so that a file cut anywhere after
    // this is an interrupted AVI that readers open.
    if (!sink_.Write(out.Data(), out.Size()) || !sink_.Flush()) {
        lostData_ = true;
        return false;
    }
    return true;
}

bool RiffAviWriter::NeedNewRiff(std::size_t stream, std::uint32_t size) const {
    const Riff& r = riffs_.back();
    std::uint64_t chunksInRiff = 0;
    std::uint64_t indexBytes = 0;
    for (std::size_t s = 0; s < streams_.size(); ++s) {
        const std::uint64_t n =
            streams_[s].entries.size() - r.firstEntry[s] + (s == stream ? 1 : 0);
        chunksInRiff += n;
        if (n > 0) {
            indexBytes += StandardIndexChunkSize(n);
        }
    }
    if (chunksInRiff <= 1) {
        return false; // a RIFF takes at least one chunk, whatever its size
    }
    if (riffs_.size() == 1) {
        indexBytes += Idx1ChunkSize(chunksInRiff);
    }
    const std::uint64_t end = sink_.Position() + 8 + size + (size & 1) + indexBytes;
    return end - r.riffPos - 8 > riffLimit_;
}

bool RiffAviWriter::WriteChunk(std::size_t stream, const void* data, std::uint32_t size, bool key,
                               std::uint32_t samples) {
    if (!begun_ || finished_ || stream >= streams_.size() || size > kMaxChunkSize ||
        (data == nullptr && size > 0)) {
        return false;
    }
    if (lostData_ || sink_.Failed()) {
        lostData_ = true;
        return false;
    }
    if (NeedNewRiff(stream, size) && !StartNewRiff()) {
        return false;
    }
    std::vector<AviIndexEntry>& entries = streams_[stream].entries;
    if (entries.size() == entries.capacity()) {
        try {
            entries.reserve(std::max<std::size_t>(1024, entries.capacity() * 2));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    const AviIndexEntry entry{sink_.Position(), size, samples, key};
    std::uint8_t head[8];
    StoreU32(head, streams_[stream].chunkId);
    StoreU32(head + 4, size);
    const std::uint8_t pad = 0;
    // Each chunk is handed to the kernel whole before the next one starts: a
    // killed process loses at most the chunk it was writing.
    if (!sink_.Write(head, sizeof head) || !sink_.Write(data, size) ||
        ((size & 1) != 0 && !sink_.Write(&pad, 1)) || !sink_.Flush()) {
        lostData_ = true;
        return false;
    }
    entries.push_back(entry); // room was reserved above
    streams_[stream].samples += samples;
    if (OpenFileUpdateDue() && !UpdateOpenFile()) {
        lostData_ = true;
        return false;
    }
    return true;
}

bool RiffAviWriter::OpenFileUpdateDue() const {
    if (updateDue_ || std::chrono::steady_clock::now() - lastUpdate_ >= std::chrono::seconds(1)) {
        return true;
    }
    for (const Stream& s : streams_) {
        // A second holds rate / scale samples.
        const std::uint64_t scale = std::max<std::uint32_t>(s.setup.header.dwScale, 1);
        const std::uint64_t perSecond = (s.setup.header.dwRate + scale - 1) / scale;
        if (perSecond != 0 && s.samples >= s.samplesShown + perSecond) {
            return true;
        }
    }
    return false;
}

bool RiffAviWriter::UpdateOpenFile() {
    const Riff& r = riffs_.back();
    const std::uint64_t end = sink_.Position();
    const FrameCounts frames = CountFrames();
    const auto put = [this](std::uint64_t pos, std::uint32_t value) {
        std::uint8_t bytes[4];
        StoreU32(bytes, value);
        return sink_.WriteAt(pos, bytes, sizeof bytes);
    };
    bool ok = put(r.riffPos + 4, ClampU32(end - r.riffPos - 8)) &&
              put(r.moviPos + 4, ClampU32(end - r.moviPos - 8)) &&
              put(live_.mainFrames, frames.firstRiff) && put(live_.totalFrames, frames.total);
    for (std::size_t s = 0; ok && s < streams_.size(); ++s) {
        ok = put(live_.length[s], ClampU32(streams_[s].samples));
        streams_[s].samplesShown = streams_[s].samples;
    }
    // From the second RIFF on, the 'odml' list says that more RIFFs follow
    // the first; its dmlh holds the frames of them all.
    if (ok && riffs_.size() > 1) {
        ok = put(live_.odmlId, kList);
    }
    lastUpdate_ = std::chrono::steady_clock::now();
    updateDue_ = false;
    return ok;
}

bool RiffAviWriter::StartNewRiff() {
    if (riffs_.size() >= kAviSuperIndexCapacity) {
        return false; // the super index has no room for another standard index
    }
    if (!CloseRiff(true)) {
        return false;
    }
    Riff next;
    next.riffPos = sink_.Position();
    next.moviPos = next.riffPos + 12;
    for (std::size_t s = 0; s < streams_.size(); ++s) {
        next.firstEntry[s] = streams_[s].entries.size();
    }
    std::uint8_t head[kRiffAndMoviHeaderSize];
    StoreU32(head, kRiff);
    StoreU32(head + 4, 0); // filled in when the RIFF is closed
    StoreU32(head + 8, kAvix);
    StoreU32(head + 12, kList);
    StoreU32(head + 16, 0);
    StoreU32(head + 20, kMovi);
    riffs_.push_back(next); // capacity was reserved in Begin
    if (!sink_.Write(head, sizeof head)) {
        lostData_ = true;
        return false;
    }
    updateDue_ = true;
    return true;
}

bool RiffAviWriter::CloseRiff(bool withStandardIndexes) {
    Riff& r = riffs_.back();
    const std::uint64_t pos = sink_.Position();
    std::array<AviSuperIndexEntry, kMaxStreams> ix{};
    std::uint64_t moviEnd = 0;
    RiffByteWriter out;
    try {
        if (withStandardIndexes) {
            for (std::size_t s = 0; s < streams_.size(); ++s) {
                const std::span<const AviIndexEntry> chunks =
                    std::span<const AviIndexEntry>(streams_[s].entries).subspan(r.firstEntry[s]);
                if (chunks.empty()) {
                    continue;
                }
                const std::size_t start = out.Size();
                if (!AppendStandardIndexChunk(out, streams_[s].ixId, streams_[s].chunkId, chunks,
                                              r.moviPos + 8)) {
                    return false;
                }
                std::uint64_t duration = 0;
                for (const AviIndexEntry& e : chunks) {
                    duration += e.samples;
                }
                ix[s] = {pos + start, static_cast<std::uint32_t>(out.Size() - start),
                         ClampU32(duration)};
            }
        }
        moviEnd = pos + out.Size();
        if (riffs_.size() == 1) {
            std::vector<AviIndexStream> views;
            for (const Stream& s : streams_) {
                views.push_back({s.chunkId, s.entries});
            }
            if (!AppendIdx1Chunk(out, views, r.moviPos + 8)) {
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!sink_.Write(out.Data(), out.Size())) {
        lostData_ = true;
        return false;
    }
    r.moviEnd = moviEnd;
    r.riffEnd = pos + out.Size();
    r.ix = ix;
    PatchRiffSizes();
    return !sink_.Failed();
}

void RiffAviWriter::PatchRiffSizes() {
    for (const Riff& r : riffs_) {
        if (r.riffEnd == 0) {
            continue;
        }
        std::uint8_t size[4];
        StoreU32(size, ClampU32(r.riffEnd - r.riffPos - 8));
        sink_.WriteAt(r.riffPos + 4, size, sizeof size);
        StoreU32(size, ClampU32(r.moviEnd - r.moviPos - 8));
        sink_.WriteAt(r.moviPos + 4, size, sizeof size);
    }
}

struct RiffAviWriter::HeaderFacts {
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t suggested = 0; // the largest buffer any stream wants
    std::uint32_t framesFirstRiff = 0;
    std::uint32_t framesTotal = 0;
    double bytesPerSecond = 0;
    bool hasAudio = false;
    std::vector<std::uint32_t> largest; // per stream: its largest chunk
};

RiffAviWriter::HeaderFacts RiffAviWriter::CollectHeaderFacts() const {
    HeaderFacts f;
    f.largest.assign(streams_.size(), 0);
    for (std::size_t s = 0; s < streams_.size(); ++s) {
        const Stream& st = streams_[s];
        const AVISTREAMINFOA& h = st.setup.header;
        for (const AviIndexEntry& e : st.entries) {
            f.largest[s] = std::max(f.largest[s], e.size);
        }
        f.suggested = std::max({f.suggested, h.dwSuggestedBufferSize, f.largest[s]});
        if (h.dwScale != 0 && h.dwRate != 0) {
            const double perSecond = static_cast<double>(h.dwRate) / h.dwScale;
            const std::uint32_t unit =
                (!st.setup.video && h.dwSampleSize != 0) ? h.dwSampleSize : f.largest[s];
            f.bytesPerSecond += perSecond * unit;
        }
        if (st.setup.video) {
            if (h.dwRate != 0) {
                f.microSecPerFrame =
                    ClampU32((std::uint64_t{h.dwScale} * 1000000 + h.dwRate / 2) / h.dwRate);
            }
            VideoSize(st.setup, &f.width, &f.height);
        } else {
            f.hasAudio = true;
        }
    }
    const FrameCounts frames = CountFrames();
    f.framesTotal = frames.total;
    f.framesFirstRiff = frames.firstRiff;
    return f;
}

RiffAviWriter::FrameCounts RiffAviWriter::CountFrames() const {
    FrameCounts frames;
    const int video = VideoStream();
    if (video >= 0) {
        const std::size_t count = streams_[video].entries.size();
        frames.total = ClampU32(std::uint64_t{count});
        frames.firstRiff =
            ClampU32(std::uint64_t{riffs_.size() > 1 ? riffs_[1].firstEntry[video] : count});
    }
    return frames;
}

void RiffAviWriter::AppendMainHeader(RiffByteWriter& out, const HeaderFacts& f, bool withIndex,
                                     LiveFields* fields) const {
    const std::size_t avih = out.BeginChunk(kAvih);
    out.U32(f.microSecPerFrame);
    out.U32(ClampU32(f.bytesPerSecond)); // dwMaxBytesPerSec
    out.U32(0);                          // dwPaddingGranularity
    out.U32((withIndex ? kAvifHasIndex : 0) | (f.hasAudio ? kAvifIsInterleaved : 0));
    if (fields != nullptr) {
        fields->mainFrames = out.Size();
    }
    out.U32(f.framesFirstRiff);
    out.U32(0); // dwInitialFrames
    out.U32(static_cast<std::uint32_t>(streams_.size()));
    out.U32(f.suggested);
    out.U32(f.width);
    out.U32(f.height);
    out.Zeros(16); // dwReserved[4]
    out.EndChunk(avih);
}

void RiffAviWriter::AppendStreamHeader(RiffByteWriter& out, std::size_t s, std::uint32_t largest,
                                       LiveFields* fields) const {
    const AVISTREAMINFOA& h = streams_[s].setup.header;
    const std::size_t strh = out.BeginChunk(kStrh);
    out.Fourcc(h.fccType);
    out.Fourcc(h.fccHandler);
    out.U32(h.dwFlags);
    out.U16(h.wPriority);
    out.U16(h.wLanguage);
    out.U32(h.dwInitialFrames);
    out.U32(h.dwScale);
    out.U32(h.dwRate);
    out.U32(h.dwStart);
    if (fields != nullptr) {
        fields->length[s] = out.Size();
    }
    out.U32(ClampU32(streams_[s].samples)); // dwLength
    out.U32(std::max(h.dwSuggestedBufferSize, largest));
    out.U32(h.dwQuality);
    out.U32(h.dwSampleSize);
    out.U16(ClampI16(h.rcFrame.left));
    out.U16(ClampI16(h.rcFrame.top));
    out.U16(ClampI16(h.rcFrame.right));
    out.U16(ClampI16(h.rcFrame.bottom));
    out.EndChunk(strh);
}

void RiffAviWriter::AppendStreamList(RiffByteWriter& out, std::size_t s, std::uint32_t largest,
                                     LiveFields* fields) const {
    const Stream& st = streams_[s];
    const AVISTREAMINFOA& h = st.setup.header;
    const std::size_t strl = out.BeginList(kList, kStrl);
    AppendStreamHeader(out, s, largest, fields);

    const std::size_t strf = out.BeginChunk(kStrf);
    out.Bytes(st.setup.format.data(), st.setup.format.size());
    out.EndChunk(strf);

    std::size_t nameLength = 0;
    while (nameLength < sizeof h.szName && h.szName[nameLength] != '\0') {
        ++nameLength;
    }
    if (nameLength > 0) {
        const std::size_t strn = out.BeginChunk(kStrn);
        out.Bytes(h.szName, nameLength);
        out.U8(0);
        out.EndChunk(strn);
    }

    const bool openDml = riffs_.size() > 1;
    std::vector<AviSuperIndexEntry> superIndex;
    if (openDml) {
        for (const Riff& r : riffs_) {
            if (r.ix[s].size != 0) {
                superIndex.push_back(r.ix[s]);
            }
        }
    }
    AppendSuperIndexChunk(out, st.chunkId, superIndex, kAviSuperIndexCapacity, !openDml);
    out.EndChunk(strl);
}

void RiffAviWriter::BuildHeader(RiffByteWriter& out, bool withIndex, LiveFields* fields) const {
    const bool openDml = riffs_.size() > 1;
    const Riff& first = riffs_.front();
    const HeaderFacts facts = CollectHeaderFacts();

    out.Fourcc(kRiff);
    out.U32(first.riffEnd != 0 ? ClampU32(first.riffEnd - 8) : 0);
    out.Fourcc(kAvi);
    const std::size_t hdrl = out.BeginList(kList, kHdrl);
    AppendMainHeader(out, facts, withIndex, fields);
    for (std::size_t s = 0; s < streams_.size(); ++s) {
        AppendStreamList(out, s, facts.largest[s], fields);
    }

    // The OpenDML header list; a JUNK chunk of the same size while the file
    // has a single RIFF.
    const std::size_t odml = out.BeginChunk(openDml ? kList : kJunk);
    out.Fourcc(kOdml);
    const std::size_t dmlh = out.BeginChunk(kDmlh);
    if (fields != nullptr) {
        fields->odmlId = odml;
        fields->totalFrames = out.Size();
    }
    out.U32(facts.framesTotal);
    out.Zeros(kDmlhSize - 4);
    out.EndChunk(dmlh);
    out.EndChunk(odml);

    out.EndChunk(hdrl);

    out.Fourcc(kList);
    out.U32(first.moviEnd != 0 ? ClampU32(first.moviEnd - first.moviPos - 8) : 0);
    out.Fourcc(kMovi);
}

bool RiffAviWriter::WriteHeader(bool withIndex) {
    RiffByteWriter out;
    try {
        BuildHeader(out, withIndex);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (out.Size() != headerSize_) {
        return false; // the layout is fixed by Begin; never reached
    }
    return sink_.WriteAt(0, out.Data(), out.Size());
}

bool RiffAviWriter::Recover() {
    const std::uint64_t durable = sink_.DurableSize();
    for (Stream& s : streams_) {
        while (!s.entries.empty() && ChunkEnd(s.entries.back()) > durable) {
            s.samples -= s.entries.back().samples;
            s.entries.pop_back();
        }
    }
    // Cut after the last whole chunk, or after the header when no chunk made
    // it, or at 0 when not even the header did.
    std::uint64_t cut = 0;
    if (durable >= headerSize_) {
        cut = headerSize_;
        for (const Stream& s : streams_) {
            if (!s.entries.empty()) {
                cut = std::max(cut, ChunkEnd(s.entries.back()));
            }
        }
    }
    std::size_t current = 0;
    for (std::size_t k = 1; k < riffs_.size(); ++k) {
        if (riffs_[k].riffPos < cut) {
            current = k;
        }
    }
    riffs_.resize(current + 1);
    Riff& r = riffs_.back();
    r.moviEnd = 0;
    r.riffEnd = 0;
    r.ix = {};
    if (!sink_.Truncate(cut)) {
        return false;
    }
    if (cut == 0) {
        RiffByteWriter out;
        try {
            BuildHeader(out, true);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return sink_.Write(out.Data(), out.Size());
    }
    return true;
}

bool RiffAviWriter::FinishWithIndex() {
    if (!CloseRiff(riffs_.size() > 1) || !WriteHeader(true)) {
        return false;
    }
    PatchRiffSizes();
    return sink_.Flush() && !sink_.Failed();
}

void RiffAviWriter::FinishWithoutIndex() {
    // Whatever follows the last chunk stays outside the movi list, so that a
    // reader scanning the list finds only whole chunks.
    Riff& r = riffs_.back();
    if (r.riffEnd == 0) {
        r.moviEnd = sink_.Position();
        r.riffEnd = r.moviEnd;
    }
    WriteHeader(false);
    PatchRiffSizes();
    sink_.Flush();
}

bool RiffAviWriter::Finish() {
    if (!begun_ || finished_) {
        return false;
    }
    finished_ = true;
    if (sink_.Failed()) {
        lostData_ = true;
    }
    if (lostData_ && !Recover()) {
        return false;
    }
    const bool lost = lostData_;
    if (FinishWithIndex()) {
        return !lost;
    }
    lostData_ = true;
    if (sink_.Failed() && !Recover()) {
        return false;
    }
    FinishWithoutIndex();
    return false;
}

} // namespace kmx

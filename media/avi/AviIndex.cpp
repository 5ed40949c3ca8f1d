#include "media/avi/AviIndex.h"

#include "media/avi/AviChunkIds.h"
#include "media/io/ByteOrder.h"

#include <algorithm>
#include <array>
#include <climits>
#include <new>

namespace kmx {
namespace {

constexpr std::size_t kIndexHeaderSize = 24;
constexpr std::size_t kSuperEntrySize = 16;
constexpr std::size_t kIdx1EntrySize = 16;
constexpr std::size_t kEntriesPerRead = 4096;

// Collects entries for the requested streams, checking each against the file.
class CCollector {
public:
    CCollector(const IByteSource& file, const std::vector<int>& numbers,
               std::vector<AviStreamIndex>& out)
        : file_(file), out_(out) {
        slotOf_.fill(-1);
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            if (numbers[i] >= 0 && numbers[i] < static_cast<int>(slotOf_.size())) {
                slotOf_[static_cast<std::size_t>(numbers[i])] = static_cast<int>(i);
            }
        }
        out_.assign(numbers.size(), AviStreamIndex{});
    }

    bool Wanted(int number) const { return Slot(number) >= 0; }

    // False when the sample's data does not lie within the file.
    bool Add(int number, std::uint64_t pos, std::uint32_t size, bool key) {
        const int slot = Slot(number);
        if (slot < 0) {
            return true;
        }
        if (pos > file_.Size() || size > file_.Size() - pos) {
            return false;
        }
        AviStreamIndex& index = out_[static_cast<std::size_t>(slot)];
        if (index.entries.size() < kMaxIndexEntries) {
            index.entries.push_back({pos, size, key});
            index.keysFromFile = index.keysFromFile || key;
        }
        ++total_;
        return true;
    }

    std::uint64_t Total() const { return total_; }

    // The data position of the last entry of any stream; 0 without entries.
    std::uint64_t LastPosition() const {
        std::uint64_t last = 0;
        for (const AviStreamIndex& index : out_) {
            if (!index.entries.empty()) {
                last = std::max(last, index.entries.back().pos);
            }
        }
        return last;
    }

    void Reset() {
        for (AviStreamIndex& index : out_) {
            index = AviStreamIndex{};
        }
        total_ = 0;
    }

    // A scan knows no key flags.
    void ForgetKeys() {
        for (AviStreamIndex& index : out_) {
            index.keysFromFile = false;
        }
    }

private:
    int Slot(int number) const {
        return number >= 0 && number < static_cast<int>(slotOf_.size())
                   ? slotOf_[static_cast<std::size_t>(number)]
                   : -1;
    }

    const IByteSource& file_;
    std::vector<AviStreamIndex>& out_;
    std::array<int, kMaxStreamLists> slotOf_{};
    std::uint64_t total_ = 0;
};

enum class LoadResult { Complete, Incomplete };

bool IsStandardIndexShape(std::uint16_t longs, std::uint8_t subType) {
    return (longs == 2 && subType == 0) || (longs == 3 && subType == kIndex2Field);
}

// Reads count standard index entries of longs 32-bit words each at pos of
// from (the file, or a copy of the entries in memory).
LoadResult ReadStandardEntries(const IByteSource& from, std::uint64_t pos, std::uint64_t count,
                               std::size_t longs, std::uint64_t base, int number,
                               CCollector& collector) {
    const std::size_t entrySize = longs * 4;
    std::vector<std::uint8_t> block(kEntriesPerRead * entrySize);
    LoadResult result = LoadResult::Complete;
    while (count > 0) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, kEntriesPerRead));
        if (!from.ReadAt(pos, block.data(), n * entrySize)) {
            return LoadResult::Incomplete;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* entry = block.data() + i * entrySize;
            const std::uint32_t offset = LoadU32(entry);
            const std::uint32_t sizeAndFlag = LoadU32(entry + 4);
            if (!collector.Add(number, base + offset, sizeAndFlag & ~kAviStandardIndexDelta,
                               (sizeAndFlag & kAviStandardIndexDelta) == 0)) {
                result = LoadResult::Incomplete;
            }
        }
        pos += n * entrySize;
        count -= n;
    }
    return result;
}

// Checks a standard index header (the 24 bytes after the chunk header) and
// reads its entries, which follow it at entriesPos within dataEnd.
LoadResult LoadStandardIndex(const IByteSource& file, CByteView header, std::uint64_t entriesPos,
                             std::uint64_t dataEnd, int number, CCollector& collector) {
    const std::uint16_t longs = header.U16(0);
    const std::uint8_t subType = header.U8(2);
    const std::uint8_t type = header.U8(3);
    const std::uint32_t inUse = header.U32(4);
    const std::uint32_t chunkId = header.U32(8);
    const std::uint64_t base = header.U64(12);
    const int owner = StreamNumberOfChunk(chunkId);
    // Entries of a malformed index, or one that names another stream, are
    // skipped; the rest of the index still counts.
    if (!header.Ok() || type != kIndexOfChunks || !IsStandardIndexShape(longs, subType) ||
        (owner >= 0 && owner != number) || base >= file.Size() || entriesPos > dataEnd) {
        return LoadResult::Complete;
    }
    const std::uint64_t fit = (dataEnd - entriesPos) / (longs * 4u);
    return ReadStandardEntries(file, entriesPos, std::min<std::uint64_t>(inUse, fit), longs, base,
                               number, collector);
}

// The standard index chunk a super index entry points at.
LoadResult LoadStandardIndexAt(const IByteSource& file, std::uint64_t offset, int number,
                               CCollector& collector) {
    RiffChunk chunk;
    if (!ReadChunkHeader(file, offset, file.Size(), chunk) || chunk.dataEnd > file.Size()) {
        return LoadResult::Incomplete;
    }
    std::array<std::uint8_t, kIndexHeaderSize> header{};
    if (chunk.size < kIndexHeaderSize ||
        !file.ReadAt(chunk.dataPos, header.data(), header.size())) {
        return LoadResult::Complete;
    }
    return LoadStandardIndex(file, CByteView(header.data(), header.size()),
                             chunk.dataPos + kIndexHeaderSize, chunk.dataEnd, number, collector);
}

// A standard index stored in place of the super index: its entries were read
// with the stream's headers and are taken from that copy.
LoadResult LoadInPlaceStandardIndex(const IByteSource& file, const AviStreamList& stream,
                                    CCollector& collector) {
    CByteView super(stream.superIndex);
    const std::uint16_t longs = super.U16(0);
    const std::uint64_t base = super.U64(12);
    if (!IsStandardIndexShape(longs, super.U8(2)) || base >= file.Size()) {
        return LoadResult::Incomplete;
    }
    const std::uint64_t fit = (super.Size() - kIndexHeaderSize) / (longs * 4u);
    const CMemorySource entries(stream.superIndex.data(), stream.superIndex.size());
    return ReadStandardEntries(entries, kIndexHeaderSize,
                               std::min<std::uint64_t>(super.U32(4), fit), longs, base,
                               stream.number, collector);
}

LoadResult LoadOpenDmlStream(const IByteSource& file, const AviStreamList& stream,
                             CCollector& collector) {
    CByteView super(stream.superIndex);
    if (!super.Has(0, kIndexHeaderSize)) {
        return LoadResult::Incomplete;
    }
    const std::uint16_t longs = super.U16(0);
    const std::uint8_t type = super.U8(3);
    if (type == kIndexOfChunks) {
        return LoadInPlaceStandardIndex(file, stream, collector);
    }
    if (type != kIndexOfIndexes || longs != 4) {
        return LoadResult::Incomplete;
    }
    const std::uint64_t fit = (super.Size() - kIndexHeaderSize) / kSuperEntrySize;
    const std::uint64_t count = std::min<std::uint64_t>(super.U32(4), fit);
    LoadResult result = LoadResult::Complete;
    std::uint64_t previous = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t offset =
            super.U64(kIndexHeaderSize + static_cast<std::size_t>(i) * kSuperEntrySize);
        // 0 is an unused slot. Standard indexes lie in file order; one met
        // again, or out of order, would only repeat entries.
        if (offset == 0 || offset <= previous) {
            continue;
        }
        previous = offset;
        if (LoadStandardIndexAt(file, offset, stream.number, collector) == LoadResult::Incomplete) {
            result = LoadResult::Incomplete;
        }
    }
    return result;
}

bool LoadOpenDml(const IByteSource& file, const AviLayout& layout, const std::vector<int>& numbers,
                 CCollector& collector) {
    for (const int number : numbers) {
        const auto it =
            std::find_if(layout.streams.begin(), layout.streams.end(),
                         [number](const AviStreamList& s) { return s.number == number; });
        if (it == layout.streams.end() || !it->hasSuperIndex) {
            return false;
        }
    }
    for (const int number : numbers) {
        const AviStreamList& stream = layout.streams[static_cast<std::size_t>(number)];
        if (LoadOpenDmlStream(file, stream, collector) == LoadResult::Incomplete) {
            return false;
        }
    }
    return collector.Total() > 0;
}

// Decides from the first usable entry whether idx1 offsets count from the
// 'movi' list type or from the start of the file: the one whose position
// holds a chunk with the entry's id wins.
bool Idx1OffsetsAreAbsolute(const IByteSource& file, const AviLayout& layout) {
    const std::uint64_t count = layout.idx1Size / kIdx1EntrySize;
    for (std::uint64_t i = 0; i < count && i < kEntriesPerRead; ++i) {
        std::array<std::uint8_t, kIdx1EntrySize> entry{};
        if (!file.ReadAt(layout.idx1Pos + i * kIdx1EntrySize, entry.data(), entry.size())) {
            break;
        }
        const std::uint32_t id = LoadU32(entry.data());
        if (StreamNumberOfChunk(id) < 0) {
            continue;
        }
        const std::uint64_t offset = LoadU32(entry.data() + 8);
        std::array<std::uint8_t, 4> found{};
        if (file.ReadAt(layout.firstMovieListPos + offset, found.data(), 4) &&
            LoadU32(found.data()) == id) {
            return false;
        }
        if (file.ReadAt(offset, found.data(), 4) && LoadU32(found.data()) == id) {
            return true;
        }
        return offset > layout.firstMovieListPos;
    }
    return false;
}

bool LoadIdx1(const IByteSource& file, const AviLayout& layout, CCollector& collector) {
    if (!layout.hasIdx1 || !layout.idx1Complete || !layout.hasFirstMovie || layout.hasExtensions) {
        return false;
    }
    const std::uint64_t base = Idx1OffsetsAreAbsolute(file, layout) ? 0 : layout.firstMovieListPos;
    std::uint64_t count = layout.idx1Size / kIdx1EntrySize;
    std::uint64_t pos = layout.idx1Pos;
    std::vector<std::uint8_t> block(kEntriesPerRead * kIdx1EntrySize);
    while (count > 0) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, kEntriesPerRead));
        if (!file.ReadAt(pos, block.data(), n * kIdx1EntrySize)) {
            break;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* entry = block.data() + i * kIdx1EntrySize;
            const int number = StreamNumberOfChunk(LoadU32(entry));
            if (!collector.Wanted(number)) {
                continue;
            }
            const std::uint32_t flags = LoadU32(entry + 4);
            const std::uint64_t header = base + LoadU32(entry + 8);
            collector.Add(number, header + 8, LoadU32(entry + 12),
                          (flags & kAviIndexKeyFrame) != 0);
        }
        pos += n * kIdx1EntrySize;
        count -= n;
    }
    return collector.Total() > 0;
}

// How far a scan looks past a damaged chunk header for the next good one.
constexpr std::uint64_t kResyncWindow = std::uint64_t{8} << 20;

// A chunk id that can stand in a movie list: a stream's data chunk ('##dc',
// '##db', '##wb', '##pc'), a standard index ('ix##') or a list.
bool IsMovieChunkId(std::uint32_t id) {
    const auto c = [id](int i) { return static_cast<char>((id >> (8 * i)) & 0xFF); };
    const auto digit = [](char ch) { return ch >= '0' && ch <= '9'; };
    if (id == kList) {
        return true;
    }
    if (c(0) == 'i' && c(1) == 'x') {
        return digit(c(2)) && digit(c(3));
    }
    if (!digit(c(0)) || !digit(c(1))) {
        return false;
    }
    return (c(2) == 'd' && (c(3) == 'c' || c(3) == 'b')) || (c(2) == 'w' && c(3) == 'b') ||
           (c(2) == 'p' && c(3) == 'c');
}

// True when a chunk at pos looks whole: a movie chunk id, its data within
// end, and followed by the end or by another plausible chunk header.
bool IsGoodChunkAt(const IByteSource& file, std::uint64_t pos, std::uint64_t end) {
    RiffChunk chunk;
    if (!ReadChunkHeader(file, pos, end, chunk) || !IsMovieChunkId(chunk.id) ||
        chunk.dataEnd > end) {
        return false;
    }
    RiffChunk after;
    return chunk.next >= end ||
           (ReadChunkHeader(file, chunk.next, end, after) && IsPlausibleChunkId(after.id));
}

// The position of the next good chunk in [from, end), looking no further
// than kResyncWindow; end when there is none.
std::uint64_t FindNextChunk(const IByteSource& file, std::uint64_t from, std::uint64_t end) {
    const std::uint64_t limit = end - from > kResyncWindow ? from + kResyncWindow : end;
    for (std::uint64_t pos = from; pos < limit && end - pos >= 8; ++pos) {
        std::uint8_t id[4];
        if (!file.ReadAt(pos, id, sizeof id)) {
            return end;
        }
        if (IsMovieChunkId(LoadU32(id)) && IsGoodChunkAt(file, pos, end)) {
            return pos;
        }
    }
    return end;
}

// Walks the chunks of a movie list (and of its 'rec ' lists). A chunk header
// that does not look like one (damaged data) is passed over by searching for
// the next good chunk; the scan ends where nothing more is found (the end of
// what an interrupted writer left). Reads go through a read-ahead block, so
// a file of many small chunks costs few reads.
void ScanMovie(const IByteSource& file, std::uint64_t pos, std::uint64_t end, bool inRecord,
               CCollector& collector) {
    RiffChunk chunk;
    while (ReadChunkHeader(file, pos, end, chunk)) {
        const bool whole = chunk.dataEnd <= end;
        if (!IsPlausibleChunkId(chunk.id) || !whole) {
            pos = FindNextChunk(file, pos + 1, end);
            continue;
        }
        if (chunk.id == kList) {
            if (!inRecord && chunk.listType == kRec) {
                ScanMovie(file, chunk.dataPos + 4, std::min(chunk.dataEnd, end), true, collector);
            }
        } else {
            collector.Add(StreamNumberOfChunk(chunk.id), chunk.dataPos, chunk.size, false);
        }
        if (chunk.dataEnd >= end) {
            return;
        }
        pos = chunk.next;
    }
}

// The movie lists after the last chunk the OpenDML indexes name: those of
// extensions a writer was still filling when it stopped, before it could
// write their indexes. Their chunks are found by a scan, after which the key
// frames are unknown.
void ScanUnindexedExtensions(const IByteSource& file, const AviLayout& layout,
                             CCollector& collector) {
    const std::uint64_t last = collector.LastPosition();
    const std::uint64_t before = collector.Total();
    const CReadAheadSource ahead(file);
    for (const AviMovieRange& movie : layout.movies) {
        if (movie.begin > last) {
            ScanMovie(ahead, movie.begin, movie.end, false, collector);
        }
    }
    if (collector.Total() != before) {
        collector.ForgetKeys();
    }
}

void LoadByScan(const IByteSource& file, const AviLayout& layout, CCollector& collector) {
    const CReadAheadSource ahead(file);
    for (const AviMovieRange& movie : layout.movies) {
        ScanMovie(ahead, movie.begin, movie.end, false, collector);
    }
    collector.ForgetKeys();
}

} // namespace

std::int32_t CAviSampleSource::SampleCount() const {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(index_.entries.size(), static_cast<std::size_t>(INT32_MAX)));
}

std::uint32_t CAviSampleSource::SampleSize(std::int32_t sample) const {
    return sample >= 0 && sample < SampleCount()
               ? index_.entries[static_cast<std::size_t>(sample)].size
               : 0;
}

bool CAviSampleSource::IsKeySample(std::int32_t sample) const {
    return sample >= 0 && sample < SampleCount() &&
           index_.entries[static_cast<std::size_t>(sample)].key;
}

bool CAviSampleSource::ReadSample(std::int32_t sample, std::uint8_t* out) const {
    if (sample < 0 || sample >= SampleCount()) {
        return false;
    }
    const AviSampleEntry& entry = index_.entries[static_cast<std::size_t>(sample)];
    return entry.size == 0 || file_.ReadAt(entry.pos, out, entry.size);
}

bool CAviSampleSource::ReadSamplePieces(std::int32_t sample, const ReadPiece* pieces,
                                        std::size_t count) const {
    if (sample < 0 || sample >= SampleCount()) {
        return false;
    }
    const AviSampleEntry& entry = index_.entries[static_cast<std::size_t>(sample)];
    return PiecesSize(pieces, count) <= entry.size && file_.ReadPiecesAt(entry.pos, pieces, count);
}

int StreamNumberOfChunk(std::uint32_t id) {
    const char c0 = static_cast<char>(id & 0xFF);
    const char c1 = static_cast<char>((id >> 8) & 0xFF);
    const char t0 = static_cast<char>((id >> 16) & 0xFF);
    const char t1 = static_cast<char>((id >> 24) & 0xFF);
    if (c0 < '0' || c0 > '9' || c1 < '0' || c1 > '9') {
        return -1;
    }
    if ((t0 == 'p' && t1 == 'c') || (t0 == 'i' && t1 == 'x')) {
        return -1;
    }
    return (c0 - '0') * 10 + (c1 - '0');
}

bool BuildAviIndexes(const IByteSource& file, const AviLayout& layout,
                     const std::vector<int>& numbers, std::vector<AviStreamIndex>& out,
                     AviIndexSource* source) {
    AviIndexSource used = AviIndexSource::None;
    try {
        CCollector collector(file, numbers, out);
        if (!numbers.empty()) {
            if (LoadOpenDml(file, layout, numbers, collector)) {
                ScanUnindexedExtensions(file, layout, collector);
                used = AviIndexSource::OpenDml;
            } else {
                collector.Reset();
                if (LoadIdx1(file, layout, collector)) {
                    used = AviIndexSource::Idx1;
                } else {
                    collector.Reset();
                    LoadByScan(file, layout, collector);
                    used = AviIndexSource::Scan;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    if (source != nullptr) {
        *source = used;
    }
    return true;
}

} // namespace kmx

#include "media/avi/AviIndexWriter.h"

#include "media/avi/AviChunkIds.h"

#include <limits>
#include <vector>

namespace kmx {

namespace {

constexpr std::uint64_t k32BitLimit = std::uint64_t{1} << 32;

} // namespace

bool AppendIdx1Chunk(RiffByteWriter& out, std::span<const AviIndexStream> streams,
                     std::uint64_t moviTypePos) {
    const std::size_t start = out.Size();
    const std::size_t mark = out.BeginChunk(kIdx1);
    std::vector<std::size_t> next(streams.size(), 0);
    for (;;) {
        // The stream whose next chunk comes first in the file.
        std::size_t pick = streams.size();
        for (std::size_t s = 0; s < streams.size(); ++s) {
            if (next[s] < streams[s].entries.size() &&
                (pick == streams.size() || streams[s].entries[next[s]].position <
                                               streams[pick].entries[next[pick]].position)) {
                pick = s;
            }
        }
        if (pick == streams.size()) {
            break;
        }
        const AviIndexEntry& e = streams[pick].entries[next[pick]++];
        if (e.position < moviTypePos || e.position - moviTypePos >= k32BitLimit) {
            out.Buffer().resize(start);
            return false;
        }
        out.Fourcc(streams[pick].chunkId);
        out.U32(e.key ? kAviIndexKeyFrame : 0);
        out.U32(static_cast<std::uint32_t>(e.position - moviTypePos));
        out.U32(e.size);
    }
    out.EndChunk(mark);
    return true;
}

bool AppendStandardIndexChunk(RiffByteWriter& out, std::uint32_t ixId, std::uint32_t chunkId,
                              std::span<const AviIndexEntry> entries, std::uint64_t baseOffset) {
    const std::size_t start = out.Size();
    const std::size_t mark = out.BeginChunk(ixId);
    out.U16(2); // wLongsPerEntry
    out.U8(0);  // bIndexSubType
    out.U8(kIndexOfChunks);
    out.U32(static_cast<std::uint32_t>(entries.size())); // nEntriesInUse
    out.Fourcc(chunkId);
    out.U64(baseOffset);
    out.U32(0); // dwReserved3
    for (const AviIndexEntry& e : entries) {
        const std::uint64_t data = e.position + 8;
        if (e.position > std::numeric_limits<std::uint64_t>::max() - 8 || data < baseOffset ||
            data - baseOffset >= k32BitLimit || e.size >= kAviStandardIndexDelta) {
            out.Buffer().resize(start);
            return false;
        }
        out.U32(static_cast<std::uint32_t>(data - baseOffset));
        out.U32(e.size | (e.key ? 0 : kAviStandardIndexDelta));
    }
    out.EndChunk(mark);
    return true;
}

bool AppendSuperIndexChunk(RiffByteWriter& out, std::uint32_t chunkId,
                           std::span<const AviSuperIndexEntry> entries, std::size_t capacity,
                           bool asJunk) {
    if (entries.size() > capacity) {
        return false;
    }
    const std::size_t mark = out.BeginChunk(asJunk ? kJunk : kIndx);
    out.U16(4); // wLongsPerEntry
    out.U8(0);  // bIndexSubType
    out.U8(kIndexOfIndexes);
    out.U32(asJunk ? 0 : static_cast<std::uint32_t>(entries.size())); // nEntriesInUse
    out.Fourcc(chunkId);
    out.Zeros(12); // dwReserved[3]
    if (!asJunk) {
        for (const AviSuperIndexEntry& e : entries) {
            out.U64(e.offset);
            out.U32(e.size);
            out.U32(e.duration);
        }
        out.Zeros(16 * (capacity - entries.size()));
    } else {
        out.Zeros(16 * capacity);
    }
    out.EndChunk(mark);
    return true;
}

} // namespace kmx

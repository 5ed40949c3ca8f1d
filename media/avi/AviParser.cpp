#include "media/avi/AviParser.h"

#include "media/avi/AviChunkIds.h"
#include "media/avi/AviIndex.h"
#include "media/io/ByteOrder.h"

#include <algorithm>

namespace kmx {
namespace {

constexpr std::size_t kStreamHeaderKeep = 64;
constexpr std::size_t kNameKeep = 63;
constexpr std::size_t kMainHeaderKeep = 56;
// An AVIX RIFF is at least its 12-byte header; this bounds the walk as well.
constexpr int kMaxExtensions = 1 << 16;

// Where the next chunk of a list starts: after the pad byte of an odd size,
// but never past the list's end (some writers omit the last pad byte).
std::uint64_t NextPos(const RiffChunk& chunk, std::uint64_t end) {
    return std::min(chunk.next, end);
}

// Reads at most keep bytes of a chunk's data, which must lie within end.
bool ReadHead(const IByteSource& file, const RiffChunk& chunk, std::uint64_t end, std::size_t keep,
              std::vector<std::uint8_t>& out) {
    const std::uint64_t take = std::min<std::uint64_t>(chunk.size, keep);
    return ReadFileBlock(file, chunk.dataPos, take, end, keep, out);
}

bool ParseStreamList(const IByteSource& file, std::uint64_t pos, std::uint64_t end,
                     AviStreamList& stream) {
    RiffChunk chunk;
    while (ReadChunkHeader(file, pos, end, chunk)) {
        if (chunk.dataEnd > end) {
            return false;
        }
        if (chunk.id == kStrh && !stream.hasHeader) {
            if (!ReadHead(file, chunk, end, kStreamHeaderKeep, stream.header)) {
                return false;
            }
            stream.hasHeader = true;
            if (stream.header.size() >= 4) {
                stream.fccType = LoadU32(stream.header.data());
            }
        } else if (chunk.id == kStrf && !stream.hasFormat) {
            if (!ReadFileBlock(file, chunk.dataPos, chunk.size, end, kMaxFormatSize,
                               stream.format)) {
                return false;
            }
            stream.hasFormat = true;
        } else if (chunk.id == kStrn && stream.name.empty()) {
            std::vector<std::uint8_t> text;
            if (!ReadHead(file, chunk, end, kNameKeep, text)) {
                return false;
            }
            const auto stop = std::find(text.begin(), text.end(), std::uint8_t{0});
            stream.name.assign(text.begin(), stop);
        } else if (chunk.id == kIndx && !stream.hasSuperIndex) {
            // An index too large to be sane is ignored, not fatal: the file
            // can still be read through another index or by scanning.
            stream.hasSuperIndex = ReadFileBlock(file, chunk.dataPos, chunk.size, end,
                                                 kMaxSuperIndexSize, stream.superIndex);
        }
        pos = NextPos(chunk, end);
    }
    return true;
}

bool ParseHeaderList(const IByteSource& file, std::uint64_t pos, std::uint64_t end,
                     AviLayout& layout) {
    RiffChunk chunk;
    while (ReadChunkHeader(file, pos, end, chunk)) {
        if (chunk.dataEnd > end) {
            return false;
        }
        if (chunk.id == kAvih && !layout.hasMainHeader) {
            std::vector<std::uint8_t> bytes;
            if (!ReadHead(file, chunk, end, kMainHeaderKeep, bytes)) {
                return false;
            }
            CByteView view(bytes);
            layout.hasMainHeader = true;
            layout.microSecPerFrame = view.Has(0, 4) ? view.U32(0) : 0;
            layout.totalFrames = view.Has(16, 4) ? view.U32(16) : 0;
            layout.width = view.Has(32, 4) ? view.U32(32) : 0;
            layout.height = view.Has(36, 4) ? view.U32(36) : 0;
        } else if (chunk.id == kList && chunk.listType == kStrl) {
            if (layout.streams.size() < kMaxStreamLists) {
                AviStreamList stream;
                stream.number = static_cast<int>(layout.streams.size());
                if (!ParseStreamList(file, chunk.dataPos + 4, chunk.dataEnd, stream)) {
                    return false;
                }
                layout.streams.push_back(std::move(stream));
            }
        }
        pos = NextPos(chunk, end);
    }
    return true;
}

// Finds the movie list of an AVIX RIFF.
void ParseExtension(const IByteSource& file, std::uint64_t pos, std::uint64_t end,
                    AviLayout& layout) {
    RiffChunk chunk;
    while (ReadChunkHeader(file, pos, end, chunk)) {
        if (chunk.id == kList && chunk.listType == kMovi) {
            layout.movies.push_back(
                {chunk.dataPos + 4, chunk.size < 4 ? end : std::min(chunk.dataEnd, end)});
            return;
        }
        if (chunk.dataEnd >= end) {
            return;
        }
        pos = chunk.next;
    }
}

// The end of the last RIFF: of its data (within the file), and where a
// chunk after it would start.
struct RiffEnd {
    std::uint64_t dataEnd = 0;
    std::uint64_t next = 0;
};

// The OpenDML extensions, which follow the first RIFF back to back. An
// extension of size 0 is one its writer never finished: it reaches to the
// end of the file, as does one whose size passes that end.
void ParseExtensions(const IByteSource& file, AviLayout& layout, RiffEnd& last) {
    const std::uint64_t fileSize = file.Size();
    for (int n = 0; n < kMaxExtensions && last.next < fileSize; ++n) {
        RiffChunk ext;
        if (!ReadChunkHeader(file, last.next, fileSize, ext) || ext.id != kRiff ||
            ext.listType != kAvix) {
            break;
        }
        layout.hasExtensions = true;
        const bool open = ext.size < 4 || ext.dataEnd > fileSize;
        last = {open ? fileSize : ext.dataEnd, open ? fileSize : ext.next};
        ParseExtension(file, ext.dataPos + 4, last.dataEnd, layout);
    }
}

// A writer that was stopped after it last set the sizes leaves chunks past
// the end of the last RIFF. When that RIFF's movie list reaches to its end
// and a stream's chunk follows instead of another RIFF, the movie list is
// taken to reach to the end of the file; the scan checks each chunk there.
void TakeChunksPastTheLastRiff(const IByteSource& file, const RiffEnd& last, AviLayout& layout) {
    RiffChunk chunk;
    if (!layout.movies.empty() && layout.movies.back().end == last.dataEnd &&
        ReadChunkHeader(file, last.next, file.Size(), chunk) &&
        StreamNumberOfChunk(chunk.id) >= 0) {
        layout.movies.back().end = file.Size();
    }
}

} // namespace

bool ParseAviLayout(const IByteSource& file, AviLayout& layout) {
    layout = AviLayout{};
    const std::uint64_t fileSize = file.Size();
    RiffChunk riff;
    std::uint8_t type[4] = {};
    // The list type is read whatever the size says: a writer that never
    // finished may have left the size at 0.
    if (!ReadChunkHeader(file, 0, fileSize, riff) || riff.id != kRiff ||
        !file.ReadAt(8, type, sizeof type) || LoadU32(type) != kAvi) {
        return false;
    }
    // A RIFF size that is zero or passes the end of the file comes from a
    // writer that never finished: the RIFF then ends with the file.
    const std::uint64_t riffEnd = riff.size < 4 ? fileSize : std::min(riff.dataEnd, fileSize);

    bool haveHeaders = false;
    std::uint64_t pos = riff.dataPos + 4;
    RiffChunk chunk;
    while (ReadChunkHeader(file, pos, riffEnd, chunk)) {
        if (chunk.id == kList && chunk.listType == kHdrl && !haveHeaders) {
            if (chunk.dataEnd > riffEnd ||
                !ParseHeaderList(file, chunk.dataPos + 4, chunk.dataEnd, layout)) {
                return false;
            }
            haveHeaders = true;
        } else if (chunk.id == kList && chunk.listType == kMovi && !layout.hasFirstMovie) {
            const std::uint64_t end = chunk.size < 4 ? riffEnd : std::min(chunk.dataEnd, riffEnd);
            layout.movies.push_back({chunk.dataPos + 4, end});
            layout.firstMovieListPos = chunk.dataPos;
            layout.hasFirstMovie = true;
            if (chunk.size < 4) {
                break;
            }
        } else if (chunk.id == kIdx1 && !layout.hasIdx1) {
            layout.hasIdx1 = true;
            layout.idx1Pos = chunk.dataPos;
            layout.idx1Size = chunk.size;
            layout.idx1Complete = chunk.dataEnd <= fileSize;
        }
        if (chunk.dataEnd >= riffEnd) {
            break;
        }
        pos = chunk.next;
    }
    if (!haveHeaders) {
        return false;
    }

    // A first RIFF without a size, or passing the end of the file, reaches to
    // that end: nothing follows it.
    if (riff.size >= 4 && riff.dataEnd <= fileSize) {
        RiffEnd last{riff.dataEnd, riff.next};
        ParseExtensions(file, layout, last);
        TakeChunksPastTheLastRiff(file, last, layout);
    }
    return true;
}

} // namespace kmx

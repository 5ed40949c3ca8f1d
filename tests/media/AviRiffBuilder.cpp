#include "tests/media/AviRiffBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace readertest {
namespace {

constexpr std::size_t kSuperIndexSlots = 2;
constexpr std::size_t kSuperIndexChunkSize = 8 + 24 + kSuperIndexSlots * 16;

std::string ChunkId(std::size_t number, bool video) {
    char id[5] = {};
    std::snprintf(id, sizeof id, "%02u%s", static_cast<unsigned>(number % 100),
                  video ? "dc" : "wb");
    return id;
}

bool IsKey(const TestStream& stream, std::size_t k) {
    return k >= stream.keys.size() || stream.keys[k];
}

std::size_t MaxSamples(const std::vector<TestStream>& streams) {
    std::size_t most = 0;
    for (const TestStream& s : streams) {
        most = std::max(most, s.samples.size());
    }
    return most;
}

struct IdxEntry {
    std::uint32_t id;
    std::uint32_t flags;
    std::uint64_t headerPos;
    std::uint32_t size;
};

struct IxChunk {
    std::uint64_t pos = 0;
    std::uint32_t size = 0; // whole chunk
    std::uint32_t count = 0;
};

// The movie list for sample positions [from, to), placed at listPos.
Bytes MovieList(const std::vector<TestStream>& streams, std::size_t from, std::size_t to,
                const BuildOptions& options, std::uint64_t listPos, bool withJunk, BuiltFile& built,
                std::vector<IdxEntry>& idx1, std::vector<IxChunk>& ix) {
    Bytes data;
    PutU32(data, Fourcc("movi"));
    const std::uint64_t dataStart = listPos + 8; // where 'movi' lies
    if (withJunk) {
        Append(data, Chunk("JUNK", Bytes(30, 0)));
    }
    std::vector<std::vector<std::pair<std::uint64_t, std::uint32_t>>> placed(streams.size());
    for (std::size_t k = from; k < to; ++k) {
        Bytes record;
        const bool wrap = options.recordLists;
        const std::uint64_t recordStart = dataStart + data.size() + (wrap ? 12 : 0);
        for (std::size_t s = 0; s < streams.size(); ++s) {
            const TestStream& stream = streams[s];
            if (k >= stream.samples.size()) {
                continue;
            }
            const std::string id = ChunkId(s, stream.video);
            const std::uint64_t header = recordStart + record.size();
            Append(record, Chunk(id.c_str(), stream.samples[k]));
            const auto size = static_cast<std::uint32_t>(stream.samples[k].size());
            built.samplePositions[s].push_back(header + 8);
            placed[s].push_back({header + 8, size});
            idx1.push_back({Fourcc(id.c_str()), IsKey(stream, k) ? 0x10u : 0u, header, size});
        }
        if (wrap) {
            Append(data, List("rec ", {record}));
        } else {
            Append(data, record);
        }
    }
    if (options.index == IndexKind::OpenDml) {
        for (std::size_t s = 0; s < streams.size(); ++s) {
            Bytes body;
            PutU16(body, 2);
            body.push_back(0);
            body.push_back(1); // index of chunks
            PutU32(body, static_cast<std::uint32_t>(placed[s].size()));
            PutU32(body, Fourcc(ChunkId(s, streams[s].video).c_str()));
            PutU64(body, listPos);
            PutU32(body, 0);
            for (std::size_t i = 0; i < placed[s].size(); ++i) {
                const bool key = IsKey(streams[s], from + i);
                PutU32(body, static_cast<std::uint32_t>(placed[s][i].first - listPos));
                PutU32(body, placed[s][i].second | (key ? 0u : 0x80000000u));
            }
            char id[5] = {};
            std::snprintf(id, sizeof id, "ix%02u", static_cast<unsigned>(s));
            IxChunk chunk;
            chunk.pos = dataStart + data.size();
            chunk.size = static_cast<std::uint32_t>(8 + body.size());
            chunk.count = static_cast<std::uint32_t>(placed[s].size());
            ix.push_back(chunk);
            Append(data, Chunk(id, body));
        }
    }
    Bytes list;
    PutU32(list, Fourcc("LIST"));
    PutU32(list, static_cast<std::uint32_t>(data.size()));
    Append(list, data);
    return list;
}

Bytes SuperIndex(std::size_t stream, bool video, const std::vector<IxChunk>& chunks) {
    Bytes body;
    PutU16(body, 4);
    body.push_back(0);
    body.push_back(0); // index of indexes
    PutU32(body, static_cast<std::uint32_t>(chunks.size()));
    PutU32(body, Fourcc(ChunkId(stream, video).c_str()));
    PutU32(body, 0);
    PutU32(body, 0);
    PutU32(body, 0);
    for (std::size_t i = 0; i < kSuperIndexSlots; ++i) {
        const IxChunk chunk = i < chunks.size() ? chunks[i] : IxChunk{};
        PutU64(body, chunk.pos);
        PutU32(body, chunk.size);
        PutU32(body, chunk.count);
    }
    return Chunk("indx", body);
}

Bytes HeaderList(const std::vector<TestStream>& streams, const BuildOptions& options,
                 const std::vector<std::vector<IxChunk>>& ixPerStream) {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Bytes> children;
    std::vector<Bytes> lists;
    for (std::size_t s = 0; s < streams.size(); ++s) {
        const TestStream& stream = streams[s];
        StreamHeaderFields fields = stream.header;
        if (fields.fccType == 0) {
            fields.fccType = Fourcc(stream.video ? "vids" : "auds");
        }
        if (fields.length == 0) {
            if (stream.video || fields.sampleSize == 0) {
                fields.length = static_cast<std::uint32_t>(stream.samples.size());
            } else {
                std::size_t bytes = 0;
                for (const Bytes& b : stream.samples) {
                    bytes += b.size();
                }
                fields.length = static_cast<std::uint32_t>(bytes / fields.sampleSize);
            }
        }
        if (stream.video && width == 0 && stream.format.size() >= 12) {
            width = kmx::LoadU32(stream.format.data() + 4);
            height = kmx::LoadU32(stream.format.data() + 8);
        }
        std::vector<Bytes> parts;
        if (!stream.omitHeader) {
            parts.push_back(Chunk("strh", StreamHeader(fields)));
        }
        if (!stream.omitFormat) {
            parts.push_back(Chunk("strf", stream.format));
        }
        if (!stream.name.empty()) {
            Bytes text(stream.name.begin(), stream.name.end());
            text.push_back(0);
            parts.push_back(Chunk("strn", text));
        }
        if (options.index == IndexKind::OpenDml) {
            parts.push_back(SuperIndex(s, stream.video, ixPerStream[s]));
        }
        lists.push_back(List("strl", parts));
    }
    children.push_back(
        Chunk("avih",
              MainHeader(options.microSecPerFrame, static_cast<std::uint32_t>(MaxSamples(streams)),
                         static_cast<std::uint32_t>(streams.size()), width, height)));
    for (Bytes& l : lists) {
        children.push_back(std::move(l));
    }
    return List("hdrl", children);
}

} // namespace

std::uint32_t Fourcc(const char* text) {
    return MakeFourcc(text[0], text[1], text[2], text[3]);
}

void PutU16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(Bytes& out, std::uint32_t v) {
    PutU16(out, static_cast<std::uint16_t>(v));
    PutU16(out, static_cast<std::uint16_t>(v >> 16));
}

void PutU64(Bytes& out, std::uint64_t v) {
    PutU32(out, static_cast<std::uint32_t>(v));
    PutU32(out, static_cast<std::uint32_t>(v >> 32));
}

void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

Bytes ChunkHeader(const char* id, std::uint32_t size) {
    Bytes out;
    PutU32(out, Fourcc(id));
    PutU32(out, size);
    return out;
}

Bytes Chunk(const char* id, const Bytes& data) {
    Bytes out = ChunkHeader(id, static_cast<std::uint32_t>(data.size()));
    Append(out, data);
    if (data.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

Bytes List(const char* type, const std::vector<Bytes>& children) {
    Bytes data;
    PutU32(data, Fourcc(type));
    for (const Bytes& c : children) {
        Append(data, c);
    }
    return Chunk("LIST", data);
}

Bytes Riff(const char* type, const std::vector<Bytes>& children) {
    Bytes data;
    PutU32(data, Fourcc(type));
    for (const Bytes& c : children) {
        Append(data, c);
    }
    return Chunk("RIFF", data);
}

Bytes StreamHeader(const StreamHeaderFields& f) {
    Bytes out;
    PutU32(out, f.fccType);
    PutU32(out, f.handler);
    PutU32(out, 0); // flags
    PutU16(out, 0); // priority
    PutU16(out, 0); // language
    PutU32(out, 0); // initial frames
    PutU32(out, f.scale);
    PutU32(out, f.rate);
    PutU32(out, f.start);
    PutU32(out, f.length);
    PutU32(out, f.suggestedBufferSize);
    PutU32(out, f.quality);
    PutU32(out, f.sampleSize);
    for (const std::int16_t v : f.rect) {
        PutU16(out, static_cast<std::uint16_t>(v));
    }
    return out;
}

Bytes MainHeader(std::uint32_t microSecPerFrame, std::uint32_t frames, std::uint32_t streams,
                 std::uint32_t width, std::uint32_t height) {
    Bytes out;
    PutU32(out, microSecPerFrame);
    PutU32(out, 0);     // max bytes per second
    PutU32(out, 0);     // padding granularity
    PutU32(out, 0x910); // has index, is interleaved, trust chunk type
    PutU32(out, frames);
    PutU32(out, 0); // initial frames
    PutU32(out, streams);
    PutU32(out, 0); // suggested buffer size
    PutU32(out, width);
    PutU32(out, height);
    for (int i = 0; i < 4; ++i) {
        PutU32(out, 0);
    }
    return out;
}

Bytes BitmapFormat(std::int32_t width, std::int32_t height, int bitCount, std::uint32_t compression,
                   const Bytes& extra) {
    Bytes out;
    PutU32(out, 40);
    PutU32(out, static_cast<std::uint32_t>(width));
    PutU32(out, static_cast<std::uint32_t>(height));
    PutU16(out, 1);
    PutU16(out, static_cast<std::uint16_t>(bitCount));
    PutU32(out, compression);
    const std::int64_t absHeight = height < 0 ? -static_cast<std::int64_t>(height) : height;
    const std::int64_t stride = (static_cast<std::int64_t>(width) * bitCount / 8 + 3) & ~3;
    PutU32(out, static_cast<std::uint32_t>(stride * absHeight));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    Append(out, extra);
    return out;
}

Bytes WaveFormat(std::uint16_t channels, std::uint32_t sampleRate, std::uint16_t bits) {
    Bytes out;
    const auto blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    PutU16(out, 1);
    PutU16(out, channels);
    PutU32(out, sampleRate);
    PutU32(out, sampleRate * blockAlign);
    PutU16(out, blockAlign);
    PutU16(out, bits);
    PutU16(out, 0);
    return out;
}

BuiltFile BuildAvi(const std::vector<TestStream>& streams, const BuildOptions& options) {
    BuiltFile built;
    built.samplePositions.assign(streams.size(), {});
    const std::size_t total = MaxSamples(streams);
    const std::size_t split =
        options.extensionFrom > 0 ? std::min(options.extensionFrom, total) : total;

    // The header list has the same size with or without the real super
    // index contents, so the positions below hold for the final one.
    std::vector<std::vector<IxChunk>> ixPerStream(streams.size());
    const Bytes placeholder = HeaderList(streams, options, ixPerStream);
    const std::uint64_t movieListPos = 12 + placeholder.size();

    std::vector<IdxEntry> idx1;
    std::vector<IxChunk> ix;
    const Bytes movie1 =
        MovieList(streams, 0, split, options, movieListPos, options.junkInMovie, built, idx1, ix);
    for (std::size_t s = 0; s < ix.size(); ++s) {
        ixPerStream[s].push_back(ix[s]);
    }

    Bytes idx1Chunk;
    if (options.index != IndexKind::None) {
        Bytes body;
        const std::uint64_t base = options.index == IndexKind::Idx1Absolute ? 0 : movieListPos + 8;
        for (const IdxEntry& e : idx1) {
            PutU32(body, e.id);
            PutU32(body, e.flags);
            PutU32(body, static_cast<std::uint32_t>(e.headerPos - base));
            PutU32(body, e.size);
        }
        idx1Chunk = Chunk("idx1", body);
    }

    Bytes avix;
    if (split < total) {
        const std::uint64_t riffEnd = movieListPos + movie1.size() + idx1Chunk.size();
        std::vector<IdxEntry> unused;
        std::vector<IxChunk> ix2;
        const Bytes movie2 =
            MovieList(streams, split, total, options, riffEnd + 12, false, built, unused, ix2);
        for (std::size_t s = 0; s < ix2.size(); ++s) {
            ixPerStream[s].push_back(ix2[s]);
        }
        avix = Riff("AVIX", {movie2});
    }

    const Bytes headers = HeaderList(streams, options, ixPerStream);
    Bytes body;
    PutU32(body, Fourcc("AVI "));
    Append(body, headers);
    Append(body, movie1);
    Append(body, idx1Chunk);
    Bytes file = ChunkHeader("RIFF", static_cast<std::uint32_t>(body.size()));
    Append(file, body);
    Append(file, avix);
    built.bytes = std::move(file);
    return built;
}

TestStream RawVideoStream(int width, int height, int frames) {
    TestStream stream;
    stream.video = true;
    stream.header.handler = Fourcc("DIB ");
    stream.format = BitmapFormat(width, height, 24);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    for (int k = 0; k < frames; ++k) {
        stream.samples.push_back(
            Bytes(stride * static_cast<std::size_t>(height), static_cast<std::uint8_t>(k * 7 + 1)));
    }
    return stream;
}

TestStream PcmAudioStream(const std::vector<int>& chunkSamples) {
    TestStream stream;
    stream.video = false;
    stream.header.scale = 2;
    stream.header.rate = 16000;
    stream.header.sampleSize = 2;
    stream.format = WaveFormat(1, 8000, 16);
    int value = 0;
    for (const int n : chunkSamples) {
        Bytes chunk;
        for (int i = 0; i < n; ++i) {
            PutU16(chunk, static_cast<std::uint16_t>(value++));
        }
        stream.samples.push_back(chunk);
    }
    return stream;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    // Rewritten in place and cut to size rather than emptied first: tests
    // write the same file thousands of times, and emptying a file makes
    // some file systems flush it on close.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = bytes.empty() ||
              ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    ok = ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

} // namespace readertest

#include "tests/media/AviWriterTestSupport.h"

#include "media/avi/AviChunkIds.h"
#include "media/avi/AviParser.h"
#include "media/avi/RiffFileReader.h"
#include "pattern/TestPattern.h"
#include "tests/support/ExternalTools.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace avitest {

using kmx::kList;
using kmx::kRiff;
using kmx::LoadU32;

namespace {

constexpr std::size_t kSuperIndexSlots = 2; // the first RIFF and one AVIX

// Appends each value as a little-endian number of `bytes` bytes.
void Put(Bytes& out, std::initializer_list<std::uint64_t> values, int bytes = 4) {
    for (const std::uint64_t v : values) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
}

// A chunk header; a list's size counts its type too.
Bytes Header(const char* id, std::uint64_t size, const char* type = nullptr) {
    Bytes out;
    Put(out, {Fourcc(id), size + (type != nullptr ? 4 : 0)});
    if (type != nullptr) {
        Put(out, {Fourcc(type)});
    }
    return out;
}

void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// A chunk with its data and pad byte.
Bytes ChunkBytes(const char* id, const Bytes& data) {
    Bytes out = Header(id, data.size());
    Append(out, data);
    if (data.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

Bytes ListBytes(const char* type, const std::vector<Bytes>& children) {
    Bytes out = Header("LIST", 0, type);
    for (const Bytes& c : children) {
        Append(out, c);
    }
    kmx::StoreU32(&out[4], static_cast<std::uint32_t>(out.size() - 8));
    return out;
}

std::string ChunkId(std::size_t stream, const TestStream& s) {
    return {static_cast<char>('0' + stream / 10 % 10), static_cast<char>('0' + stream % 10),
            s.video ? 'd' : 'w', s.video ? 'c' : 'b'};
}

struct Placed {
    std::uint32_t id;
    bool key;
    std::uint64_t pos; // of the data
    std::uint32_t size;
};

struct IxChunk {
    std::uint64_t pos = 0;
    std::uint32_t size = 0;
    std::uint32_t count = 0;
};

// The movi list of the samples [from, to), placed at listPos: the samples
// and, for OpenDML, a standard index per stream.
struct Movie {
    Bytes list;
    std::vector<Placed> placed;
    std::vector<IxChunk> ix;
};

Movie MakeMovie(const std::vector<TestStream>& streams, std::size_t from, std::size_t to,
                const BuildOptions& o, std::uint64_t listPos) {
    Movie m{Header("LIST", 0, "movi"), {}, {}};
    for (std::size_t k = from; k < to; ++k) {
        for (std::size_t s = 0; s < streams.size(); ++s) {
            const TestStream& stream = streams[s];
            if (k < stream.samples.size()) {
                m.placed.push_back({Fourcc(ChunkId(s, stream).c_str()),
                                    k >= stream.keys.size() || stream.keys[k],
                                    listPos + m.list.size() + 8,
                                    static_cast<std::uint32_t>(stream.samples[k].size())});
                Append(m.list, ChunkBytes(ChunkId(s, stream).c_str(), stream.samples[k]));
            }
        }
    }
    for (std::size_t s = 0; o.index == IndexKind::OpenDml && s < streams.size(); ++s) {
        const std::uint32_t id = Fourcc(ChunkId(s, streams[s]).c_str());
        Bytes entries;
        for (const Placed& p : m.placed) {
            if (p.id == id) {
                Put(entries, {p.pos - listPos, p.size | (p.key ? 0u : 0x80000000u)});
            }
        }
        Bytes body = {2, 0, 0, 1}; // two longs per entry, an index of chunks
        Put(body, {entries.size() / 8, id});
        Put(body, {listPos}, 8);
        Put(body, {0});
        Append(body, entries);
        const Bytes chunk = ChunkBytes(("ix" + ChunkId(s, streams[s]).substr(0, 2)).c_str(), body);
        m.ix.push_back({listPos + m.list.size(), static_cast<std::uint32_t>(chunk.size()),
                        static_cast<std::uint32_t>(entries.size() / 8)});
        Append(m.list, chunk);
    }
    kmx::StoreU32(&m.list[4], static_cast<std::uint32_t>(m.list.size() - 8));
    return m;
}

Bytes HeaderList(const std::vector<TestStream>& streams, const BuildOptions& o,
                 const std::vector<std::vector<IxChunk>>& ix) {
    std::size_t frames = 0;
    std::vector<Bytes> children(1);
    for (std::size_t s = 0; s < streams.size(); ++s) {
        const TestStream& stream = streams[s];
        frames = std::max(frames, stream.samples.size());
        std::uint64_t length = stream.samples.size();
        if (!stream.video && stream.sampleSize > 0) {
            length = 0;
            for (const Bytes& b : stream.samples) {
                length += b.size() / stream.sampleSize;
            }
        }
        Bytes strh; // flags, priority, language, initial frames, ..., rcFrame stay 0
        Put(strh, {Fourcc(stream.video ? "vids" : "auds"), 0, 0, 0, 0, stream.scale, stream.rate,
                   stream.start, length, 0, 0xFFFFFFFF, stream.sampleSize, 0, 0});
        std::vector<Bytes> parts = {ChunkBytes("strh", strh)};
        if (!stream.omitFormat) {
            parts.push_back(ChunkBytes("strf", stream.format));
        }
        if (o.index == IndexKind::OpenDml) {
            Bytes body = {4, 0, 0, 0}; // four longs per entry, an index of indexes
            Put(body, {ix[s].size(), Fourcc(ChunkId(s, stream).c_str()), 0, 0, 0});
            for (std::size_t i = 0; i < kSuperIndexSlots; ++i) {
                const IxChunk c = i < ix[s].size() ? ix[s][i] : IxChunk{};
                Put(body, {c.pos}, 8);
                Put(body, {c.size, c.count});
            }
            parts.push_back(ChunkBytes("indx", body));
        }
        children.push_back(ListBytes("strl", parts));
    }
    children[0].clear(); // the main header
    Put(children[0],
        {o.microSecPerFrame, 0, 0, 0x910, frames, 0, streams.size(), 0, 0, 0, 0, 0, 0, 0});
    children[0] = ChunkBytes("avih", children[0]);
    return ListBytes("hdrl", children);
}

// The standard output of a program, empty when it fails.
Bytes Output(const std::vector<std::string>& argv) {
    std::string out;
    return RunTool(argv, &out) == 0 ? Bytes(out.begin(), out.end()) : Bytes{};
}

} // namespace

std::uint32_t Fourcc(const char* text) {
    return MakeFourcc(text[0], text[1], text[2], text[3]);
}

Bytes BitmapFormat(std::int32_t width, std::int32_t height, int bitCount, std::uint32_t compression,
                   const Bytes& extra) {
    const std::int64_t rows = height < 0 ? -std::int64_t{height} : height;
    const std::int64_t image = (std::int64_t{width} * bitCount + 31) / 32 * 4 * rows;
    Bytes out;
    Put(out, {40, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)});
    Put(out, {1, static_cast<std::uint64_t>(bitCount)}, 2);
    Put(out, {compression, static_cast<std::uint32_t>(image), 0, 0, 0, 0});
    Append(out, extra);
    return out;
}

Bytes WaveFormat(int channels, std::uint32_t sampleRate) {
    const auto align = static_cast<std::uint64_t>(2 * channels);
    Bytes out;
    Put(out, {WAVE_FORMAT_PCM, align / 2}, 2);
    Put(out, {sampleRate, sampleRate * align});
    Put(out, {align, 16, 0}, 2);
    return out;
}

TestStream RawVideoStream(int width, int height, int frames) {
    TestStream s;
    s.format = BitmapFormat(width, height, 24);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    for (int k = 0; k < frames; ++k) {
        s.samples.emplace_back(stride * height, static_cast<std::uint8_t>(k * 7 + 1));
    }
    return s;
}

TestStream PcmAudioStream(const std::vector<int>& chunkSamples) {
    TestStream s;
    s.video = false;
    s.scale = 2;
    s.rate = 16000;
    s.sampleSize = 2;
    s.format = WaveFormat(1, 8000);
    std::uint64_t value = 0;
    for (const int n : chunkSamples) {
        Bytes chunk;
        for (int i = 0; i < n; ++i) {
            Put(chunk, {value++}, 2);
        }
        s.samples.push_back(chunk);
    }
    return s;
}

Bytes BuildAvi(const std::vector<TestStream>& streams, const BuildOptions& o) {
    std::size_t total = 0;
    for (const TestStream& s : streams) {
        total = std::max(total, s.samples.size());
    }
    const std::size_t split = o.extensionFrom > 0 ? std::min(o.extensionFrom, total) : total;
    // The header list has the same size whatever its super indexes say.
    std::vector<std::vector<IxChunk>> ix(streams.size());
    const std::uint64_t listPos = 12 + HeaderList(streams, o, ix).size();
    const Movie first = MakeMovie(streams, 0, split, o, listPos);
    Bytes idx1;
    const std::uint64_t base = o.index == IndexKind::Idx1Absolute ? 0 : listPos + 8;
    for (const Placed& p : first.placed) {
        Put(idx1, {p.id, p.key ? 0x10u : 0u, p.pos - 8 - base, p.size});
    }
    idx1 = o.index == IndexKind::None ? Bytes{} : ChunkBytes("idx1", idx1);
    const std::uint64_t riffEnd = listPos + first.list.size() + idx1.size();
    const Movie second = MakeMovie(streams, split, total, o, riffEnd + 12);
    for (std::size_t s = 0; s < first.ix.size(); ++s) {
        ix[s] = {first.ix[s], second.ix[s]};
        ix[s].resize(split < total ? 2 : 1);
    }
    Bytes file = Header("RIFF", riffEnd - 12, "AVI ");
    Append(file, HeaderList(streams, o, ix));
    Append(file, first.list);
    Append(file, idx1);
    if (split < total) {
        Append(file, Header("RIFF", second.list.size(), "AVIX"));
        Append(file, second.list);
    }
    return file;
}

std::string WriteAvi(const TempDir& dir, const std::string& name,
                     const std::vector<TestStream>& streams, const BuildOptions& options) {
    const std::string path = dir.File(name);
    WriteBytes(path, BuildAvi(streams, options));
    return path;
}

std::string WriteSample(const TempDir& dir, const std::string& name,
                        const kmx::SampleAviOptions& options) {
    std::string error;
    EXPECT_TRUE(kmx::WriteSampleAvi(dir.File(name), options, &error)) << name << ": " << error;
    return dir.File(name);
}

const std::uint8_t* DibPixels(const BITMAPINFOHEADER* dib) {
    return reinterpret_cast<const std::uint8_t*>(dib) + dib->biSize +
           (dib->biBitCount == 8 ? 1024 : 0);
}

std::size_t DibStride(const BITMAPINFOHEADER* dib) {
    return (static_cast<std::size_t>(dib->biWidth) * dib->biBitCount / 8 + 3) & ~std::size_t{3};
}

Bytes DibRowsTopDown(const BITMAPINFOHEADER* dib) {
    Bytes out;
    for (std::size_t y = static_cast<std::size_t>(dib->biHeight); y-- > 0;) {
        const std::uint8_t* row = DibPixels(dib) + y * DibStride(dib);
        out.insert(out.end(), row,
                   row + static_cast<std::size_t>(dib->biWidth) * dib->biBitCount / 8);
    }
    return out;
}

std::vector<Bytes> AllFrameRows(const std::string& path) {
    std::vector<Bytes> frames;
    CAviReader reader;
    EXPECT_TRUE(reader.Open(path.c_str()) && reader.StartVideoRetrieve(0)) << path;
    for (std::int32_t i = 0; i < reader.GetVideoLength(0); ++i) {
        frames.push_back(FrameRows(reader, i));
    }
    return frames;
}

Bytes WholeDib(const BITMAPINFOHEADER* dib) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(dib);
    return dib == nullptr ? Bytes{} : Bytes(bytes, bytes + dib->biSize + dib->biSizeImage);
}

int FrameMark(CAviReader& reader, std::int32_t frame, std::uint32_t stream) {
    static const BITMAPINFOHEADER kUntouched{};
    const BITMAPINFOHEADER* dib = &kUntouched;
    reader.GetVideoFrame(stream, frame, &dib);
    if (dib == &kUntouched) {
        ADD_FAILURE() << "GetVideoFrame left its result unset";
    }
    return dib == nullptr || dib == &kUntouched ? -1 : DibPixels(dib)[0];
}

std::vector<int> PatternNumbers(const std::string& path, int width, int height) {
    CAviReader reader;
    std::vector<int> numbers;
    EXPECT_TRUE(reader.Open(path.c_str()));
    const bool started = reader.StartVideoRetrieve(0);
    for (std::int32_t n = 0; started && n < reader.GetVideoLength(0); ++n) {
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, n, &dib);
        numbers.push_back(dib == nullptr ? -1
                                         : kmx::ReadTestPatternNumber(
                                               DibPixels(dib), width ? width : dib->biWidth,
                                               height ? height : dib->biHeight, dib->biBitCount));
    }
    return numbers;
}

Bytes ReadAllAudio(CAviReader& reader, std::int32_t pieceSamples) {
    Bytes all;
    Bytes buffer(1 << 20);
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    for (std::int32_t first = 0; first < reader.GetAudioLength(0); first += samples) {
        const std::int32_t result =
            reader.ReadAudio(0, first, pieceSamples, buffer.data(), 1 << 20, &bytes, &samples);
        if (result != 0 || samples <= 0) {
            ADD_FAILURE() << "audio sample " << first << " is counted but cannot be read";
            break;
        }
        all.insert(all.end(), buffer.begin(), buffer.begin() + bytes);
    }
    return all;
}

Contents Gather(CAviReader& reader, bool opened) {
    Contents c;
    c.opened = opened;
    const std::uint32_t videos = reader.GetVideoStreamCount();
    EXPECT_TRUE(opened || videos + reader.GetAudioStreamCount() == 0);
    for (std::uint32_t i = 0; i < videos + reader.GetAudioStreamCount(); ++i) {
        AVISTREAMINFOA info{};
        const bool video = i < videos;
        EXPECT_TRUE(video ? reader.GetVideoStreamInfo(i, &info, sizeof info)
                          : reader.GetAudioStreamInfo(i - videos, &info, sizeof info));
        EXPECT_EQ(info.dwLength,
                  static_cast<std::uint32_t>(video ? reader.GetVideoLength(i)
                                                   : reader.GetAudioLength(i - videos)));
        EXPECT_TRUE(info.dwScale != 0 && info.dwRate != 0);
        c.lengths.push_back(info.dwLength);
        c.rates.push_back(info.dwRate);
    }
    if (reader.StartVideoRetrieve(0)) {
        reader.VideoTimeToFrame(0, 1000);
        for (std::int32_t n = 0; n < std::min(reader.GetVideoLength(0), 50); ++n) {
            const BITMAPINFOHEADER* dib = nullptr;
            reader.GetVideoFrame(0, n, &dib);
            c.frames.push_back(WholeDib(dib));
        }
    }
    std::int32_t size = 0;
    const std::uint8_t* format = reader.GetAudioFormat(0, &size);
    c.audioFormat = format == nullptr ? Bytes{} : Bytes(format, format + size);
    c.audio = ReadAllAudio(reader, 7);
    return c;
}

std::vector<std::uint32_t> MoviChunkSizes(const std::string& path, const char* id) {
    RiffFile file;
    std::string problem;
    std::vector<std::uint32_t> sizes;
    EXPECT_TRUE(file.Load(path, &problem)) << problem;
    const Chunk* movi =
        file.Riffs().empty() ? nullptr : file.Riffs()[0].Child(kList, Fourcc("movi"));
    for (std::size_t i = 0; movi != nullptr && i < movi->children.size(); ++i) {
        if (movi->children[i].id == Fourcc(id)) {
            sizes.push_back(movi->children[i].size);
        }
    }
    return sizes;
}

bool LoadIndexes(const std::string& path, std::vector<kmx::AviStreamIndex>& out,
                 kmx::AviIndexSource* source, const std::vector<int>& streams) {
    kmx::CFileSource file;
    kmx::AviLayout layout;
    return file.Open(path.c_str()) && kmx::ParseAviLayout(file, layout) &&
           kmx::BuildAviIndexes(file, layout, streams, out, source);
}

AVISTREAMINFOA VideoHeader(int width, int height, std::uint32_t rate, std::uint32_t scale,
                           std::uint32_t handler) {
    AVISTREAMINFOA h{};
    h.fccType = Fourcc("vids");
    h.fccHandler = handler;
    h.dwScale = scale;
    h.dwRate = rate;
    h.rcFrame = {0, 0, width, height};
    return h;
}

AVISTREAMINFOA AudioHeader(std::uint32_t sampleRate, int channels) {
    AVISTREAMINFOA h{};
    h.fccType = Fourcc("auds");
    h.dwScale = h.dwSampleSize = static_cast<std::uint32_t>(2 * channels); // bytes per sample
    h.dwRate = sampleRate * h.dwScale;
    return h;
}

const Chunk* Chunk::Child(std::uint32_t childId, std::uint32_t childListType) const {
    for (const Chunk& c : children) {
        if (c.id == childId && (childListType == 0 || c.listType == childListType)) {
            return &c;
        }
    }
    return nullptr;
}

Bytes RiffFile::Read(std::uint64_t offset, std::size_t size) const {
    Bytes out(size);
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size));
    out.resize(static_cast<std::size_t>(in.gcount()));
    return out;
}

Bytes RiffFile::Data(const Chunk& c) const {
    return Read(c.offset + 8 + (c.IsList() ? 4 : 0), c.size - (c.IsList() ? 4 : 0));
}

bool RiffFile::Parse(std::uint64_t begin, std::uint64_t end, std::vector<Chunk>* out, int depth,
                     std::string* problem) {
    for (std::uint64_t pos = begin; pos < end;) {
        const Bytes head = Read(pos, 12);
        Chunk c;
        c.offset = pos;
        c.id = head.size() >= 8 ? LoadU32(head.data()) : 0;
        c.size = head.size() >= 8 ? LoadU32(head.data() + 4) : 0;
        const bool list = c.id == kRiff || c.id == kList;
        if (head.size() < (list ? 12u : 8u) || c.End() > end || (list && c.size < 4) || depth > 8 ||
            (depth == 0 && c.id != kRiff)) {
            *problem = "a chunk at " + std::to_string(pos) + " is cut off or out of place";
            return false;
        }
        c.listType = list ? LoadU32(head.data() + 8) : 0;
        if (list && !Parse(pos + 12, pos + 8 + c.size, &c.children, depth + 1, problem)) {
            return false;
        }
        pos = c.End();
        out->push_back(std::move(c));
    }
    return true;
}

bool RiffFile::Load(const std::string& path, std::string* problem) {
    path_ = path;
    riffs_.clear();
    std::error_code ec;
    fileSize_ = std::filesystem::file_size(path, ec);
    *problem = "no file or an empty one";
    return !ec && fileSize_ > 0 && Parse(0, fileSize_, &riffs_, 0, problem);
}

bool Ffmpeg(const std::vector<std::string>& args, std::string* errors) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv, nullptr, errors) == 0;
}

std::map<std::string, std::string> ProbeStreams(const std::string& path, std::string* errors) {
    std::map<std::string, std::string> out;
    std::string text;
    if (RunTool({"ffprobe", "-v", "error", "-count_frames", "-show_streams", "-show_entries",
                 "packet=stream_index,pts,flags", "-of", "flat", path},
                &text, errors) != 0) {
        return out;
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t eq = line.find('=');
        const std::size_t from = line.rfind("streams.", 0) == 0 ? 8 : 0;
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        out[line.substr(from, eq - from)] = value;
    }
    return out;
}

Bytes FfmpegVideo(const std::string& path, const std::string& pixelFormat) {
    return Output({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-fps_mode",
                   "passthrough", "-pix_fmt", pixelFormat, "-f", "rawvideo", "-"});
}

Bytes FfmpegAudio(const std::string& path) {
    return Output(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "s16le", "-"});
}

double Psnr(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size() || a.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += (static_cast<double>(a[i]) - b[i]) * (static_cast<double>(a[i]) - b[i]);
    }
    return sum == 0.0 ? 1000.0 : 10.0 * std::log10(255.0 * 255.0 * a.size() / sum);
}

Bytes TopDownToDib(const std::uint8_t* topDown, int width, int height, int bitsPerPixel) {
    const std::size_t row = static_cast<std::size_t>(width) * (bitsPerPixel / 8);
    const std::size_t stride = (row + 3) & ~std::size_t{3};
    Bytes dib(stride * static_cast<std::size_t>(height), 0);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        std::memcpy(&dib[(height - 1 - y) * stride], topDown + y * row, row);
    }
    return dib;
}

} // namespace avitest

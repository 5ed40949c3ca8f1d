#include "tests/media/AviWriterTestSupport.h"

#include "tests/support/ExternalTools.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace avitest {

using kmx::LoadU16;
using kmx::LoadU32;
using kmx::LoadU64;

namespace {

constexpr std::uint32_t kRiff = MakeFourcc('R', 'I', 'F', 'F');
constexpr std::uint32_t kList = MakeFourcc('L', 'I', 'S', 'T');
constexpr std::uint32_t kHdrl = MakeFourcc('h', 'd', 'r', 'l');
constexpr std::uint32_t kStrl = MakeFourcc('s', 't', 'r', 'l');

} // namespace

AVISTREAMINFOA VideoHeader(int width, int height, std::uint32_t rate, std::uint32_t scale,
                           std::uint32_t handler) {
    AVISTREAMINFOA h{};
    h.fccType = MakeFourcc('v', 'i', 'd', 's');
    h.fccHandler = handler;
    h.dwScale = scale;
    h.dwRate = rate;
    h.dwSuggestedBufferSize = 0;
    h.dwQuality = 0xFFFFFFFFu;
    h.rcFrame = {0, 0, width, height};
    return h;
}

AVISTREAMINFOA AudioHeader(std::uint32_t sampleRate, int channels) {
    AVISTREAMINFOA h{};
    h.fccType = MakeFourcc('a', 'u', 'd', 's');
    h.dwScale = static_cast<std::uint32_t>(2 * channels);
    h.dwRate = sampleRate * static_cast<std::uint32_t>(2 * channels);
    h.dwQuality = 0xFFFFFFFFu;
    h.dwSampleSize = static_cast<std::uint32_t>(2 * channels);
    return h;
}

std::vector<std::uint8_t> VideoFormat(int width, int height, int bitsPerPixel,
                                      std::uint32_t compression) {
    BITMAPINFOHEADER b{};
    b.biSize = 40;
    b.biWidth = width;
    b.biHeight = height;
    b.biPlanes = 1;
    b.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
    b.biCompression = compression;
    b.biSizeImage = static_cast<std::uint32_t>(((width * bitsPerPixel + 31) / 32) * 4 * height);
    std::vector<std::uint8_t> out(kmx::kBitmapInfoHeaderSize);
    kmx::StoreRecord(out.data(), b);
    return out;
}

std::vector<std::uint8_t> AudioFormat(std::uint32_t sampleRate, int channels) {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = static_cast<std::uint16_t>(channels);
    w.nSamplesPerSec = sampleRate;
    w.nBlockAlign = static_cast<std::uint16_t>(2 * channels);
    w.nAvgBytesPerSec = sampleRate * w.nBlockAlign;
    w.wBitsPerSample = 16;
    std::vector<std::uint8_t> out(kmx::kWaveFormatExSize);
    kmx::StoreRecord(out.data(), w);
    return out;
}

const Chunk* Chunk::Child(std::uint32_t childId, std::uint32_t childListType) const {
    for (const Chunk& c : children) {
        if (c.id == childId && (childListType == 0 || c.listType == childListType)) {
            return &c;
        }
    }
    return nullptr;
}

std::vector<const Chunk*> Chunk::ChildrenWithId(std::uint32_t childId) const {
    std::vector<const Chunk*> out;
    for (const Chunk& c : children) {
        if (c.id == childId) {
            out.push_back(&c);
        }
    }
    return out;
}

std::vector<std::uint8_t> RiffFile::Read(std::uint64_t offset, std::size_t size) const {
    std::vector<std::uint8_t> out(size);
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size));
    out.resize(static_cast<std::size_t>(in.gcount()));
    return out;
}

std::vector<std::uint8_t> RiffFile::Data(const Chunk& c) const {
    return Read(c.offset + 8 + (c.IsList() ? 4 : 0), c.size - (c.IsList() ? 4 : 0));
}

bool RiffFile::Parse(std::uint64_t begin, std::uint64_t end, std::vector<Chunk>* out, int depth,
                     std::string* problem) {
    std::uint64_t pos = begin;
    while (pos < end) {
        if (end - pos < 8) {
            *problem = "stray bytes at " + std::to_string(pos);
            return false;
        }
        const std::vector<std::uint8_t> head = Read(pos, 12);
        if (head.size() < 8) {
            *problem = "truncated chunk header at " + std::to_string(pos);
            return false;
        }
        Chunk c;
        c.id = LoadU32(head.data());
        c.size = LoadU32(head.data() + 4);
        c.offset = pos;
        if (c.End() > end) {
            *problem = FourccText(c.id) + " at " + std::to_string(pos) + " passes its parent";
            return false;
        }
        if (c.id == kRiff || c.id == kList) {
            if (c.size < 4 || head.size() < 12) {
                *problem = "list without type at " + std::to_string(pos);
                return false;
            }
            c.listType = LoadU32(head.data() + 8);
            if (depth > 8 || !Parse(pos + 12, pos + 8 + c.size, &c.children, depth + 1, problem)) {
                return false;
            }
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
    if (ec) {
        *problem = "cannot read the file size";
        return false;
    }
    if (!Parse(0, fileSize_, &riffs_, 0, problem)) {
        return false;
    }
    for (const Chunk& c : riffs_) {
        if (c.id != kRiff) {
            *problem = "top-level chunk " + FourccText(c.id) + " is not a RIFF";
            return false;
        }
    }
    if (riffs_.empty()) {
        *problem = "empty file";
        return false;
    }
    return true;
}

const Chunk* RiffFile::HeaderChunk(std::uint32_t id) const {
    const Chunk* hdrl = riffs_.empty() ? nullptr : riffs_[0].Child(kList, kHdrl);
    return hdrl == nullptr ? nullptr : hdrl->Child(id);
}

const Chunk* RiffFile::StreamChunk(int stream, std::uint32_t id) const {
    const Chunk* hdrl = riffs_.empty() ? nullptr : riffs_[0].Child(kList, kHdrl);
    if (hdrl == nullptr) {
        return nullptr;
    }
    int n = 0;
    for (const Chunk& c : hdrl->children) {
        if (c.id == kList && c.listType == kStrl) {
            if (n++ == stream) {
                return c.Child(id);
            }
        }
    }
    return nullptr;
}

MainHeader ParseAvih(const std::vector<std::uint8_t>& d) {
    MainHeader h;
    if (d.size() < 40) {
        return h;
    }
    h.microSecPerFrame = LoadU32(d.data());
    h.maxBytesPerSec = LoadU32(d.data() + 4);
    h.flags = LoadU32(d.data() + 12);
    h.totalFrames = LoadU32(d.data() + 16);
    h.streams = LoadU32(d.data() + 24);
    h.suggestedBufferSize = LoadU32(d.data() + 28);
    h.width = LoadU32(d.data() + 32);
    h.height = LoadU32(d.data() + 36);
    return h;
}

AVISTREAMINFOA ParseStrh(const std::vector<std::uint8_t>& d) {
    AVISTREAMINFOA s{};
    if (d.size() < 56) {
        return s;
    }
    const std::uint8_t* p = d.data();
    s.fccType = LoadU32(p);
    s.fccHandler = LoadU32(p + 4);
    s.dwFlags = LoadU32(p + 8);
    s.wPriority = LoadU16(p + 12);
    s.wLanguage = LoadU16(p + 14);
    s.dwInitialFrames = LoadU32(p + 16);
    s.dwScale = LoadU32(p + 20);
    s.dwRate = LoadU32(p + 24);
    s.dwStart = LoadU32(p + 28);
    s.dwLength = LoadU32(p + 32);
    s.dwSuggestedBufferSize = LoadU32(p + 36);
    s.dwQuality = LoadU32(p + 40);
    s.dwSampleSize = LoadU32(p + 44);
    s.rcFrame.left = kmx::LoadI16(p + 48);
    s.rcFrame.top = kmx::LoadI16(p + 50);
    s.rcFrame.right = kmx::LoadI16(p + 52);
    s.rcFrame.bottom = kmx::LoadI16(p + 54);
    return s;
}

std::vector<Idx1Entry> ParseIdx1(const std::vector<std::uint8_t>& d) {
    std::vector<Idx1Entry> out;
    for (std::size_t at = 0; at + 16 <= d.size(); at += 16) {
        out.push_back({LoadU32(d.data() + at), LoadU32(d.data() + at + 4),
                       LoadU32(d.data() + at + 8), LoadU32(d.data() + at + 12)});
    }
    return out;
}

OdmlIndex ParseOdmlIndex(const std::vector<std::uint8_t>& d) {
    OdmlIndex x;
    if (d.size() < 24) {
        return x;
    }
    x.longsPerEntry = LoadU16(d.data());
    x.subType = d[2];
    x.type = d[3];
    x.entriesInUse = LoadU32(d.data() + 4);
    x.chunkId = LoadU32(d.data() + 8);
    x.baseOffset = LoadU64(d.data() + 12);
    const std::size_t entrySize = x.type == 0 ? 16 : 8;
    for (std::size_t i = 0; i < x.entriesInUse; ++i) {
        const std::size_t at = 24 + i * entrySize;
        if (at + entrySize > d.size()) {
            break;
        }
        OdmlIndex::Entry e;
        if (x.type == 0) {
            e.offset = LoadU64(d.data() + at);
            e.size = LoadU32(d.data() + at + 8);
            e.duration = LoadU32(d.data() + at + 12);
        } else {
            e.offset = LoadU32(d.data() + at);
            e.size = LoadU32(d.data() + at + 4);
        }
        x.entries.push_back(e);
    }
    return x;
}

std::string FourccText(std::uint32_t fourcc) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((fourcc >> (8 * i)) & 0xFF);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

std::map<std::string, std::string> ProbeStreams(const std::string& path, std::string* errors) {
    std::map<std::string, std::string> out;
    std::string text;
    if (RunTool({"ffprobe", "-v", "error", "-count_frames", "-show_streams", "-of", "flat", path},
                &text, errors) != 0) {
        return out;
    }
    std::istringstream lines(text);
    std::string line;
    const std::string prefix = "streams.";
    while (std::getline(lines, line)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || line.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        out[line.substr(prefix.size(), eq - prefix.size())] = value;
    }
    return out;
}

bool DecodeVideo(const std::string& path, std::vector<std::uint8_t>* raw,
                 const std::vector<std::string>& extraOutputOptions) {
    std::vector<std::string> argv = {"ffmpeg", "-v",   "error", "-nostdin",  "-i",
                                     path,     "-map", "0:v:0", "-fps_mode", "passthrough"};
    argv.insert(argv.end(), extraOutputOptions.begin(), extraOutputOptions.end());
    argv.insert(argv.end(), {"-f", "rawvideo", "-"});
    std::string out;
    if (RunTool(argv, &out) != 0) {
        return false;
    }
    raw->assign(out.begin(), out.end());
    return true;
}

bool DecodeAudio(const std::string& path, std::vector<std::int16_t>* samples) {
    std::string out;
    if (RunTool(
            {"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-map", "0:a:0", "-f", "s16le", "-"},
            &out) != 0) {
        return false;
    }
    samples->resize(out.size() / 2);
    for (std::size_t i = 0; i < samples->size(); ++i) {
        (*samples)[i] = kmx::LoadI16(reinterpret_cast<const std::uint8_t*>(out.data()) + 2 * i);
    }
    return true;
}

std::vector<std::uint8_t> TopDownToDib(const std::uint8_t* topDown, int width, int height,
                                       int bitsPerPixel) {
    const std::size_t row = static_cast<std::size_t>(width) * (bitsPerPixel / 8);
    const std::size_t stride = ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4;
    std::vector<std::uint8_t> dib(stride * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        std::memcpy(dib.data() + static_cast<std::size_t>(height - 1 - y) * stride,
                    topDown + static_cast<std::size_t>(y) * row, row);
    }
    return dib;
}

std::vector<std::uint8_t> DibToTopDown(const std::uint8_t* dib, int width, int height,
                                       int bitsPerPixel) {
    const std::size_t row = static_cast<std::size_t>(width) * (bitsPerPixel / 8);
    const std::size_t stride = ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4;
    std::vector<std::uint8_t> out(row * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        std::memcpy(out.data() + static_cast<std::size_t>(y) * row,
                    dib + static_cast<std::size_t>(height - 1 - y) * stride, row);
    }
    return out;
}

} // namespace avitest

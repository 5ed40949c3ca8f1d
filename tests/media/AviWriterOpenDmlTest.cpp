// OpenDML: the index builders, files split into several RIFFs (with a small
// RIFF limit so the files stay small), the super index capacity, and the
// 64-bit offsets of outputs past 4 GiB, laid out over a sink that keeps
// only the structure and never stores the sample data.
#include "media/AviIndexWriter.h"
#include "media/FileSink.h"
#include "media/RiffAviWriter.h"
#include "media/TestPattern.h"

#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace avitest;

namespace {

const std::uint32_t kRiff = MakeFourcc('R', 'I', 'F', 'F');
const std::uint32_t kList = MakeFourcc('L', 'I', 'S', 'T');
const std::uint32_t kJunk = MakeFourcc('J', 'U', 'N', 'K');
const std::uint32_t kAvi = MakeFourcc('A', 'V', 'I', ' ');
const std::uint32_t kAvix = MakeFourcc('A', 'V', 'I', 'X');
const std::uint32_t kIdx1 = MakeFourcc('i', 'd', 'x', '1');
const std::uint32_t kIndx = MakeFourcc('i', 'n', 'd', 'x');
const std::uint32_t kOdml = MakeFourcc('o', 'd', 'm', 'l');
const std::uint32_t kDmlh = MakeFourcc('d', 'm', 'l', 'h');
const std::uint32_t kHdrl = MakeFourcc('h', 'd', 'r', 'l');
const std::uint32_t kAvih = MakeFourcc('a', 'v', 'i', 'h');
const std::uint32_t kStrh = MakeFourcc('s', 't', 'r', 'h');
const std::uint32_t kMovi = MakeFourcc('m', 'o', 'v', 'i');
const std::uint32_t k00db = MakeFourcc('0', '0', 'd', 'b');
const std::uint32_t k01wb = MakeFourcc('0', '1', 'w', 'b');
const std::uint32_t kIx00 = MakeFourcc('i', 'x', '0', '0');
const std::uint32_t kIx01 = MakeFourcc('i', 'x', '0', '1');

std::vector<std::uint8_t> Bytes(const kmx::RiffByteWriter& w) {
    return std::vector<std::uint8_t>(w.Data(), w.Data() + w.Size());
}

// ---- index builders ---------------------------------------------------------

TEST(AviIndexWriter, Idx1MergesStreamsInFileOrderRelativeToMovi) {
    const std::vector<kmx::AviIndexEntry> video = {{1004, 10, 1, true}, {1100, 0, 1, false}};
    const std::vector<kmx::AviIndexEntry> audio = {{1030, 7, 7, true}, {1200, 4, 4, true}};
    const std::vector<kmx::AviIndexStream> streams = {{k00db, video}, {k01wb, audio}};
    kmx::RiffByteWriter out;
    ASSERT_TRUE(kmx::AppendIdx1Chunk(out, streams, 1000));
    const auto bytes = Bytes(out);
    ASSERT_EQ(bytes.size(), 8u + 4 * 16);
    EXPECT_EQ(kmx::LoadU32(bytes.data()), kIdx1);
    EXPECT_EQ(kmx::LoadU32(bytes.data() + 4), 64u);
    const auto entries = ParseIdx1(std::vector<std::uint8_t>(bytes.begin() + 8, bytes.end()));
    const std::vector<std::uint32_t> ids = {k00db, k01wb, k00db, k01wb};
    const std::vector<std::uint32_t> offsets = {4, 30, 100, 200};
    const std::vector<std::uint32_t> flags = {0x10, 0x10, 0, 0x10};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(entries[i].id, ids[i]);
        EXPECT_EQ(entries[i].offset, offsets[i]);
        EXPECT_EQ(entries[i].flags, flags[i]);
    }
    EXPECT_EQ(entries[1].size, 7u);
}

TEST(AviIndexWriter, Idx1RefusesOffsetsItCannotExpress) {
    kmx::RiffByteWriter out;
    const std::vector<kmx::AviIndexEntry> before = {{999, 1, 1, true}};
    EXPECT_FALSE(
        kmx::AppendIdx1Chunk(out, std::vector<kmx::AviIndexStream>{{k00db, before}}, 1000));
    const std::vector<kmx::AviIndexEntry> far = {{1000 + (std::uint64_t{1} << 32), 1, 1, true}};
    EXPECT_FALSE(kmx::AppendIdx1Chunk(out, std::vector<kmx::AviIndexStream>{{k00db, far}}, 1000));
    EXPECT_EQ(out.Size(), 0u); // nothing half-written
}

TEST(AviIndexWriter, StandardIndexUsesA64BitBaseAndMarksDeltaFrames) {
    const std::uint64_t base = (std::uint64_t{5} << 30) + 12; // past 4 GiB
    const std::vector<kmx::AviIndexEntry> entries = {
        {base + 4, 100, 1, true}, {base + 112, 51, 1, false}, {base + 0xFFFFFF00u, 0, 1, false}};
    kmx::RiffByteWriter out;
    ASSERT_TRUE(kmx::AppendStandardIndexChunk(out, kIx00, k00db, entries, base));
    const auto bytes = Bytes(out);
    EXPECT_EQ(kmx::LoadU32(bytes.data()), kIx00);
    EXPECT_EQ(bytes.size(), kmx::StandardIndexChunkSize(3));
    const OdmlIndex ix = ParseOdmlIndex(std::vector<std::uint8_t>(bytes.begin() + 8, bytes.end()));
    EXPECT_EQ(ix.longsPerEntry, 2);
    EXPECT_EQ(ix.type, 1);
    EXPECT_EQ(ix.chunkId, k00db);
    EXPECT_EQ(ix.baseOffset, base);
    ASSERT_EQ(ix.entries.size(), 3u);
    EXPECT_EQ(ix.entries[0].offset, 12u); // the data, after the chunk header
    EXPECT_EQ(ix.entries[0].size, 100u);
    EXPECT_EQ(ix.entries[1].offset, 120u);
    EXPECT_EQ(ix.entries[1].size, 51u | 0x80000000u);
    EXPECT_EQ(ix.entries[2].offset, 0xFFFFFF08u);
}

TEST(AviIndexWriter, StandardIndexRefusesEntriesOutOfReach) {
    const std::uint64_t base = std::uint64_t{6} << 30;
    kmx::RiffByteWriter out;
    const std::vector<kmx::AviIndexEntry> before = {{base - 100, 1, 1, true}};
    EXPECT_FALSE(kmx::AppendStandardIndexChunk(out, kIx00, k00db, before, base));
    const std::vector<kmx::AviIndexEntry> far = {{base + (std::uint64_t{1} << 32), 1, 1, true}};
    EXPECT_FALSE(kmx::AppendStandardIndexChunk(out, kIx00, k00db, far, base));
    const std::vector<kmx::AviIndexEntry> huge = {{base, 0x80000000u, 1, true}};
    EXPECT_FALSE(kmx::AppendStandardIndexChunk(out, kIx00, k00db, huge, base));
    EXPECT_EQ(out.Size(), 0u);
}

TEST(AviIndexWriter, SuperIndexAndItsPlaceholderHaveTheSameSize) {
    const std::vector<kmx::AviSuperIndexEntry> entries = {{std::uint64_t{9} << 30, 4000, 250},
                                                          {(std::uint64_t{10} << 30) + 2, 48, 3}};
    kmx::RiffByteWriter junk;
    kmx::RiffByteWriter indx;
    ASSERT_TRUE(kmx::AppendSuperIndexChunk(junk, k00db, {}, 256, true));
    ASSERT_TRUE(kmx::AppendSuperIndexChunk(indx, k00db, entries, 256, false));
    EXPECT_EQ(junk.Size(), kmx::SuperIndexChunkSize(256));
    EXPECT_EQ(indx.Size(), junk.Size());
    EXPECT_EQ(kmx::LoadU32(junk.Data()), kJunk);
    EXPECT_EQ(kmx::LoadU32(indx.Data()), kIndx);
    const auto b = Bytes(indx);
    const OdmlIndex x = ParseOdmlIndex(std::vector<std::uint8_t>(b.begin() + 8, b.end()));
    EXPECT_EQ(x.longsPerEntry, 4);
    EXPECT_EQ(x.type, 0);
    ASSERT_EQ(x.entries.size(), 2u);
    EXPECT_EQ(x.entries[1].offset, (std::uint64_t{10} << 30) + 2);
    EXPECT_EQ(x.entries[1].size, 48u);
    EXPECT_EQ(x.entries[1].duration, 3u);
    kmx::RiffByteWriter tooMany;
    EXPECT_FALSE(kmx::AppendSuperIndexChunk(tooMany, k00db, entries, 1, false));
}

// ---- several RIFFs in a real file -------------------------------------------------

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr std::uint32_t kFrameBytes = kWidth * kHeight * 3;

kmx::AviStreamSetup VideoSetup() {
    kmx::AviStreamSetup s;
    s.header = VideoHeader(kWidth, kHeight);
    s.format = VideoFormat(kWidth, kHeight, 24);
    s.video = true;
    return s;
}

kmx::AviStreamSetup AudioSetup() {
    kmx::AviStreamSetup s;
    s.header = AudioHeader(8000, 1);
    s.format = AudioFormat(8000, 1);
    return s;
}

// 25 frames per second with 320 mono samples each.
void WritePatternFile(kmx::RiffAviWriter& layout, int frames) {
    std::vector<std::uint8_t> frame(kFrameBytes);
    std::vector<std::uint8_t> sound(640);
    for (int k = 0; k < frames; ++k) {
        kmx::FillTestPatternFrame(frame.data(), kWidth, kHeight, 24, k);
        ASSERT_TRUE(layout.WriteChunk(0, frame.data(), kFrameBytes, true, 1));
        for (int i = 0; i < 320; ++i) {
            kmx::StoreI16(sound.data() + 2 * i, kmx::TestAudioValue(k * 320 + i, 0));
        }
        ASSERT_TRUE(layout.WriteChunk(1, sound.data(), 640, true, 320));
    }
}

TEST(AviWriterOpenDml, SplitsIntoRiffsWithStandardAndSuperIndexes) {
    TempDir dir;
    const std::string path = dir.File("odml.avi");
    constexpr std::uint64_t kLimit = 100000;
    constexpr int kFrames = 60;
    {
        kmx::FileSink sink;
        ASSERT_TRUE(sink.Open(path.c_str()));
        kmx::RiffAviWriter layout(sink, kLimit);
        ASSERT_TRUE(layout.Begin({VideoSetup(), AudioSetup()}));
        WritePatternFile(layout, kFrames);
        EXPECT_GT(layout.RiffCount(), 4u);
        ASSERT_TRUE(layout.Finish());
        ASSERT_TRUE(sink.Close());
    }

    RiffFile f;
    std::string problem;
    ASSERT_TRUE(f.Load(path, &problem)) << problem;
    const auto& riffs = f.Riffs();
    ASSERT_GT(riffs.size(), 4u);
    std::vector<std::uint64_t> videoChunks; // positions of all 00db chunk headers
    std::vector<std::uint64_t> audioChunks;
    for (std::size_t r = 0; r < riffs.size(); ++r) {
        EXPECT_EQ(riffs[r].id, kRiff);
        EXPECT_EQ(riffs[r].listType, r == 0 ? kAvi : kAvix);
        EXPECT_LE(riffs[r].size, kLimit) << "RIFF " << r;
        EXPECT_EQ(riffs[r].Child(kIdx1) != nullptr, r == 0) << "idx1 only in the first RIFF";
        const Chunk* movi = riffs[r].Child(kList, kMovi);
        ASSERT_NE(movi, nullptr);
        // Sample chunks, then the standard indexes closing the list.
        const auto& cs = movi->children;
        ASSERT_GE(cs.size(), 4u);
        EXPECT_EQ(cs[cs.size() - 2].id, kIx00);
        EXPECT_EQ(cs[cs.size() - 1].id, kIx01);
        for (std::size_t i = 0; i + 2 < cs.size(); ++i) {
            (cs[i].id == k00db ? videoChunks : audioChunks).push_back(cs[i].offset);
        }
    }
    ASSERT_EQ(videoChunks.size(), static_cast<std::size_t>(kFrames));
    ASSERT_EQ(audioChunks.size(), static_cast<std::size_t>(kFrames));

    // The super index of each stream lists one standard index per RIFF,
    // and those point at every chunk in order.
    for (int s = 0; s < 2; ++s) {
        const Chunk* indxChunk = f.StreamChunk(s, kIndx);
        ASSERT_NE(indxChunk, nullptr);
        const OdmlIndex indx = ParseOdmlIndex(f.Data(*indxChunk));
        EXPECT_EQ(indx.chunkId, s == 0 ? k00db : k01wb);
        ASSERT_EQ(indx.entries.size(), riffs.size());
        const std::vector<std::uint64_t>& expected = s == 0 ? videoChunks : audioChunks;
        std::size_t next = 0;
        std::uint64_t duration = 0;
        for (std::size_t r = 0; r < indx.entries.size(); ++r) {
            const auto& e = indx.entries[r];
            const auto head = f.Read(e.offset, 8);
            ASSERT_EQ(kmx::LoadU32(head.data()), s == 0 ? kIx00 : kIx01);
            EXPECT_EQ(e.size, kmx::LoadU32(head.data() + 4) + 8);
            const OdmlIndex ix = ParseOdmlIndex(f.Read(e.offset + 8, e.size - 8));
            EXPECT_EQ(ix.baseOffset, riffs[r].Child(kList, kMovi)->offset + 8);
            for (const auto& entry : ix.entries) {
                ASSERT_LT(next, expected.size());
                EXPECT_EQ(ix.baseOffset + entry.offset - 8, expected[next]);
                EXPECT_EQ(entry.size, s == 0 ? kFrameBytes : 640u); // key frames: no delta bit
                ++next;
            }
            duration += e.duration;
        }
        EXPECT_EQ(next, expected.size());
        EXPECT_EQ(duration, s == 0 ? std::uint64_t{kFrames} : std::uint64_t{kFrames} * 320);
    }

    // Header: lengths over all RIFFs, the first RIFF's frames in avih, the
    // total in dmlh.
    EXPECT_EQ(ParseStrh(f.Data(*f.StreamChunk(0, kStrh))).dwLength,
              static_cast<std::uint32_t>(kFrames));
    EXPECT_EQ(ParseStrh(f.Data(*f.StreamChunk(1, kStrh))).dwLength, kFrames * 320u);
    const auto idx1 = ParseIdx1(f.Data(*riffs[0].Child(kIdx1)));
    std::uint32_t firstRiffFrames = 0;
    for (const auto& e : idx1) {
        firstRiffFrames += e.id == k00db ? 1 : 0;
    }
    EXPECT_EQ(ParseAvih(f.Data(*f.HeaderChunk(kAvih))).totalFrames, firstRiffFrames);
    const Chunk* hdrl = riffs[0].Child(kList, kHdrl);
    const Chunk* odml = hdrl->Child(kList, kOdml);
    ASSERT_NE(odml, nullptr);
    EXPECT_EQ(kmx::LoadU32(f.Data(*odml->Child(kDmlh)).data()),
              static_cast<std::uint32_t>(kFrames));

    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) {
        GTEST_SKIP() << "ffprobe/ffmpeg are not installed; the structure was checked";
    }
    std::string errors;
    auto p = ProbeStreams(path, &errors);
    EXPECT_EQ(p["stream.0.nb_read_frames"], std::to_string(kFrames)) << errors;
    EXPECT_EQ(p["stream.1.nb_frames"], std::to_string(kFrames * 320));
    std::vector<std::uint8_t> raw;
    ASSERT_TRUE(DecodeVideo(path, &raw));
    ASSERT_EQ(raw.size(), std::size_t{kFrames} * kFrameBytes);
    for (int k = 0; k < kFrames; ++k) {
        const auto dib =
            TopDownToDib(raw.data() + std::size_t(k) * kFrameBytes, kWidth, kHeight, 24);
        EXPECT_EQ(kmx::ReadTestPatternNumber(dib.data(), kWidth, kHeight, 24), k);
    }
    std::vector<std::int16_t> samples;
    ASSERT_TRUE(DecodeAudio(path, &samples));
    ASSERT_EQ(samples.size(), std::size_t{kFrames} * 320);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(samples[i], kmx::TestAudioValue(static_cast<std::int64_t>(i), 0)) << i;
    }
}

TEST(AviWriterOpenDml, SingleRiffKeepsTheReservedSpaceAsJunk) {
    TempDir dir;
    const std::string path = dir.File("one.avi");
    kmx::FileSink sink;
    ASSERT_TRUE(sink.Open(path.c_str()));
    kmx::RiffAviWriter layout(sink);
    ASSERT_TRUE(layout.Begin({VideoSetup(), AudioSetup()}));
    WritePatternFile(layout, 3);
    ASSERT_TRUE(layout.Finish());
    ASSERT_TRUE(sink.Close());
    RiffFile f;
    std::string problem;
    ASSERT_TRUE(f.Load(path, &problem)) << problem;
    ASSERT_EQ(f.Riffs().size(), 1u);
    EXPECT_EQ(f.StreamChunk(0, kIndx), nullptr);
    EXPECT_NE(f.StreamChunk(0, kJunk), nullptr);
    EXPECT_EQ(f.Riffs()[0].Child(kList, kHdrl)->Child(kList, kOdml), nullptr);
    for (const Chunk& c : f.Riffs()[0].Child(kList, kMovi)->children) {
        EXPECT_TRUE(c.id == k00db || c.id == k01wb) << FourccText(c.id);
    }
}

TEST(AviWriterOpenDml, FullSuperIndexRefusesFurtherChunksAndTheFileStaysComplete) {
    TempDir dir;
    const std::string path = dir.File("many.avi");
    kmx::FileSink sink;
    ASSERT_TRUE(sink.Open(path.c_str()));
    kmx::RiffAviWriter layout(sink, 64); // every chunk opens a new RIFF
    kmx::AviStreamSetup v = VideoSetup();
    v.header = VideoHeader(4, 4, 25, 1, MakeFourcc('X', 'X', 'X', 'X'));
    v.format = VideoFormat(4, 4, 24, MakeFourcc('X', 'X', 'X', 'X'));
    ASSERT_TRUE(layout.Begin({v}));
    const std::uint8_t data[40] = {};
    std::size_t accepted = 0;
    while (accepted < 300 && layout.WriteChunk(0, data, sizeof data, true, 1)) {
        ++accepted;
    }
    EXPECT_EQ(accepted, kmx::kAviSuperIndexCapacity);
    EXPECT_EQ(layout.RiffCount(), kmx::kAviSuperIndexCapacity);
    EXPECT_FALSE(layout.WriteFailed());
    EXPECT_TRUE(layout.Finish()); // nothing that was accepted got lost
    ASSERT_TRUE(sink.Close());
    RiffFile f;
    std::string problem;
    ASSERT_TRUE(f.Load(path, &problem)) << problem;
    EXPECT_EQ(f.Riffs().size(), kmx::kAviSuperIndexCapacity);
    const OdmlIndex indx = ParseOdmlIndex(f.Data(*f.StreamChunk(0, kIndx)));
    EXPECT_EQ(indx.entries.size(), kmx::kAviSuperIndexCapacity);
}

TEST(AviWriterOpenDml, RefusesChunksItCannotIndex) {
    TempDir dir;
    kmx::FileSink sink;
    ASSERT_TRUE(sink.Open(dir.File("x.avi").c_str()));
    kmx::RiffAviWriter layout(sink);
    ASSERT_TRUE(layout.Begin({VideoSetup()}));
    const std::uint8_t b = 0;
    EXPECT_FALSE(layout.WriteChunk(1, &b, 1, true, 1)); // no such stream
    EXPECT_FALSE(layout.WriteChunk(0, nullptr, 1, true, 1));
    EXPECT_FALSE(layout.WriteChunk(0, &b, kmx::RiffAviWriter::kMaxChunkSize + 1, true, 1));
    EXPECT_EQ(layout.ChunkCount(0), 0u);
    EXPECT_FALSE(layout.Begin({VideoSetup()})); // once only
    EXPECT_TRUE(layout.Finish());
    EXPECT_FALSE(layout.Finish());
    EXPECT_TRUE(sink.Close());
}

// ---- past 4 GiB -------------------------------------------------------------

// A sink that remembers every small write (headers, indexes, chunk headers)
// by position and only counts the bytes of large ones, so that outputs of
// several GiB can be laid out in memory.
class StructureSink final : public kmx::ByteSink {
public:
    bool Write(const void* data, std::size_t size) override {
        if (size <= 65536) {
            const auto* b = static_cast<const std::uint8_t*>(data);
            pieces_[position_].assign(b, b + size);
        } else {
            payloads_[position_] = size;
        }
        position_ += size;
        return true;
    }
    bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) override {
        auto it = pieces_.upper_bound(pos);
        if (it == pieces_.begin()) {
            return false;
        }
        --it;
        if (pos + size > it->first + it->second.size()) {
            ++badPatches;
            return false;
        }
        std::memcpy(it->second.data() + (pos - it->first), data, size);
        return true;
    }
    bool Flush() override { return true; }
    bool Truncate(std::uint64_t) override { return false; }
    std::uint64_t Position() const override { return position_; }
    std::uint64_t DurableSize() const override { return position_; }
    bool Failed() const override { return false; }

    // size bytes at pos from the small writes; empty when they were not
    // written by one of them.
    std::vector<std::uint8_t> Read(std::uint64_t pos, std::size_t size) const {
        auto it = pieces_.upper_bound(pos);
        if (it == pieces_.begin()) {
            return {};
        }
        --it;
        if (pos + size > it->first + it->second.size()) {
            return {};
        }
        const auto begin = it->second.begin() + static_cast<std::ptrdiff_t>(pos - it->first);
        return std::vector<std::uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(size));
    }
    bool PayloadAt(std::uint64_t pos, std::size_t size) const {
        const auto it = payloads_.find(pos);
        return it != payloads_.end() && it->second == size;
    }
    int badPatches = 0;

private:
    std::uint64_t position_ = 0;
    std::map<std::uint64_t, std::vector<std::uint8_t>> pieces_;
    std::map<std::uint64_t, std::size_t> payloads_;
};

TEST(AviWriterOpenDml, OffsetsPast4GiBAreKeptIn64Bits) {
    StructureSink sink;
    kmx::RiffAviWriter layout(sink);
    kmx::AviStreamSetup v = VideoSetup();
    v.header = VideoHeader(4096, 2048);
    v.format = VideoFormat(4096, 2048, 16);
    ASSERT_TRUE(layout.Begin({v, AudioSetup()}));
    constexpr std::uint32_t kBig = 4096 * 2048 * 2; // 16 MiB per frame
    std::vector<std::uint8_t> frame(kBig, 0);       // never copied by the sink
    std::vector<std::uint8_t> sound(640, 0);
    constexpr int kFrames = 340; // about 5.3 GiB
    for (int k = 0; k < kFrames; ++k) {
        ASSERT_TRUE(layout.WriteChunk(0, frame.data(), kBig, k % 10 == 0, 1));
        ASSERT_TRUE(layout.WriteChunk(1, sound.data(), 640, true, 320));
    }
    ASSERT_TRUE(layout.Finish());
    EXPECT_EQ(sink.badPatches, 0);
    EXPECT_GT(sink.Position(), std::uint64_t{5} << 30);
    EXPECT_GE(layout.RiffCount(), 6u);

    // The finished header was written first; walk its lists down to the
    // super indexes.
    std::vector<std::vector<std::uint8_t>> indxData;
    for (std::uint64_t at = 12;;) {
        const auto head = sink.Read(at, 12);
        ASSERT_EQ(head.size(), 12u) << "header ends early at " << at;
        const std::uint32_t id = kmx::LoadU32(head.data());
        const std::uint32_t size = kmx::LoadU32(head.data() + 4);
        if (id == kList && kmx::LoadU32(head.data() + 8) == kMovi) {
            break;
        }
        if (id == kList) {
            at += 12; // descend into hdrl, strl and odml
            continue;
        }
        if (id == kIndx) {
            indxData.push_back(sink.Read(at + 8, size));
        }
        at += 8 + size + (size & 1);
    }
    ASSERT_EQ(indxData.size(), 2u);

    bool sawIndexPast4GiB = false;
    bool sawChunkPast4GiB = false;
    for (int s = 0; s < 2; ++s) {
        const OdmlIndex indx = ParseOdmlIndex(indxData[s]);
        ASSERT_EQ(indx.entries.size(), layout.RiffCount());
        std::uint64_t total = 0;
        int key = 0;
        for (const auto& e : indx.entries) {
            sawIndexPast4GiB |= e.offset > (std::uint64_t{1} << 32);
            const auto ixChunk = sink.Read(e.offset, e.size);
            ASSERT_EQ(ixChunk.size(), e.size) << "no standard index at " << e.offset;
            EXPECT_EQ(kmx::LoadU32(ixChunk.data()), s == 0 ? kIx00 : kIx01);
            EXPECT_EQ(kmx::LoadU32(ixChunk.data() + 4) + 8, e.size);
            const OdmlIndex ix =
                ParseOdmlIndex(std::vector<std::uint8_t>(ixChunk.begin() + 8, ixChunk.end()));
            for (const auto& entry : ix.entries) {
                const std::uint64_t chunk = ix.baseOffset + entry.offset - 8;
                sawChunkPast4GiB |= chunk > (std::uint64_t{1} << 32);
                const auto head = sink.Read(chunk, 8);
                ASSERT_EQ(head.size(), 8u) << "no chunk header at " << chunk;
                EXPECT_EQ(kmx::LoadU32(head.data()), s == 0 ? k00db : k01wb);
                const std::uint32_t size = entry.size & 0x7FFFFFFFu;
                EXPECT_EQ(kmx::LoadU32(head.data() + 4), size);
                if (s == 0) {
                    EXPECT_TRUE(sink.PayloadAt(chunk + 8, size));
                    key += (entry.size & 0x80000000u) == 0 ? 1 : 0;
                }
            }
            total += e.duration;
        }
        EXPECT_EQ(total, s == 0 ? std::uint64_t{kFrames} : std::uint64_t{kFrames} * 320);
        if (s == 0) {
            EXPECT_EQ(key, kFrames / 10);
        }
    }
    EXPECT_TRUE(sawIndexPast4GiB);
    EXPECT_TRUE(sawChunkPast4GiB);
}

} // namespace

// Finding the samples: idx1 with relative or absolute offsets, OpenDML super
// and standard indexes across AVIX extensions, scanning when an index is
// missing, cut off or unusable, and files above 4 GiB.
#include "media/AviIndex.h"
#include "media/AviParser.h"
#include "media/AviReader.h"
#include "media/RiffFileReader.h"
#include "tests/media/AviReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace readertest;

namespace {

constexpr int kVideoFrames = 12;

// 12 video frames with key frames every fourth, and 400 audio samples in
// chunks of varying size (one more chunk than frames would give).
std::vector<TestStream> Streams() {
    TestStream video = RawVideoStream(8, 4, kVideoFrames);
    for (int k = 0; k < kVideoFrames; ++k) {
        video.keys.push_back(k % 4 == 0);
    }
    return {video, PcmAudioStream({30, 40, 10, 50, 20, 60, 30, 40, 10, 50, 20, 30, 10})};
}

struct Loaded {
    kmx::AviLayout layout;
    std::vector<kmx::AviStreamIndex> indexes;
    kmx::AviIndexSource source = kmx::AviIndexSource::None;
};

bool LoadIndexes(const std::string& path, Loaded& out, const std::vector<int>& streams = {0, 1}) {
    kmx::CRiffFile file;
    return file.Open(path.c_str()) && kmx::ParseAviLayout(file, out.layout) &&
           kmx::BuildAviIndexes(file, out.layout, streams, out.indexes, &out.source);
}

// Every frame and every audio sample must be the one that was written.
void ExpectContentsRead(const std::string& path, const std::string& what) {
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str())) << what;
    ASSERT_EQ(reader.GetVideoLength(0), kVideoFrames) << what;
    ASSERT_EQ(reader.GetAudioLength(0), 400) << what;
    ASSERT_TRUE(reader.StartVideoRetrieve(0)) << what;
    for (const int k : {0, 5, 11, 3, 4, 6, 7, 1}) {
        const BITMAPINFOHEADER* frame = nullptr;
        reader.GetVideoFrame(0, k, &frame);
        ASSERT_NE(frame, nullptr) << what << " frame " << k;
        EXPECT_EQ(DibPixels(frame)[0], k * 7 + 1) << what << " frame " << k;
    }
    const Bytes audio = ReadAllAudio(reader, 33);
    ASSERT_EQ(audio.size(), 800u) << what;
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(kmx::LoadU16(audio.data() + 2 * i), i) << what;
    }
}

TEST(AviReaderIndex, EveryLayoutReadsTheSameSamples) {
    TempDir dir;
    struct Case {
        const char* what;
        BuildOptions options;
    };
    std::vector<Case> cases;
    cases.push_back({"idx1 relative", {}});
    cases.push_back({"idx1 absolute", {IndexKind::Idx1Absolute}});
    cases.push_back({"no index", {IndexKind::None}});
    cases.push_back({"rec lists with idx1", {IndexKind::Idx1Relative, true}});
    cases.push_back({"rec lists without index", {IndexKind::None, true}});
    cases.push_back({"junk in the movie list", {IndexKind::Idx1Relative, false, true}});
    cases.push_back({"OpenDML in one RIFF", {IndexKind::OpenDml}});
    BuildOptions split;
    split.index = IndexKind::OpenDml;
    split.extensionFrom = 5;
    cases.push_back({"OpenDML with AVIX", split});
    split.index = IndexKind::Idx1Relative;
    cases.push_back({"AVIX with idx1 only", split});
    split.index = IndexKind::None;
    cases.push_back({"AVIX without index", split});
    for (const Case& c : cases) {
        ExpectContentsRead(WriteAvi(dir, "a.avi", Streams(), c.options), c.what);
    }
}

TEST(AviReaderIndex, SamplesAreFoundAtTheirOffsetsWithTheirKeyFlags) {
    TempDir dir;
    struct Case {
        IndexKind kind;
        std::size_t extensionFrom;
        kmx::AviIndexSource expected;
        bool keys;
    };
    const Case cases[] = {
        {IndexKind::Idx1Relative, 0, kmx::AviIndexSource::Idx1, true},
        {IndexKind::Idx1Absolute, 0, kmx::AviIndexSource::Idx1, true},
        {IndexKind::OpenDml, 0, kmx::AviIndexSource::OpenDml, true},
        {IndexKind::OpenDml, 7, kmx::AviIndexSource::OpenDml, true},
        {IndexKind::None, 0, kmx::AviIndexSource::Scan, false},
        {IndexKind::Idx1Relative, 7, kmx::AviIndexSource::Scan, false},
    };
    for (const Case& c : cases) {
        BuildOptions options;
        options.index = c.kind;
        options.extensionFrom = c.extensionFrom;
        const std::vector<TestStream> streams = Streams();
        const BuiltFile built = BuildAvi(streams, options);
        const std::string path = dir.File("a.avi");
        ASSERT_TRUE(WriteBytes(path, built.bytes));
        Loaded loaded;
        ASSERT_TRUE(LoadIndexes(path, loaded));
        EXPECT_EQ(loaded.source, c.expected) << static_cast<int>(c.kind);
        ASSERT_EQ(loaded.indexes.size(), 2u);
        for (std::size_t s = 0; s < 2; ++s) {
            const auto& entries = loaded.indexes[s].entries;
            ASSERT_EQ(entries.size(), built.samplePositions[s].size());
            EXPECT_EQ(loaded.indexes[s].keysFromFile, c.keys);
            for (std::size_t i = 0; i < entries.size(); ++i) {
                EXPECT_EQ(entries[i].pos, built.samplePositions[s][i]) << s << "/" << i;
                EXPECT_EQ(entries[i].size, streams[s].samples[i].size());
                if (c.keys && s == 0) {
                    EXPECT_EQ(entries[i].key, i % 4 == 0) << i;
                }
            }
        }
    }
}

// Offsets of the idx1 entries in a built file.
std::size_t Idx1EntryAt(const Bytes& bytes, std::size_t entry) {
    std::size_t at = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, "idx1", 4) == 0) {
            at = i;
        }
    }
    return at + 8 + entry * 16;
}

TEST(AviReaderIndex, BadIdx1EntriesAreSkipped) {
    TempDir dir;
    BuiltFile built = BuildAvi(Streams());
    // Entries alternate video, audio: entry 2k is video frame k.
    const std::size_t outside = Idx1EntryAt(built.bytes, 2 * 3);
    kmx::StoreU32(built.bytes.data() + outside + 8, 0x7FFFFFF0); // offset past the file
    const std::size_t stranger = Idx1EntryAt(built.bytes, 2 * 5);
    std::memcpy(built.bytes.data() + stranger, "07dc", 4); // a stream that does not exist
    const std::string path = dir.File("a.avi");
    ASSERT_TRUE(WriteBytes(path, built.bytes));
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_EQ(reader.GetVideoLength(0), kVideoFrames - 2);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const int expected[] = {0, 1, 2, 4, 6, 7, 8, 9, 10, 11};
    for (int n = 0; n < kVideoFrames - 2; ++n) {
        const BITMAPINFOHEADER* frame = nullptr;
        reader.GetVideoFrame(0, n, &frame);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(DibPixels(frame)[0], expected[n] * 7 + 1);
    }
}

TEST(AviReaderIndex, AnIndexCutOffIsReplacedByAScan) {
    TempDir dir;
    Bytes bytes = BuildAvi(Streams()).bytes;
    bytes.resize(Idx1EntryAt(bytes, 5)); // idx1 keeps five of its entries
    const std::string path = dir.File("a.avi");
    ASSERT_TRUE(WriteBytes(path, bytes));
    Loaded loaded;
    ASSERT_TRUE(LoadIndexes(path, loaded));
    EXPECT_EQ(loaded.source, kmx::AviIndexSource::Scan);
    ExpectContentsRead(path, "idx1 cut off");
}

TEST(AviReaderIndex, AnOpenDmlIndexPointingPastTheFileIsReplacedByAScan) {
    TempDir dir;
    BuildOptions options;
    options.index = IndexKind::OpenDml;
    options.extensionFrom = 6;
    Bytes bytes = BuildAvi(Streams(), options).bytes;
    // The video stream's super index: its second entry's offset goes past the end.
    std::size_t indx = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, "indx", 4) == 0) {
            indx = i;
            break;
        }
    }
    ASSERT_NE(indx, 0u);
    kmx::StoreU64(bytes.data() + indx + 8 + 24 + 16, bytes.size() + 1000);
    const std::string path = dir.File("a.avi");
    ASSERT_TRUE(WriteBytes(path, bytes));
    Loaded loaded;
    ASSERT_TRUE(LoadIndexes(path, loaded));
    EXPECT_EQ(loaded.source, kmx::AviIndexSource::Scan);
    ExpectContentsRead(path, "OpenDML index past the end");
}

TEST(AviReaderIndex, AbsurdIndexCountsAreBoundedByTheirChunks) {
    TempDir dir;
    BuildOptions options;
    options.index = IndexKind::OpenDml;
    options.extensionFrom = 6;
    Bytes bytes = BuildAvi(Streams(), options).bytes;
    // Every super index and every standard index claims 2^32 - 1 entries.
    for (std::size_t i = 0; i + 16 <= bytes.size(); ++i) {
        const bool super = std::memcmp(bytes.data() + i, "indx", 4) == 0;
        const bool standard = std::memcmp(bytes.data() + i, "ix0", 3) == 0;
        if (super || standard) {
            kmx::StoreU32(bytes.data() + i + 8 + 4, 0xFFFFFFFF);
        }
    }
    const std::string path = dir.File("a.avi");
    ASSERT_TRUE(WriteBytes(path, bytes));
    Loaded loaded;
    ASSERT_TRUE(LoadIndexes(path, loaded));
    EXPECT_EQ(loaded.source, kmx::AviIndexSource::OpenDml);
    ExpectContentsRead(path, "absurd counts");
}

// A file image with most of it left as holes, written sparsely.
class SparseFile {
public:
    void Put(std::uint64_t pos, const Bytes& bytes) { parts_.push_back({pos, bytes}); }
    bool Write(const std::string& path, std::uint64_t size) const {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            return false;
        }
        bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
        for (const auto& [pos, bytes] : parts_) {
            ok = ok && ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(pos)) ==
                           static_cast<ssize_t>(bytes.size());
        }
        return ::close(fd) == 0 && ok;
    }

private:
    std::vector<std::pair<std::uint64_t, Bytes>> parts_;
};

Bytes StandardIndex(std::uint64_t base, const std::vector<std::uint64_t>& positions,
                    std::uint32_t size) {
    Bytes body;
    PutU16(body, 2);
    body.push_back(0);
    body.push_back(1);
    PutU32(body, static_cast<std::uint32_t>(positions.size()));
    PutU32(body, Fourcc("00dc"));
    PutU64(body, base);
    PutU32(body, 0);
    for (const std::uint64_t pos : positions) {
        PutU32(body, static_cast<std::uint32_t>(pos - base));
        PutU32(body, size);
    }
    return Chunk("ix00", body);
}

TEST(AviReaderIndex, FramesBeyondFourGigabytesAreRead) {
    TempDir dir;
    const int width = 8;
    const int height = 4;
    const std::uint32_t frameBytes = 96;
    auto frame = [&](int k) {
        return Chunk("00dc", Bytes(frameBytes, static_cast<std::uint8_t>(k * 7 + 1)));
    };
    const std::uint64_t junk1 = 0xF0000000; // 3.75 GiB of holes in the first RIFF
    const std::uint64_t junk2 = 0x40000000; // and 1 GiB in the extension

    auto headers = [&](std::uint64_t ix1, std::uint64_t ix2) {
        Bytes super;
        PutU16(super, 4);
        super.push_back(0);
        super.push_back(0);
        PutU32(super, 2);
        PutU32(super, Fourcc("00dc"));
        PutU32(super, 0);
        PutU32(super, 0);
        PutU32(super, 0);
        PutU64(super, ix1);
        PutU32(super, 48);
        PutU32(super, 2);
        PutU64(super, ix2);
        PutU32(super, 48);
        PutU32(super, 2);
        StreamHeaderFields fields;
        fields.fccType = Fourcc("vids");
        fields.length = 4;
        return List("hdrl", {Chunk("avih", MainHeader(40000, 4, 1, width, height)),
                             List("strl", {Chunk("strh", StreamHeader(fields)),
                                           Chunk("strf", BitmapFormat(width, height, 24)),
                                           Chunk("indx", super)})});
    };
    const std::uint64_t hdrlSize = headers(0, 0).size();
    const std::uint64_t movie1 = 12 + hdrlSize; // LIST movi
    const std::uint64_t frame0 = movie1 + 12;   // '00dc'
    const std::uint64_t junkAt1 = frame0 + 2 * (8 + frameBytes);
    const std::uint64_t ix1 = junkAt1 + 8 + junk1;
    const std::uint64_t riff1End = ix1 + 48;
    const std::uint64_t movie2 = riff1End + 12;
    const std::uint64_t junkAt2 = movie2 + 12;
    const std::uint64_t frame2 = junkAt2 + 8 + junk2;
    const std::uint64_t ix2 = frame2 + 2 * (8 + frameBytes);
    const std::uint64_t end = ix2 + 48;
    ASSERT_LT(riff1End, std::uint64_t{1} << 32);
    ASSERT_GT(frame2, std::uint64_t{1} << 32);

    SparseFile image;
    Bytes start = ChunkHeader("RIFF", static_cast<std::uint32_t>(riff1End - 8));
    PutU32(start, Fourcc("AVI "));
    Append(start, headers(ix1, ix2));
    Append(start, ChunkHeader("LIST", static_cast<std::uint32_t>(riff1End - movie1 - 8)));
    PutU32(start, Fourcc("movi"));
    Append(start, frame(0));
    Append(start, frame(1));
    Append(start, ChunkHeader("JUNK", static_cast<std::uint32_t>(junk1)));
    image.Put(0, start);
    image.Put(ix1, StandardIndex(movie1, {frame0 + 8, frame0 + 8 + 8 + frameBytes}, frameBytes));
    Bytes extension = ChunkHeader("RIFF", static_cast<std::uint32_t>(end - riff1End - 8));
    PutU32(extension, Fourcc("AVIX"));
    Append(extension, ChunkHeader("LIST", static_cast<std::uint32_t>(end - movie2 - 8)));
    PutU32(extension, Fourcc("movi"));
    Append(extension, ChunkHeader("JUNK", static_cast<std::uint32_t>(junk2)));
    image.Put(riff1End, extension);
    Bytes tail = frame(2);
    Append(tail, frame(3));
    Append(tail, StandardIndex(riff1End, {frame2 + 8, frame2 + 8 + 8 + frameBytes}, frameBytes));
    image.Put(frame2, tail);
    const std::string path = dir.File("big.avi");
    if (!image.Write(path, end)) {
        GTEST_SKIP() << "the temporary folder cannot hold a sparse file of " << end << " bytes";
    }

    for (const bool breakIndex : {false, true}) {
        if (breakIndex) {
            // The second super index entry now points past the end: scan.
            Bytes far;
            PutU64(far, end + 100);
            const std::uint64_t entry2 =
                12 + 12 + (8 + 56) + 12 + (8 + 56) + (8 + 40) + 8 + 24 + 16;
            Bytes check(8);
            {
                const int fd = ::open(path.c_str(), O_RDWR);
                ASSERT_GE(fd, 0);
                ASSERT_EQ(::pread(fd, check.data(), 8, static_cast<off_t>(entry2)), 8);
                ASSERT_EQ(kmx::LoadU64(check.data()), ix2);
                ASSERT_EQ(::pwrite(fd, far.data(), 8, static_cast<off_t>(entry2)), 8);
                ::close(fd);
            }
        }
        Loaded loaded;
        ASSERT_TRUE(LoadIndexes(path, loaded, {0}));
        EXPECT_EQ(loaded.source,
                  breakIndex ? kmx::AviIndexSource::Scan : kmx::AviIndexSource::OpenDml);
        ASSERT_EQ(loaded.indexes[0].entries.size(), 4u);
        EXPECT_EQ(loaded.indexes[0].entries[3].pos, frame2 + 8 + frameBytes + 8);
        CAviReader reader;
        ASSERT_TRUE(reader.Open(path.c_str()));
        ASSERT_EQ(reader.GetVideoLength(0), 4);
        ASSERT_TRUE(reader.StartVideoRetrieve(0));
        for (int k = 3; k >= 0; --k) {
            const BITMAPINFOHEADER* picture = nullptr;
            reader.GetVideoFrame(0, k, &picture);
            ASSERT_NE(picture, nullptr) << k;
            EXPECT_EQ(DibPixels(picture)[0], k * 7 + 1) << k;
        }
    }
}

} // namespace

// The reader's rules: results for bad indexes and closed readers, the frame
// decoder's life and the time conversions, stream counts and formats, audio
// reads, the frames of raw streams (colour table, drop frames), and
// finding the samples: idx1 relative or absolute, OpenDML super and standard
// indexes across an AVIX extension, scanning when an index is missing, cut
// off or unusable, and the last RIFF of a writer stopped half way. (Offsets
// past 4 GiB: the writer's tests.)
#include "media/AviReader.h"
#include "media/io/ByteSource.h"
#include "tests/media/AviWriterTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>

using namespace avitest;
using kmx::AviIndexSource;

namespace {

// Ten 8x4 frames at 25 fps, and 8000 Hz mono audio in chunks of 100, 250 and 50 samples.
std::vector<TestStream> VideoAndAudio() {
    return {RawVideoStream(8, 4, 10), PcmAudioStream({100, 250, 50})};
}

void ExpectNoStream(CAviReader& reader, std::uint32_t index) {
    AVISTREAMINFOA info{};
    EXPECT_FALSE(reader.GetVideoStreamInfo(index, &info, 140));
    EXPECT_FALSE(reader.GetAudioStreamInfo(index, &info, 140));
    EXPECT_EQ(reader.GetVideoLength(index), 0);
    EXPECT_EQ(reader.GetAudioLength(index), 0);
    EXPECT_FALSE(reader.StartVideoRetrieve(index));
    EXPECT_FALSE(reader.StopVideoRetrieve(index));
    EXPECT_EQ(FrameMark(reader, 0, index), -1);
    EXPECT_EQ(reader.VideoFrameToTime(index, 0), -1);
    EXPECT_EQ(reader.VideoTimeToFrame(index, 0), -1);
    std::int32_t size = 77;
    EXPECT_EQ(reader.GetAudioFormat(index, &size), nullptr);
    EXPECT_EQ(size, 0);
    std::uint8_t buffer[64];
    std::int32_t bytes = 5;
    std::int32_t samples = 5;
    EXPECT_EQ(reader.ReadAudio(index, 0, 1, buffer, sizeof buffer, &bytes, &samples), 998);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(samples, 0);
}

TEST(AviReaderRules, BadIndexesAndClosedReadersFail) {
    TempDir dir;
    CAviReader reader;
    EXPECT_EQ(reader.GetVideoStreamCount() + reader.GetAudioStreamCount(), 0u);
    ExpectNoStream(reader, 0);
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    ASSERT_EQ(reader.GetVideoStreamCount() + reader.GetAudioStreamCount(), 2u);
    for (const std::uint32_t index : {1u, 5u, UINT32_MAX}) {
        ExpectNoStream(reader, index);
    }
    AVISTREAMINFOA info{};
    EXPECT_FALSE(reader.GetVideoStreamInfo(0, &info, 139));
    EXPECT_FALSE(reader.GetAudioStreamInfo(0, nullptr, 140));
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
    EXPECT_EQ(info.dwLength, 10u);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(FrameMark(reader, 9), 9 * 7 + 1);
    EXPECT_EQ(FrameMark(reader, 10), -1);
    EXPECT_EQ(FrameMark(reader, -1), -1);

    reader.Close();
    reader.Close();
    EXPECT_EQ(reader.GetVideoStreamCount() + reader.GetAudioStreamCount(), 0u);
    ExpectNoStream(reader, 0);
    // Open replaces an open file; a failed Open leaves the reader closed.
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "b.avi", VideoAndAudio()).c_str()));
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "c.avi", {PcmAudioStream({10})}).c_str()));
    EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
    EXPECT_EQ(reader.GetAudioLength(0), 10);
    EXPECT_FALSE(reader.Open(dir.File("missing.avi").c_str()));
    EXPECT_EQ(reader.GetAudioStreamCount(), 0u);
    EXPECT_FALSE(reader.Open(nullptr));
    EXPECT_FALSE(reader.OpenMemory(nullptr, 0));
    EXPECT_FALSE(reader.OpenMemory(nullptr, 4096));
    EXPECT_FALSE(reader.Open(std::unique_ptr<kmx::IByteSource>()));
}

TEST(AviReaderRules, ConversionsNeedTheDecoderAndEndAtTheStreamsEnd) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    EXPECT_TRUE(reader.StopVideoRetrieve(0)); // no decoder yet: nothing to stop
    EXPECT_EQ(reader.VideoFrameToTime(0, 5), -1);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 200), -1);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    ASSERT_TRUE(reader.StartVideoRetrieve(0)); // replaces the decoder
    EXPECT_EQ(reader.VideoFrameToTime(0, 5), 200);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 200), 5);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 400), 10); // ten frames end at 400 ms
    EXPECT_EQ(reader.VideoTimeToFrame(0, 401), -1);
    EXPECT_EQ(reader.VideoTimeToFrame(0, -1), -1);
    EXPECT_EQ(FrameMark(reader, 3), 3 * 7 + 1);
    EXPECT_TRUE(reader.StopVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, 5), -1);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 200), -1);
    EXPECT_EQ(FrameMark(reader, 3), -1);

    // The end counts from the stream's start; milliseconds are cut, not rounded.
    TestStream video = RawVideoStream(8, 4, 3);
    video.start = 3;
    video.scale = 1001;
    video.rate = 30000;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "b.avi", {video}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, 2), 66);   // 66.73
    EXPECT_EQ(reader.VideoTimeToFrame(0, 200), 5);  // 5.99, the end at 200.2 ms
    EXPECT_EQ(reader.VideoTimeToFrame(0, 201), -1); // past the end
    // Times that do not fit give -1 instead of wrapping around.
    video.scale = 0xFFFFFFFF;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "c.avi", {video}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, INT32_MAX), -1);
}

TEST(AviReaderRules, StreamCountsAndFormats) {
    TempDir dir;
    CAviReader reader;
    // Six streams of each kind: the first five count and keep their own samples.
    std::vector<TestStream> streams;
    for (int i = 0; i < 6; ++i) {
        streams.push_back(RawVideoStream(8, 4, 2 + i));
        streams.push_back(PcmAudioStream({10 * (i + 1)}));
    }
    streams[10].omitFormat = true; // the sixth video stream's format does not matter
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "six.avi", streams).c_str()));
    EXPECT_EQ(reader.GetVideoStreamCount(), 5u);
    EXPECT_EQ(reader.GetAudioStreamCount(), 5u);
    EXPECT_EQ(reader.GetVideoLength(4), 6);
    EXPECT_EQ(reader.GetAudioLength(4), 50);
    ASSERT_TRUE(reader.StartVideoRetrieve(4));
    EXPECT_EQ(FrameMark(reader, 5, 4), 5 * 7 + 1);

    // A stream among the first five without a readable format fails Open.
    const std::pair<int, int> cases[] = {{0, 0}, {0, 39}, {1, 0}, {1, 10}};
    for (const auto& [broken, size] : cases) {
        std::vector<TestStream> two = VideoAndAudio();
        two[broken].omitFormat = size == 0;
        two[broken].format.resize(size);
        ASSERT_TRUE(reader.Open(WriteAvi(dir, "good.avi", VideoAndAudio()).c_str()));
        EXPECT_FALSE(reader.Open(WriteAvi(dir, "bad.avi", two).c_str())) << broken << " " << size;
        EXPECT_EQ(reader.GetVideoStreamCount() + reader.GetAudioStreamCount(), 0u);
    }
}

// The 16-bit values from, from + 1, ... as PcmAudioStream stores them.
Bytes Counting(int from, int count) {
    Bytes out;
    for (int v = from; v < from + count; ++v) {
        out.insert(out.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    }
    return out;
}

TEST(AviReaderAudio, ReadsAcrossChunksIntoAnyBuffer) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    ASSERT_EQ(reader.GetAudioLength(0), 400);
    std::uint8_t buffer[2000];
    std::int32_t bytes = -1;
    std::int32_t samples = -1;
    auto read = [&](std::int32_t first, std::int32_t count, std::int32_t size) {
        EXPECT_EQ(reader.ReadAudio(0, first, count, buffer, size, &bytes, &samples), 0);
        return Bytes(buffer, buffer + std::clamp(bytes, 0, 2000));
    };
    EXPECT_EQ(read(90, 280, 2000), Counting(90, 280));  // through all three chunks
    EXPECT_EQ(read(80, 200, 101), Counting(80, 50));    // 101 bytes take 50 whole samples
    EXPECT_EQ(read(390, 100, 2000), Counting(390, 10)); // past the end: what exists
    EXPECT_EQ(read(0, -1, 60), Counting(0, 30));        // -1: as many as fit
    EXPECT_EQ(samples, 30);
    ASSERT_EQ(reader.ReadAudio(0, 350, 100, nullptr, 0, &bytes, &samples), 0); // sizes only
    EXPECT_EQ(samples, 50);
    EXPECT_EQ(bytes, 100);
    EXPECT_EQ(ReadAllAudio(reader, 37), Counting(0, 400));
    // Failures read nothing.
    EXPECT_EQ(reader.ReadAudio(0, 0, 10, buffer, 1, &bytes, &samples),
              CAviReader::kReadAudioBufferTooSmall);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(reader.ReadAudio(0, 400, 1, buffer, 64, &bytes, &samples),
              CAviReader::kReadAudioBadParam);

    // Without a sample size every chunk is one sample, and only whole ones fit.
    TestStream vbr;
    vbr.video = false;
    vbr.format = WaveFormat(2, 44100);
    vbr.samples = {Bytes(5, 1), Bytes(7, 2), Bytes(3, 3), Bytes(9, 4)};
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "vbr.avi", {vbr}).c_str()));
    EXPECT_EQ(reader.GetAudioLength(0), 4);
    EXPECT_EQ(read(1, 3, 12), (Bytes{2, 2, 2, 2, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(samples, 2);
}

// (Top-down rows are flipped: the interop tests of raw RGB, which ffmpeg stores
// top-down.)
TEST(AviReaderFrames, EightBitFramesKeepTheirColours) {
    TempDir dir;
    Bytes palette;
    for (int i = 0; i < 256; ++i) {
        palette.insert(palette.end(), {static_cast<std::uint8_t>(i), 7, 8, 0});
    }
    TestStream full;
    full.format = BitmapFormat(6, 2, 8, BI_RGB, palette);
    full.samples = {Bytes{0, 1, 2, 3, 4, 5, 0, 0, 250, 251, 252, 253, 254, 255, 0, 0}};
    TestStream two = full; // biClrUsed 2: two of the three colours stored count
    two.format.resize(52);
    kmx::StoreU32(&two.format[32], 2);
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {full, two}).c_str()));
    for (std::uint32_t s = 0; s < 2; ++s) {
        ASSERT_TRUE(reader.StartVideoRetrieve(s));
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(s, 0, &dib);
        ASSERT_NE(dib, nullptr);
        const auto* table = reinterpret_cast<const std::uint8_t*>(dib) + 40;
        Bytes expected(full.format.begin() + 40, full.format.begin() + (s == 0 ? 1064 : 48));
        expected.resize(1024, 0);
        EXPECT_EQ(dib->biClrUsed, 0u);
        EXPECT_EQ(Bytes(table, table + 1024), expected);
        EXPECT_EQ(Bytes(DibPixels(dib), DibPixels(dib) + 16), full.samples[0]);
    }
}

TEST(AviReaderFrames, DropFramesRepeatTheFrameBeforeAndShortSamplesGiveNull) {
    TempDir dir;
    TestStream stream;
    stream.format = BitmapFormat(4, 2, 24);
    stream.samples = {Bytes{}, Bytes(24, 1), Bytes{},      Bytes(24, 50),
                      Bytes{}, Bytes{},      Bytes(23, 9), Bytes(24, 7)};
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
    ASSERT_EQ(reader.GetVideoLength(0), 8);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const int expected[] = {-1, 1, 1, 50, 50, 50, -1, 7};
    for (const int n : {0, 5, 1, 2, 3, 4, 2, 7, 6}) {
        EXPECT_EQ(FrameMark(reader, n), expected[n]) << n;
    }
}

constexpr int kFrames = 12;

// 12 video frames with a key frame every fourth, and 400 audio samples in
// chunks of varying size (one chunk more than there are frames).
std::vector<TestStream> Streams() {
    TestStream video = RawVideoStream(8, 4, kFrames);
    for (int k = 0; k < kFrames; ++k) {
        video.keys.push_back(k % 4 == 0);
    }
    return {video, PcmAudioStream({30, 40, 10, 50, 20, 60, 30, 40, 10, 50, 20, 30, 10})};
}

// Every frame (in jumps) and every audio sample must be the one written.
void ExpectContentsRead(const std::string& path, const std::string& what) {
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str())) << what;
    ASSERT_EQ(reader.GetVideoLength(0), kFrames) << what;
    ASSERT_TRUE(reader.StartVideoRetrieve(0)) << what;
    for (const int k : {0, 5, 11, 3, 4, 6, 7, 1}) {
        EXPECT_EQ(FrameMark(reader, k), k * 7 + 1) << what << " frame " << k;
    }
    EXPECT_EQ(ReadAllAudio(reader, 33), Counting(0, 400)) << what;
}

// Sets the 32-bit value at every place where text occurs, offset bytes after it.
void Patch(Bytes& bytes, const char* text, std::size_t offset, std::uint32_t value) {
    for (std::size_t at = Find(bytes, text); at != std::string::npos;
         at = Find(bytes, text, at + 1)) {
        kmx::StoreU32(&bytes[at + offset], value);
    }
}

// The sizes a writer stopped half way leaves in the RIFF of this type and
// its movi list: unset, past the end of the file, or set before the last
// video frame was written.
enum class Stopped { Unset, PastTheEnd, BeforeTheLastFrame };
void SetSizesOfAStoppedWriter(Bytes& bytes, const char* riffType, Stopped sizes) {
    const std::size_t riff = Find(bytes, riffType) - 8;
    const std::size_t movi = Find(bytes, "movi", riff) - 8;
    std::size_t frame = movi;
    for (std::size_t at = frame; at != std::string::npos; at = Find(bytes, "00dc", at + 1)) {
        frame = at;
    }
    for (const std::size_t list : {riff, movi}) {
        const std::uint32_t end = sizes == Stopped::Unset ? 0
                                  : sizes == Stopped::PastTheEnd
                                      ? 0x7FFFFFF0
                                      : static_cast<std::uint32_t>(frame - list - 8);
        kmx::StoreU32(&bytes[list + 4], end);
    }
}

TEST(AviReaderIndex, EveryLayoutGivesTheSamplesFromTheBestIndexThatHolds) {
    TempDir dir;
    struct Case {
        const char* what;
        IndexKind index;
        std::size_t extensionFrom;
        AviIndexSource source;
        std::function<void(Bytes&)> damage;
        bool keysFromIndex = true; // the index names every chunk
    };
    const Case cases[] = {
        {"idx1 relative", IndexKind::Idx1Relative, 0, AviIndexSource::Idx1, nullptr},
        {"idx1 absolute", IndexKind::Idx1Absolute, 0, AviIndexSource::Idx1, nullptr},
        {"no index", IndexKind::None, 0, AviIndexSource::Scan, nullptr},
        {"OpenDML with AVIX", IndexKind::OpenDml, 5, AviIndexSource::OpenDml, nullptr},
        {"AVIX beyond idx1", IndexKind::Idx1Relative, 5, AviIndexSource::Scan, nullptr},
        {"idx1 cut off", IndexKind::Idx1Relative, 0, AviIndexSource::Scan,
         [](Bytes& b) { b.resize(Find(b, "idx1") + 8 + 5 * 16); }},
        // The second super index entry of the video points past the file.
        {"OpenDML index past the end", IndexKind::OpenDml, 6, AviIndexSource::Scan,
         [](Bytes& b) { kmx::StoreU64(&b[Find(b, "indx") + 8 + 24 + 16], b.size() + 1000); }},
        // Every index claims 2^32 - 1 entries: their chunks bound them.
        {"absurd index counts", IndexKind::OpenDml, 6, AviIndexSource::OpenDml,
         [](Bytes& b) {
             Patch(b, "indx", 12, 0xFFFFFFFF);
             Patch(b, "ix0", 12, 0xFFFFFFFF);
         }},
        // What a writer stopped half way leaves: the last RIFF with its sizes
        // unset, or set before its last chunks, or the super indexes listing
        // only the RIFFs before it. Its chunks are found by scanning it.
        {"AVIX sizes unset", IndexKind::Idx1Relative, 5, AviIndexSource::Scan,
         [](Bytes& b) { SetSizesOfAStoppedWriter(b, "AVIX", Stopped::Unset); }},
        {"AVIX sizes past the end", IndexKind::Idx1Relative, 5, AviIndexSource::Scan,
         [](Bytes& b) { SetSizesOfAStoppedWriter(b, "AVIX", Stopped::PastTheEnd); }},
        {"AVIX sizes before its last frame", IndexKind::Idx1Relative, 5, AviIndexSource::Scan,
         [](Bytes& b) { SetSizesOfAStoppedWriter(b, "AVIX", Stopped::BeforeTheLastFrame); }},
        {"sizes before the last frame", IndexKind::None, 0, AviIndexSource::Scan,
         [](Bytes& b) { SetSizesOfAStoppedWriter(b, "AVI ", Stopped::BeforeTheLastFrame); }},
        {"AVIX not in the OpenDML index", IndexKind::OpenDml, 5, AviIndexSource::OpenDml,
         [](Bytes& b) { Patch(b, "indx", 12, 1); }, false},
    };
    for (const Case& c : cases) {
        Bytes bytes = BuildAvi(Streams(), {c.index, c.extensionFrom});
        if (c.damage) {
            c.damage(bytes);
        }
        const std::string path = dir.File("a.avi");
        ASSERT_TRUE(WriteBytes(path, bytes));
        std::vector<kmx::AviStreamIndex> indexes;
        AviIndexSource source = AviIndexSource::None;
        ASSERT_TRUE(LoadIndexes(path, indexes, &source)) << c.what;
        EXPECT_EQ(source, c.source) << c.what;
        ASSERT_EQ(indexes.size(), 2u);
        ASSERT_EQ(indexes[0].entries.size(), std::size_t{kFrames});
        EXPECT_EQ(indexes[0].keysFromFile, c.source != AviIndexSource::Scan && c.keysFromIndex)
            << c.what;
        for (std::size_t i = 0; indexes[0].keysFromFile && i < kFrames; ++i) {
            EXPECT_EQ(indexes[0].entries[i].key, i % 4 == 0) << c.what << " " << i;
        }
        ExpectContentsRead(path, c.what);
    }
}

// A standard index kept where the super index belongs ('indx' of type "index
// of chunks") is read from the header; its key flags are the ones used.
TEST(AviReaderIndex, StandardIndexInPlaceOfTheSuperIndexIsRead) {
    TempDir dir;
    TestStream video = RawVideoStream(8, 4, 4);
    video.keys = {true, false, false, true};
    // Four entries take as much room as the two slots of the super index.
    Bytes bytes = BuildAvi({video}, {IndexKind::OpenDml});
    const std::size_t indx = Find(bytes, "indx");
    const std::size_t ix = Find(bytes, "ix00");
    ASSERT_NE(ix, std::string::npos);
    ASSERT_EQ(kmx::LoadU32(&bytes[indx + 4]), kmx::LoadU32(&bytes[ix + 4]));
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(ix + 8), kmx::LoadU32(&bytes[ix + 4]),
                bytes.begin() + static_cast<std::ptrdiff_t>(indx + 8));
    std::copy_n("JUNK", 4, bytes.begin() + static_cast<std::ptrdiff_t>(ix));
    const std::string path = dir.File("a.avi");
    ASSERT_TRUE(WriteBytes(path, bytes));

    std::vector<kmx::AviStreamIndex> indexes;
    AviIndexSource source = AviIndexSource::None;
    ASSERT_TRUE(LoadIndexes(path, indexes, &source, {0}));
    EXPECT_EQ(source, AviIndexSource::OpenDml);
    ASSERT_EQ(indexes.size(), 1u);
    ASSERT_EQ(indexes[0].entries.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(indexes[0].entries[i].key, i % 3 == 0) << i;
        EXPECT_EQ(indexes[0].entries[i].size, 96u) << i;
    }
}

} // namespace

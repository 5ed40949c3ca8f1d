// Broken and hostile files: not AVI at all, cut at every byte (also in
// memory), sizes past their parent or the end, absurd formats and rates, and
// random damage. Open or the operation fails with its documented result;
// nothing crashes. (The fuzz target goes much further.) Files read from memory
// as from disk, and byte sources from file and memory.
#include "media/AviReader.h"
#include "media/io/ByteSource.h"
#include "pattern/TestPattern.h"
#include "tests/media/AviWriterTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <sys/stat.h>

using namespace avitest;

namespace {

// Four 8x4 frames and 60 audio samples.
std::vector<TestStream> SmallStreams() {
    return {RawVideoStream(8, 4, 4), PcmAudioStream({20, 30, 10})};
}

// Opens the file and reads all it offers (checked for consistency).
Contents ReadEverything(const std::string& path) {
    CAviReader reader;
    const bool opened = reader.Open(path.c_str());
    return Gather(reader, opened);
}

// The first pixel byte of each frame read, -1 for null.
std::vector<int> Marks(const Contents& c) {
    std::vector<int> marks;
    for (const Bytes& frame : c.frames) {
        marks.push_back(frame.empty() ? -1 : frame[40]);
    }
    return marks;
}

TEST(AviReaderBadInput, FilesOpenExactlyWhenTheyAreAviWithWholeHeaders) {
    TempDir dir;
    const std::vector<TestStream> streams = SmallStreams();
    const Bytes full = BuildAvi(streams, {IndexKind::OpenDml, 2});
    // Not AVI: another RIFF type, a folder, a pipe without writer (refused at
    // once instead of waited for).
    Bytes wave = full;
    std::memcpy(&wave[8], "WAVE", 4);
    ASSERT_TRUE(WriteBytes(dir.File("wave.avi"), wave));
    CAviReader reader;
    EXPECT_FALSE(reader.Open(dir.File("wave.avi").c_str()));
    EXPECT_FALSE(reader.Open(dir.Path().string().c_str()));
    ASSERT_EQ(::mkfifo(dir.File("pipe.avi").c_str(), 0600), 0);
    EXPECT_FALSE(reader.Open(dir.File("pipe.avi").c_str()));
    // Cut at every byte; read from memory, each is the same as from the file.
    const std::size_t headersEnd = Find(full, "movi") - 8;
    Bytes audio; // what the audio chunks hold
    for (const Bytes& chunk : streams[1].samples) {
        audio.insert(audio.end(), chunk.begin(), chunk.end());
    }
    std::size_t lastFrames = 0;
    std::size_t lastAudio = 0;
    for (std::size_t length = 0; length <= full.size(); ++length) {
        ASSERT_TRUE(WriteBytes(dir.File("cut.avi"), Bytes(full.begin(), full.begin() + length)));
        const Contents got = ReadEverything(dir.File("cut.avi"));
        ASSERT_EQ(got.opened, length >= headersEnd) << length;
        CAviReader memory;
        const bool opened = memory.OpenMemory(full.data(), length);
        EXPECT_TRUE(Gather(memory, opened) == got) << length;
        // More file never means fewer samples, and what is there is right.
        EXPECT_GE(got.frames.size(), lastFrames) << length;
        EXPECT_GE(got.audio.size(), lastAudio) << length;
        lastFrames = got.frames.size();
        lastAudio = got.audio.size();
        const std::vector<int> marks = Marks(got);
        for (std::size_t k = 0; k < marks.size(); ++k) {
            EXPECT_EQ(marks[k], static_cast<int>(k) * 7 + 1) << length;
        }
        EXPECT_EQ(got.audio.size(),
                  2 * static_cast<std::size_t>(got.lengths.size() > 1 ? got.lengths[1] : 0))
            << length;
        EXPECT_TRUE(got.audio.size() <= audio.size() &&
                    std::equal(got.audio.begin(), got.audio.end(), audio.begin()));
    }
    EXPECT_EQ(lastFrames, 4u);
    EXPECT_EQ(lastAudio, 120u);
}

TEST(AviReaderBadInput, SizesPastTheirParentOrTheEndAndDamagedChunks) {
    TempDir dir;
    const Bytes good = BuildAvi(SmallStreams(), {IndexKind::None});
    const std::size_t strf = Find(good, "strf");
    const std::size_t video2 = Find(good, "00dc", Find(good, "00dc") + 4);
    const auto size = [](std::size_t at, std::uint32_t value) {
        return [at, value](Bytes& b) { kmx::StoreU32(&b[at], value); };
    };
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        std::vector<int> marks; // of the frames read; empty: Open fails
    };
    const Case cases[] = {
        {"hdrl past the file", size(Find(good, "hdrl") - 4, 0x7FFFFFF0), {}},
        {"avih past hdrl", size(Find(good, "avih") + 4, 0x10000), {}},
        {"strf past strl", size(strf + 4, 0xFFFFFFF0), {}},
        {"audio strf past strl", size(Find(good, "strf", strf + 4) + 4, 0x1000), {}},
        // An interrupted writer leaves sizes of 0 or unset: the scan still finds all.
        {"RIFF size 0", size(4, 0), {1, 8, 15, 22}},
        {"RIFF size unset", size(4, 0xFFFFFFFF), {1, 8, 15, 22}},
        {"movi size 0", size(Find(good, "movi") - 4, 0), {1, 8, 15, 22}},
        {"movi size unset", size(Find(good, "movi") - 4, 0xFFFFFFFF), {1, 8, 15, 22}},
        // Without an index, the scan passes over damaged data to the next
        // good chunk instead of ending there: a sample chunk claiming 2 GiB,
        // a chunk id that is none, and a run of garbage over the end of one
        // chunk and the next header cost only the chunks they hit.
        {"third frame past the end",
         size(Find(good, "00dc", video2 + 4) + 4, 0x80000000),
         {1, 8, 22}},
        {"second frame renamed",
         [&](Bytes& b) { std::memcpy(&b[video2], "\x01\xFF\x13\x37", 4); },
         {1, 15, 22}},
        {"smeared",
         [&](Bytes& b) {
             for (std::size_t i = video2 - 6; i < video2 + 40; ++i) {
                 b[i] = static_cast<std::uint8_t>(0xA5 ^ i);
             }
         },
         {1, 15, 22}},
    };
    for (const Case& c : cases) {
        Bytes bytes = good;
        c.damage(bytes);
        ASSERT_TRUE(WriteBytes(dir.File("x.avi"), bytes));
        const Contents got = ReadEverything(dir.File("x.avi"));
        EXPECT_EQ(got.opened, !c.marks.empty()) << c.what;
        EXPECT_EQ(Marks(got), c.marks) << c.what;
    }
}

TEST(AviReaderBadInput, AbsurdFormatsAndRates) {
    TempDir dir;
    const Bytes formats[] = {
        BitmapFormat(0, 4, 24),         BitmapFormat(-8, 4, 24),
        BitmapFormat(8, 0, 24),         BitmapFormat(32769, 4, 24),
        BitmapFormat(8, -32769, 24),    BitmapFormat(8, INT32_MIN, 24),
        BitmapFormat(20000, 20000, 32), BitmapFormat(32767, 32767, 24, Fourcc("MJPG")),
        BitmapFormat(8, 4, 4),          BitmapFormat(8, 4, 24, Fourcc("ZQ9X")),
    };
    for (const Bytes& format : formats) {
        TestStream stream;
        stream.format = format;
        stream.samples = {Bytes(96, 1)};
        CAviReader reader;
        ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
        EXPECT_EQ(reader.GetVideoLength(0), 1);
        EXPECT_FALSE(reader.StartVideoRetrieve(0)) << kmx::LoadI32(&format[4]);
        EXPECT_EQ(FrameMark(reader, 0), -1);
    }

    // A rate or scale of 0 is mended: video from the main header's frame
    // period (25 fps without one), audio from the format.
    TestStream video = RawVideoStream(8, 4, 10);
    video.scale = 0;
    TestStream audio = PcmAudioStream({100});
    audio.rate = 0;
    for (const std::uint32_t period : {33367u, 0u}) {
        BuildOptions options;
        options.microSecPerFrame = period;
        CAviReader reader;
        ASSERT_TRUE(reader.Open(WriteAvi(dir, "b.avi", {video, audio}, options).c_str()));
        AVISTREAMINFOA info{};
        ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
        EXPECT_EQ(info.dwScale, period == 0 ? 1u : 33367u);
        EXPECT_EQ(info.dwRate, period == 0 ? 25u : 1000000u);
        ASSERT_TRUE(reader.StartVideoRetrieve(0));
        EXPECT_EQ(reader.VideoFrameToTime(0, 3), period == 0 ? 120 : 100);
        ASSERT_TRUE(reader.GetAudioStreamInfo(0, &info, 140));
        EXPECT_EQ(info.dwScale, 1u);
        EXPECT_EQ(info.dwRate, 8000u);
        video.rate = 0;
    }
}

TEST(AviReaderBadInput, RandomDamageNeverCrashes) {
    TempDir dir;
    // Raw video, a compressed stream the decoder has to reject, and audio.
    TestStream jpeg;
    jpeg.format = BitmapFormat(16, 16, 24, Fourcc("MJPG"));
    jpeg.samples = {Bytes{0xFF, 0xD8, 0xFF, 0xDB, 0, 4, 1, 2}, Bytes(40, 0x11), Bytes{}};
    std::vector<TestStream> streams = SmallStreams();
    streams.insert(streams.begin(), jpeg);
    const Bytes originals[] = {BuildAvi(SmallStreams()), BuildAvi(streams, {IndexKind::OpenDml, 2}),
                               BuildAvi(SmallStreams(), {IndexKind::Idx1Absolute})};
    std::mt19937 random(20240607);
    int opened = 0;
    for (int round = 0; round < 240; ++round) {
        Bytes bytes = originals[round % 3];
        for (int d = 1 + static_cast<int>(random() % 8); d > 0 && !bytes.empty(); --d) {
            const std::size_t at = random() % bytes.size();
            const std::uint32_t values[] = {
                0, 1, 0x7FFFFFFF, 0xFFFFFFFF, 0x80000000, static_cast<std::uint32_t>(random())};
            switch (random() % 4) {
            case 0:
                bytes[at] = static_cast<std::uint8_t>(random());
                break;
            case 1: // sizes, counts, offsets
                if (at + 4 <= bytes.size()) {
                    kmx::StoreU32(&bytes[at & ~std::size_t{3}], values[random() % 6]);
                }
                break;
            case 2:
                bytes.resize(at);
                break;
            default:
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), 5, 0x30);
                break;
            }
        }
        ASSERT_TRUE(WriteBytes(dir.File("x.avi"), bytes));
        opened += ReadEverything(dir.File("x.avi")).opened ? 1 : 0;
    }
    EXPECT_GT(opened, 40); // the damage does not simply make every file unreadable
}

// Scattered reads (a tall top-down frame's rows) take more pieces than one
// system call does, some of them empty; file and memory give the same bytes
// and refuse reads and pieces that run past the end.
TEST(ByteSource, ReadsAndPiecesFromFileAndMemoryHoldTheBytesInTurn) {
    TempDir dir;
    Bytes bytes(20000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    }
    const std::string path = dir.File("bytes.bin");
    ASSERT_TRUE(WriteBytes(path, bytes));
    kmx::CFileSource file;
    ASSERT_TRUE(file.Open(path.c_str()));
    const kmx::CMemorySource memory(bytes.data(), bytes.size());
    for (const kmx::IByteSource* source : {static_cast<const kmx::IByteSource*>(&file),
                                           static_cast<const kmx::IByteSource*>(&memory)}) {
        Bytes out(3000 * 6, 0);
        std::vector<kmx::ReadPiece> pieces;
        std::size_t total = 0;
        for (std::size_t i = 0; i < 3000; ++i) { // filled back to front
            const std::size_t size = i % 7;
            pieces.push_back({out.data() + out.size() - (i + 1) * 6, size});
            total += size;
        }
        ASSERT_TRUE(source->ReadPiecesAt(100, pieces.data(), pieces.size()));
        std::size_t at = 100;
        for (const kmx::ReadPiece& piece : pieces) {
            const auto* got = static_cast<const std::uint8_t*>(piece.out);
            ASSERT_TRUE(std::equal(got, got + piece.size, bytes.begin() + static_cast<long>(at)));
            at += piece.size;
        }
        EXPECT_EQ(at, 100 + total);
        EXPECT_FALSE(source->ReadPiecesAt(bytes.size() - total + 1, pieces.data(), pieces.size()));
        EXPECT_TRUE(source->ReadPiecesAt(bytes.size() - total, pieces.data(), pieces.size()));
        EXPECT_EQ(source->Size(), bytes.size());
        EXPECT_TRUE(source->ReadAt(bytes.size() - 2, out.data(), 2));
        EXPECT_EQ(out[1], bytes.back());
        EXPECT_TRUE(source->ReadAt(bytes.size(), out.data(), 0));
        EXPECT_FALSE(source->ReadAt(bytes.size() - 1, out.data(), 2));
        EXPECT_FALSE(source->ReadAt(bytes.size() + 1, out.data(), 0));
        EXPECT_FALSE(source->ReadAt(~std::uint64_t{0}, out.data(), 1));
    }
}

} // namespace

// Broken and hostile files: not AVI at all, cut at every byte, sizes past
// their parent or the end, absurd formats and rates, and random damage. Open
// or the operation fails with its documented result; nothing crashes. (The
// fuzz target goes much further.)
#include "media/AviReader.h"
#include "tests/media/AviWriterTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <sys/stat.h>

using namespace avitest;

namespace {

// Four 8x4 frames and 60 audio samples.
std::vector<TestStream> SmallStreams() {
    return {RawVideoStream(8, 4, 4), PcmAudioStream({20, 30, 10})};
}

struct Everything {
    bool opened = false;
    std::int32_t frames = 0;
    std::int32_t audio = 0;
    std::vector<int> marks; // first pixel byte of each frame, -1 for null
    Bytes audioBytes;
};

// Opens the file and reads all it offers, checking that what comes back is
// consistent.
Everything ReadEverything(const std::string& path) {
    Everything out;
    CAviReader reader;
    out.opened = reader.Open(path.c_str());
    if (!out.opened) {
        EXPECT_EQ(reader.GetVideoStreamCount() + reader.GetAudioStreamCount(), 0u);
    }
    AVISTREAMINFOA info{};
    for (std::uint32_t i = 0; i < reader.GetVideoStreamCount() + reader.GetAudioStreamCount();
         ++i) {
        const bool video = i < reader.GetVideoStreamCount();
        const std::uint32_t n = video ? i : i - reader.GetVideoStreamCount();
        EXPECT_TRUE(video ? reader.GetVideoStreamInfo(n, &info, 140)
                          : reader.GetAudioStreamInfo(n, &info, 140));
        EXPECT_EQ(info.dwLength, static_cast<std::uint32_t>(video ? reader.GetVideoLength(n)
                                                                  : reader.GetAudioLength(n)));
        EXPECT_TRUE(info.dwScale != 0 && info.dwRate != 0);
    }
    out.frames = reader.GetVideoLength(0);
    out.audio = reader.GetAudioLength(0);
    if (reader.StartVideoRetrieve(0)) {
        reader.VideoTimeToFrame(0, 1000);
        for (std::int32_t n = 0; n < std::min(out.frames, 50); ++n) {
            out.marks.push_back(FrameMark(reader, n));
        }
    }
    out.audioBytes = ReadAllAudio(reader, 7);
    return out;
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
    // Cut at every byte.
    const std::size_t headersEnd = Find(full, "movi") - 8;
    Bytes audio; // what the audio chunks hold
    for (const Bytes& chunk : streams[1].samples) {
        audio.insert(audio.end(), chunk.begin(), chunk.end());
    }
    std::int32_t lastFrames = 0;
    std::size_t lastAudio = 0;
    for (std::size_t length = 0; length <= full.size(); ++length) {
        ASSERT_TRUE(WriteBytes(dir.File("cut.avi"), Bytes(full.begin(), full.begin() + length)));
        const Everything got = ReadEverything(dir.File("cut.avi"));
        ASSERT_EQ(got.opened, length >= headersEnd) << length;
        // More file never means fewer samples, and what is there is right.
        EXPECT_GE(got.frames, lastFrames) << length;
        EXPECT_GE(got.audioBytes.size(), lastAudio) << length;
        lastFrames = got.frames;
        lastAudio = got.audioBytes.size();
        for (std::size_t k = 0; k < got.marks.size(); ++k) {
            EXPECT_EQ(got.marks[k], static_cast<int>(k) * 7 + 1) << length;
        }
        EXPECT_EQ(got.audioBytes.size(), 2 * static_cast<std::size_t>(got.audio)) << length;
        EXPECT_TRUE(got.audioBytes.size() <= audio.size() &&
                    std::equal(got.audioBytes.begin(), got.audioBytes.end(), audio.begin()));
    }
    EXPECT_EQ(lastFrames, 4);
    EXPECT_EQ(lastAudio, 120u);
}

TEST(AviReaderBadInput, SizesPastTheirParentOrTheEnd) {
    TempDir dir;
    const Bytes good = BuildAvi(SmallStreams(), {IndexKind::None});
    const std::size_t strf = Find(good, "strf");
    const std::size_t video2 = Find(good, "00dc", Find(good, "00dc") + 4);
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t size;
        int frames; // -1: Open fails
    };
    const Case cases[] = {
        {"hdrl past the file", Find(good, "hdrl") - 4, 0x7FFFFFF0, -1},
        {"avih past hdrl", Find(good, "avih") + 4, 0x10000, -1},
        {"strf past strl", strf + 4, 0xFFFFFFF0, -1},
        {"audio strf past strl", Find(good, "strf", strf + 4) + 4, 0x1000, -1},
        // An interrupted writer leaves sizes of 0 or unset: the scan still finds all.
        {"RIFF size 0", 4, 0, 4},
        {"RIFF size unset", 4, 0xFFFFFFFF, 4},
        {"movi size 0", Find(good, "movi") - 4, 0, 4},
        {"movi size unset", Find(good, "movi") - 4, 0xFFFFFFFF, 4},
        // A sample chunk claiming 2 GiB is damaged: it is lost, the scan goes
        // on at the next good chunk after it.
        {"third frame past the end", Find(good, "00dc", video2 + 4) + 4, 0x80000000, 3},
    };
    for (const Case& c : cases) {
        Bytes bytes = good;
        kmx::StoreU32(&bytes[c.at], c.size);
        ASSERT_TRUE(WriteBytes(dir.File("x.avi"), bytes));
        const Everything got = ReadEverything(dir.File("x.avi"));
        EXPECT_EQ(got.opened, c.frames >= 0) << c.what;
        EXPECT_EQ(got.frames, std::max(c.frames, 0)) << c.what;
        std::vector<int> marks = {1, 8, 15, 22};
        if (c.frames == 3) {
            marks.erase(marks.begin() + 2); // the damaged third frame
        }
        marks.resize(static_cast<std::size_t>(std::max(c.frames, 0)));
        EXPECT_EQ(got.marks, marks) << c.what;
    }
}

TEST(AviReaderBadInput, ADamagedChunkHeaderCostsOnlyItsOwnChunk) {
    // Without an index, the scan passes over damaged data to the next good
    // chunk instead of ending there.
    TempDir dir;
    const Bytes good = BuildAvi(SmallStreams(), {IndexKind::None});
    const std::size_t second = Find(good, "00dc", Find(good, "00dc") + 4);
    Bytes renamed = good;
    std::memcpy(&renamed[second], "\x01\xFF\x13\x37", 4);
    ASSERT_TRUE(WriteBytes(dir.File("renamed.avi"), renamed));
    const Everything got = ReadEverything(dir.File("renamed.avi"));
    EXPECT_TRUE(got.opened);
    EXPECT_EQ(got.marks, (std::vector<int>{1, 15, 22}));

    // A run of garbage over the end of one chunk and the next header.
    Bytes smeared = good;
    for (std::size_t i = second - 6; i < second + 40 && i < smeared.size(); ++i) {
        smeared[i] = static_cast<std::uint8_t>(0xA5 ^ i);
    }
    ASSERT_TRUE(WriteBytes(dir.File("smeared.avi"), smeared));
    const Everything after = ReadEverything(dir.File("smeared.avi"));
    EXPECT_TRUE(after.opened);
    ASSERT_FALSE(after.marks.empty());
    EXPECT_EQ(after.marks.front(), 1);
    EXPECT_EQ(after.marks.back(), 22);
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

} // namespace

// Broken and hostile files: not AVI at all, cut at every byte, header
// chunks passing their parent's end, sizes left unfinished by an interrupted
// writer, and random damage. Open or the operation fails with its documented
// result; nothing crashes.
#include "media/AviReader.h"
#include "tests/media/AviReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <sys/stat.h>

using namespace readertest;

namespace {

std::size_t Find(const Bytes& bytes, const char* text, std::size_t from = 0) {
    const std::size_t n = std::strlen(text);
    for (std::size_t i = from; i + n <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, text, n) == 0) {
            return i;
        }
    }
    return std::string::npos;
}

std::vector<TestStream> SmallStreams() {
    return {RawVideoStream(8, 4, 4), PcmAudioStream({20, 30, 10})};
}

struct Everything {
    bool opened = false;
    std::int32_t frames = 0;
    std::int32_t audio = 0;
    std::vector<int> frameMarks; // first pixel byte of each frame, -1 for null
    Bytes audioBytes;
};

// Opens the file and reads everything it offers, checking that whatever
// comes back is consistent.
Everything ReadEverything(const std::string& path) {
    Everything out;
    CAviReader reader;
    out.opened = reader.Open(path.c_str());
    if (!out.opened) {
        EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
        EXPECT_EQ(reader.GetAudioStreamCount(), 0u);
        return out;
    }
    AVISTREAMINFOA info{};
    for (std::uint32_t i = 0; i < reader.GetVideoStreamCount(); ++i) {
        EXPECT_TRUE(reader.GetVideoStreamInfo(i, &info, 140));
        EXPECT_NE(info.dwScale, 0u);
        EXPECT_NE(info.dwRate, 0u);
        EXPECT_GE(reader.GetVideoLength(i), 0);
    }
    for (std::uint32_t i = 0; i < reader.GetAudioStreamCount(); ++i) {
        EXPECT_TRUE(reader.GetAudioStreamInfo(i, &info, 140));
        EXPECT_NE(info.dwScale, 0u);
        EXPECT_NE(info.dwRate, 0u);
        std::int32_t size = 0;
        EXPECT_NE(reader.GetAudioFormat(i, &size), nullptr);
        EXPECT_GE(size, 14);
    }
    out.frames = reader.GetVideoLength(0);
    out.audio = reader.GetAudioLength(0);
    if (reader.GetVideoStreamCount() > 0 && reader.StartVideoRetrieve(0)) {
        reader.VideoFrameToTime(0, out.frames);
        reader.VideoTimeToFrame(0, 1000);
        for (std::int32_t n = 0; n < std::min(out.frames, 50); ++n) {
            const BITMAPINFOHEADER* frame = nullptr;
            reader.GetVideoFrame(0, n, &frame);
            if (frame == nullptr) {
                out.frameMarks.push_back(-1);
                continue;
            }
            EXPECT_GT(frame->biWidth, 0);
            EXPECT_GT(frame->biHeight, 0);
            EXPECT_EQ(frame->biSizeImage,
                      DibStride(frame) * static_cast<std::size_t>(frame->biHeight));
            out.frameMarks.push_back(DibPixels(frame)[0]);
        }
    }
    if (reader.GetAudioStreamCount() > 0) {
        out.audioBytes = ReadAllAudio(reader, 7);
    }
    return out;
}

TEST(AviReaderBadInput, FilesThatAreNoAviDoNotOpen) {
    TempDir dir;
    Bytes riffWave;
    Append(riffWave, ChunkHeader("RIFF", 4));
    PutU32(riffWave, Fourcc("WAVE"));
    Bytes headerOnly;
    Append(headerOnly, ChunkHeader("RIFF", 4));
    PutU32(headerOnly, Fourcc("AVI "));
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"four bytes", {'R', 'I', 'F', 'F'}},
        {"text", Bytes(200, 'a')},
        {"RIFF WAVE", riffWave},
        {"RIFF AVI without headers", headerOnly},
        {"big-endian RIFX", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 4, 'A', 'V', 'I', ' '}},
    };
    for (const auto& [what, bytes] : cases) {
        const std::string path = dir.File("x.avi");
        ASSERT_TRUE(WriteBytes(path, bytes));
        CAviReader reader;
        EXPECT_FALSE(reader.Open(path.c_str())) << what;
    }
    CAviReader reader;
    EXPECT_FALSE(reader.Open(dir.Path().string().c_str())); // a folder
    // A named pipe without writer: refused at once instead of waiting for one.
    const std::string pipe = dir.File("pipe.avi");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(reader.Open(pipe.c_str()));
    EXPECT_FALSE(reader.Open(dir.File("none.avi").c_str()));
    EXPECT_FALSE(reader.Open(""));
}

TEST(AviReaderBadInput, EveryCutOfAFileOpensExactlyWhenItsHeadersAreWhole) {
    TempDir dir;
    BuildOptions withAvix;
    withAvix.index = IndexKind::OpenDml;
    withAvix.extensionFrom = 2;
    BuildOptions records;
    records.recordLists = true;
    for (const BuildOptions& options : {BuildOptions{}, withAvix, records}) {
        const Bytes full = BuildAvi(SmallStreams(), options).bytes;
        const std::size_t headersEnd = Find(full, "movi") - 8;
        const std::string path = dir.File("cut.avi");
        std::int32_t lastFrames = 0;
        std::int32_t lastAudio = 0;
        for (std::size_t length = 0; length <= full.size(); ++length) {
            ASSERT_TRUE(WriteBytes(
                path, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length))));
            const Everything got = ReadEverything(path);
            ASSERT_EQ(got.opened, length >= headersEnd) << length;
            if (!got.opened) {
                continue;
            }
            // More file never means fewer samples, and what is there is right.
            EXPECT_GE(got.frames, lastFrames) << length;
            EXPECT_GE(got.audio, lastAudio) << length;
            lastFrames = got.frames;
            lastAudio = got.audio;
            for (std::size_t k = 0; k < got.frameMarks.size(); ++k) {
                EXPECT_EQ(got.frameMarks[k], static_cast<int>(k) * 7 + 1) << length;
            }
            ASSERT_EQ(got.audioBytes.size(), static_cast<std::size_t>(got.audio) * 2) << length;
            for (std::int32_t i = 0; i < got.audio; ++i) {
                EXPECT_EQ(kmx::LoadU16(got.audioBytes.data() + 2 * i), i) << length;
            }
        }
        EXPECT_EQ(lastFrames, 4);
        EXPECT_EQ(lastAudio, 60);
    }
}

TEST(AviReaderBadInput, HeaderChunksPassingTheirParentFailOpen) {
    TempDir dir;
    const Bytes good = BuildAvi(SmallStreams()).bytes;
    const std::size_t strl = Find(good, "strl");
    struct Case {
        const char* what;
        std::size_t sizeAt;
        std::uint32_t size;
    };
    const Case cases[] = {
        {"hdrl past the file", Find(good, "hdrl") - 4, 0x7FFFFFF0},
        {"avih past hdrl", Find(good, "avih") + 4, 0x10000},
        {"strl past hdrl", strl - 4, 0x10000},
        {"strh past strl", Find(good, "strh") + 4, 0x1000},
        {"strf past strl", Find(good, "strf") + 4, 0xFFFFFFF0},
        {"audio strf past strl", Find(good, "strf", Find(good, "strf") + 4) + 4, 0x1000},
    };
    for (const Case& c : cases) {
        Bytes bytes = good;
        kmx::StoreU32(bytes.data() + c.sizeAt, c.size);
        const std::string path = dir.File("x.avi");
        ASSERT_TRUE(WriteBytes(path, bytes));
        EXPECT_FALSE(ReadEverything(path).opened) << c.what;
    }
}

TEST(AviReaderBadInput, SizesAnInterruptedWriterLeftOpen) {
    TempDir dir;
    const Bytes good = BuildAvi(SmallStreams(), {IndexKind::None}).bytes;
    const std::size_t movieSize = Find(good, "movi") - 4;
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t size;
    };
    const Case cases[] = {
        {"RIFF size 0", 4, 0},
        {"RIFF size unset", 4, 0xFFFFFFFF},
        {"movi size 0", movieSize, 0},
        {"movi size unset", movieSize, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        Bytes bytes = good;
        kmx::StoreU32(bytes.data() + c.at, c.size);
        const std::string path = dir.File("x.avi");
        ASSERT_TRUE(WriteBytes(path, bytes));
        const Everything got = ReadEverything(path);
        ASSERT_TRUE(got.opened) << c.what;
        EXPECT_EQ(got.frames, 4) << c.what;
        EXPECT_EQ(got.audio, 60) << c.what;
        EXPECT_EQ(got.frameMarks, (std::vector<int>{1, 8, 15, 22})) << c.what;
    }
}

TEST(AviReaderBadInput, ChunkSizesPastTheEndInTheMovieEndTheScan) {
    TempDir dir;
    Bytes bytes = BuildAvi(SmallStreams(), {IndexKind::None}).bytes;
    // The third video chunk claims 2 GiB: the scan keeps what lies before it.
    std::size_t at = Find(bytes, "00dc");
    at = Find(bytes, "00dc", at + 4);
    at = Find(bytes, "00dc", at + 4);
    kmx::StoreU32(bytes.data() + at + 4, 0x80000000);
    const std::string path = dir.File("x.avi");
    ASSERT_TRUE(WriteBytes(path, bytes));
    const Everything got = ReadEverything(path);
    ASSERT_TRUE(got.opened);
    EXPECT_EQ(got.frames, 2);
    EXPECT_EQ(got.frameMarks, (std::vector<int>{1, 8}));
}

TEST(AviReaderBadInput, RandomDamageNeverCrashes) {
    TempDir dir;
    // Raw video, a compressed stream the decoder has to reject, and audio.
    TestStream jpeg;
    jpeg.format = BitmapFormat(16, 16, 24, Fourcc("MJPG"));
    jpeg.samples = {Bytes{0xFF, 0xD8, 0xFF, 0xDB, 0, 4, 1, 2}, Bytes(40, 0x11), Bytes{}};
    std::vector<TestStream> streams = SmallStreams();
    streams.insert(streams.begin(), jpeg);
    BuildOptions openDml;
    openDml.index = IndexKind::OpenDml;
    openDml.extensionFrom = 2;
    const Bytes originals[] = {BuildAvi(SmallStreams()).bytes, BuildAvi(streams, openDml).bytes,
                               BuildAvi(SmallStreams(), {IndexKind::Idx1Absolute, true}).bytes};
    std::mt19937 random(20240607);
    const std::string path = dir.File("x.avi");
    int opened = 0;
    for (int round = 0; round < 600; ++round) {
        Bytes bytes = originals[round % 3];
        const int damage = 1 + static_cast<int>(random() % 8);
        for (int d = 0; d < damage; ++d) {
            const std::size_t at = random() % bytes.size();
            switch (random() % 4) {
            case 0: // one byte
                bytes[at] = static_cast<std::uint8_t>(random());
                break;
            case 1: // a 32-bit value at an aligned place: sizes, counts, offsets
                if (at + 4 <= bytes.size()) {
                    const std::uint32_t values[] = {
                        0,          1,          0x7FFFFFFF,
                        0xFFFFFFFF, 0x80000000, static_cast<std::uint32_t>(random())};
                    kmx::StoreU32(bytes.data() + (at & ~std::size_t{3}), values[random() % 6]);
                }
                break;
            case 2: // cut
                bytes.resize(at);
                break;
            default: // a byte run
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), 5,
                             static_cast<std::uint8_t>(random()));
                break;
            }
            if (bytes.empty()) {
                break;
            }
        }
        ASSERT_TRUE(WriteBytes(path, bytes));
        opened += ReadEverything(path).opened ? 1 : 0;
    }
    // The damage should not simply make every file unreadable.
    EXPECT_GT(opened, 100);
}

} // namespace

// Files of other containers that ffmpeg writes, read through CAviReader and
// judged against ffmpeg's own decoding of the same file: the frame count
// against ffprobe's packet count, every frame's pixels forwards and in a
// shuffled order (both sides decode with libavcodec and convert with
// libswscale's unscaled path, so the pixels match exactly), and the PCM audio
// bytes. Turned pictures are compared with ffmpeg's own turning by PSNR.
#include "media/AviReader.h"
#include "media/lavf/LavfMediaSource.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace avitest;

namespace {

constexpr int kHeight = 120;

struct Case {
    const char* name;
    const char* file; // name with the container's extension
    int width;
    const char* args; // ffmpeg's output options, separated by spaces
};

// One second of testsrc2 at 25 frames/s and a 440 Hz tone, then the options.
bool MakeFile(const std::string& path, int width, const std::string& args, double seconds = 1) {
    std::vector<std::string> all = Words("-f lavfi -i testsrc2=size=" + std::to_string(width) +
                                         "x120:rate=25 -f lavfi -i sine=frequency=440:sample_rate="
                                         "48000 -t " +
                                         std::to_string(seconds) + " " + args);
    all.push_back(path);
    std::string errors;
    const bool ok = Ffmpeg(all, &errors);
    EXPECT_TRUE(ok) << errors;
    return ok;
}

// The frame's pixels top-down, each as blue, green, red (a fourth byte of a
// 32-bit frame left out).
Bytes FrameBgr(const BITMAPINFOHEADER* dib) {
    const Bytes rows = DibRowsTopDown(dib);
    if (dib->biBitCount == 24) {
        return rows;
    }
    Bytes bgr;
    for (std::size_t i = 0; i + 3 < rows.size(); i += 4) {
        bgr.insert(bgr.end(), rows.begin() + static_cast<std::ptrdiff_t>(i),
                   rows.begin() + static_cast<std::ptrdiff_t>(i + 3));
    }
    return bgr;
}

std::vector<Bytes> ReadFrames(CAviReader& reader, const std::vector<std::int32_t>& order) {
    std::vector<Bytes> frames(order.size());
    for (const std::int32_t n : order) {
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, n, &dib);
        if (dib == nullptr) {
            ADD_FAILURE() << "frame " << n << " did not decode";
            continue;
        }
        frames[static_cast<std::size_t>(n)] = FrameBgr(dib);
    }
    return frames;
}

std::vector<std::int32_t> Forwards(std::int32_t count) {
    std::vector<std::int32_t> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    return order;
}

// Frame i of raw frames of `size` bytes each.
Bytes Slice(const Bytes& frames, std::size_t size, std::size_t i) {
    return {frames.begin() + static_cast<std::ptrdiff_t>(size * i),
            frames.begin() + static_cast<std::ptrdiff_t>(size * (i + 1))};
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class LavfReaderInterop : public testing::TestWithParam<Case> {};

TEST_P(LavfReaderInterop, FramesAndAudioMatchFfmpeg) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    const Case& c = GetParam();
    TempDir dir;
    const std::string path = dir.File(c.file);
    ASSERT_TRUE(MakeFile(path, c.width, c.args));
    const Bytes video = FfmpegVideo(path, "bgr24");
    const Bytes audio = FfmpegAudio(path);
    const std::size_t frameSize = static_cast<std::size_t>(c.width) * 3 * kHeight;
    ASSERT_FALSE(video.empty());
    ASSERT_EQ(video.size() % frameSize, 0u);

    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_EQ(reader.GetVideoStreamCount(), 1u);
    const std::int32_t count = reader.GetVideoLength(0);
    EXPECT_EQ(count, ProbeVideoPackets(path));
    ASSERT_EQ(static_cast<std::size_t>(count), video.size() / frameSize);
    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, sizeof info));
    EXPECT_EQ(info.fccType, Fourcc("vids"));
    EXPECT_EQ(info.dwRate * 1.0 / info.dwScale, 25.0);
    EXPECT_EQ(info.rcFrame.right, c.width);
    EXPECT_EQ(info.rcFrame.bottom, kHeight);

    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    // 24 bits when such rows fill whole 4-byte words, else 32 without padding.
    const BITMAPINFOHEADER* dib = nullptr;
    reader.GetVideoFrame(0, 1, &dib);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->biBitCount, c.width % 4 == 0 ? 24 : 32);
    EXPECT_EQ(dib->biSizeImage,
              static_cast<std::uint32_t>(c.width * dib->biBitCount / 8 * kHeight));
    const std::vector<Bytes> forwards = ReadFrames(reader, Forwards(count));
    for (std::size_t i = 0; i < forwards.size(); ++i) {
        ASSERT_TRUE(forwards[i] == Slice(video, frameSize, i)) << "frame " << i;
    }
    std::vector<std::int32_t> shuffled = Forwards(count);
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    EXPECT_TRUE(ReadFrames(reader, shuffled) == forwards);

    ASSERT_EQ(reader.GetAudioStreamCount(), 1u);
    EXPECT_EQ(ReadAllAudio(reader, 1000), audio);
    ASSERT_TRUE(reader.GetAudioStreamInfo(0, &info, sizeof info));
    EXPECT_EQ(info.fccType, Fourcc("auds"));
    EXPECT_EQ(info.dwSampleSize * static_cast<std::size_t>(info.dwLength), audio.size());
}

INSTANTIATE_TEST_SUITE_P(
    Containers, LavfReaderInterop,
    testing::Values(
        Case{"Mp4H264Aac", "made.mp4", 160, "-c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p -c:a aac"},
        Case{"MkvMpeg4Vorbis", "made.mkv", 160, "-c:v mpeg4 -bf 2 -g 10 -c:a libvorbis"},
        Case{"MovH264Pcm", "made.mov", 160, "-c:v libx264 -g 10 -pix_fmt yuv420p -c:a pcm_s16le"},
        Case{"WebmVp9Opus", "made.webm", 160,
             "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 10 -c:a libopus"},
        Case{"MpegTsH264Mp2", "made.ts", 160, "-c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p -c:a mp2"},
        // Rows of 24 bits at this width need padding: 32-bit frames.
        Case{"Width854", "wide.mp4", 854, "-c:v libx264 -g 10 -pix_fmt yuv420p -c:a aac"}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(LavfReader, TurnedPhoneVideoComesOutUpright) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    for (const int rotate : {90, 180, 270}) {
        // ffmpeg 5.1 writes the display matrix from the rotate tag when it
        // copies the stream.
        const std::string plain = dir.File("plain.mp4");
        ASSERT_TRUE(MakeFile(plain, 160, "-frames:v 5 -c:v libx264 -pix_fmt yuv420p -an"));
        const std::string path = dir.File("turned" + std::to_string(rotate) + ".mp4");
        std::string errors;
        ASSERT_TRUE(Ffmpeg(
            {"-i", plain, "-c", "copy", "-metadata:s:v", "rotate=" + std::to_string(rotate), path},
            &errors))
            << errors;
        // ffmpeg turns the pictures itself by the display matrix.
        const Bytes upright = FfmpegVideo(path, "bgr24");
        const bool sideways = rotate != 180;
        const int width = sideways ? kHeight : 160;
        const int height = sideways ? 160 : kHeight;
        const std::size_t frameSize = static_cast<std::size_t>(width) * 3 * height;
        ASSERT_EQ(upright.size(), frameSize * 5);

        CAviReader reader;
        ASSERT_TRUE(reader.Open(path.c_str()));
        AVISTREAMINFOA info{};
        ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, sizeof info));
        EXPECT_EQ(info.rcFrame.right, width);
        EXPECT_EQ(info.rcFrame.bottom, height);
        ASSERT_TRUE(reader.StartVideoRetrieve(0));
        const std::vector<Bytes> frames = ReadFrames(reader, Forwards(5));
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_GT(Psnr(frames[i], Slice(upright, frameSize, i)), 45.0)
                << rotate << " degrees, frame " << i;
        }
    }
}

struct SeekCase {
    const char* file;
    const char* args;
};

void PrintTo(const SeekCase& c, std::ostream* os) {
    *os << c.file;
}

class LavfReaderSeeking : public testing::TestWithParam<SeekCase> {};

TEST_P(LavfReaderSeeking, BackwardReadingSeeksAndMatchesForwards) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string path = dir.File(GetParam().file);
    ASSERT_TRUE(MakeFile(path, 160, std::string(GetParam().args) + " -g 12 -an", 4));
    kmx::CLavfMediaSource reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_EQ(reader.GetVideoLength(0), 100);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    std::vector<Bytes> forwards;
    for (std::int32_t i = 0; i < 100; ++i) {
        forwards.push_back(FrameRows(reader, i));
    }
    EXPECT_EQ(reader.VideoSeeks(), 0u);
    for (std::int32_t i = 99; i >= 0; --i) {
        EXPECT_TRUE(FrameRows(reader, i) == forwards[static_cast<std::size_t>(i)]) << i;
    }
    EXPECT_GT(reader.VideoSeeks(), 0u);
    // The demuxer seeks to every key packet: no jump reads from the start.
    EXPECT_EQ(reader.VideoRewinds(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Containers, LavfReaderSeeking,
                         testing::Values(SeekCase{"b.mp4", "-c:v libx264 -bf 2 -pix_fmt yuv420p"},
                                         SeekCase{"b.mkv", "-c:v libx264 -bf 2 -pix_fmt yuv420p"},
                                         SeekCase{"b.webm", "-c:v libvpx -deadline realtime"},
                                         SeekCase{"b.ts", "-c:v mpeg2video -bf 2"},
                                         SeekCase{"b.flv", "-c:v flv1"}),
                         [](const testing::TestParamInfo<SeekCase>& param) {
                             const std::string file = param.param.file;
                             return file.substr(file.find('.') + 1);
                         });

TEST(LavfReader, DamagedFilesFailCleanlyOrReadWhatIsThere) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    for (const char* flags : {"", "-movflags +faststart"}) {
        const std::string path = dir.File("whole.mp4");
        ASSERT_TRUE(
            MakeFile(path, 160, std::string("-c:v libx264 -pix_fmt yuv420p -c:a aac ") + flags, 2));
        Bytes bytes = ReadWholeFile(path);
        bytes.resize(bytes.size() * 6 / 10);
        const std::string cut = dir.File("cut.mp4");
        ASSERT_TRUE(WriteBytes(cut, bytes));
        CAviReader reader;
        if (!reader.Open(cut.c_str())) {
            EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
            continue;
        }
        // What is there is read; frames past the cut may be missing.
        ASSERT_TRUE(reader.StartVideoRetrieve(0));
        EXPECT_GT(reader.GetVideoLength(0), 0);
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, 0, &dib);
        EXPECT_NE(dib, nullptr);
        for (std::int32_t i = reader.GetVideoLength(0) - 1; i >= 0; --i) {
            reader.GetVideoFrame(0, i, &dib);
        }
        if (reader.GetAudioStreamCount() > 0) {
            EXPECT_FALSE(ReadAllAudio(reader, 4096).empty());
        }
    }
    Bytes garbage(100000);
    std::mt19937 random(3);
    std::generate(garbage.begin(), garbage.end(),
                  [&] { return static_cast<std::uint8_t>(random()); });
    const std::string junk = dir.File("junk.mp4");
    ASSERT_TRUE(WriteBytes(junk, garbage));
    CAviReader reader;
    EXPECT_FALSE(reader.Open(junk.c_str()));
    EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
    EXPECT_EQ(reader.GetAudioStreamCount(), 0u);
}

TEST(LavfReader, ColourFieldsOutsideTheirRangeAreTakenAsUnknown) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string made = dir.File("made.mpg");
    ASSERT_TRUE(MakeFile(made, 160, "-frames:v 10 -c:v mpeg2video -colorspace bt709 -an"));
    // The sequence display extension (00 00 01 B5, identifier 2, colour
    // description present) names BT.709 primaries, transfer and matrix (1 1 1);
    // the matrix becomes 39, which no colour space has.
    Bytes bytes = ReadWholeFile(made);
    int patched = 0;
    for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0xB5 &&
            (bytes[i + 4] >> 4) == 2 && (bytes[i + 4] & 1) == 1 && bytes[i + 7] == 1) {
            bytes[i + 7] = 39;
            ++patched;
        }
    }
    ASSERT_GT(patched, 0);
    const std::string path = dir.File("odd.mpg");
    ASSERT_TRUE(WriteBytes(path, bytes));
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    ASSERT_EQ(reader.GetVideoLength(0), 10);
    // Decoded as an unknown colour space: as ffmpeg does.
    const Bytes video = FfmpegVideo(path, "bgr24");
    const std::vector<Bytes> frames = ReadFrames(reader, Forwards(10));
    ASSERT_EQ(video.size(), std::size_t{160} * 3 * kHeight * 10);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(frames[i] == Slice(video, std::size_t{160} * 3 * kHeight, i)) << "frame " << i;
    }
}

TEST(LavfReader, AviFilesStayWithTheAviReader) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string path = dir.File("made.avi");
    ASSERT_TRUE(MakeFile(path, 160, "-c:v mpeg4 -c:a pcm_s16le"));
    // A damaged AVI is not handed to libavformat, which would read it.
    Bytes bytes = ReadWholeFile(path);
    const std::size_t hdrl = Find(bytes, "hdrl");
    ASSERT_NE(hdrl, std::string::npos);
    std::fill(bytes.begin() + 12, bytes.begin() + static_cast<std::ptrdiff_t>(hdrl) + 4, 0xEE);
    const std::string broken = dir.File("broken.avi");
    ASSERT_TRUE(WriteBytes(broken, bytes));
    CAviReader reader;
    EXPECT_TRUE(reader.Open(path.c_str()));
    EXPECT_FALSE(reader.Open(broken.c_str()));
}

} // namespace

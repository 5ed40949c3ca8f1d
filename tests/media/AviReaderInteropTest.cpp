// Files that ffmpeg writes, read back: lengths, stream information, audio
// bytes and pixels, judged against ffmpeg's own decoding of the same file.
#include "media/AviReader.h"
#include "tests/media/AviReaderTestSupport.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace readertest;

namespace {

constexpr int kFrames = 25;

// One second of testsrc at 25 fps with a 440 Hz mono PCM tone.
std::string MakeInput(const TempDir& dir, const std::string& name, int width, int height,
                      const std::vector<std::string>& videoArgs) {
    const std::string path = dir.File(name);
    std::vector<std::string> args = {
        "-f", "lavfi",
        "-i", "testsrc=size=" + std::to_string(width) + "x" + std::to_string(height) + ":rate=25",
        "-f", "lavfi",
        "-i", "sine=frequency=440:sample_rate=44100",
        "-t", "1"};
    args.insert(args.end(), videoArgs.begin(), videoArgs.end());
    args.insert(args.end(), {"-c:a", "pcm_s16le", path});
    std::string errors;
    EXPECT_TRUE(Ffmpeg(args, &errors)) << errors;
    return path;
}

struct Expectation {
    int bitCount = 24;
    std::string ffmpegFormat = "bgr24";
    int bytesPerPixel = 3;
};

// Opens the file, checks lengths and stream information, and compares every
// frame (read forwards, then a few out of order) with ffmpeg's decoding of
// the same file. Both decode with libavcodec and convert with libswscale the
// way ffmpeg's default conversion does, so even lossy codecs match exactly.
void CheckAgainstFfmpeg(const std::string& path, int width, int height,
                        const Expectation& expected) {
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_EQ(reader.GetVideoStreamCount(), 1u);
    ASSERT_EQ(reader.GetAudioStreamCount(), 1u);
    EXPECT_EQ(reader.GetVideoLength(0), kFrames);
    EXPECT_EQ(reader.GetAudioLength(0), 44100);

    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
    EXPECT_EQ(info.fccType, Fourcc("vids"));
    EXPECT_EQ(static_cast<double>(info.dwRate) / info.dwScale, 25.0);
    EXPECT_EQ(info.dwLength, static_cast<std::uint32_t>(kFrames));
    EXPECT_EQ(info.rcFrame.right - info.rcFrame.left, width);
    EXPECT_EQ(info.rcFrame.bottom - info.rcFrame.top, height);
    ASSERT_TRUE(reader.GetAudioStreamInfo(0, &info, 140));
    EXPECT_EQ(info.fccType, Fourcc("auds"));
    EXPECT_EQ(info.dwSampleSize, 2u);
    EXPECT_EQ(static_cast<double>(info.dwRate) / info.dwScale, 44100.0);
    std::int32_t formatSize = 0;
    const std::uint8_t* format = reader.GetAudioFormat(0, &formatSize);
    ASSERT_NE(format, nullptr);
    ASSERT_GE(formatSize, 16);
    EXPECT_EQ(kmx::LoadU16(format), 1);          // PCM
    EXPECT_EQ(kmx::LoadU16(format + 2), 1);      // mono
    EXPECT_EQ(kmx::LoadU32(format + 4), 44100u); // samples per second

    const std::vector<Bytes> reference =
        FfmpegFrames(path, expected.ffmpegFormat, expected.bytesPerPixel, width, height);
    ASSERT_EQ(reference.size(), static_cast<std::size_t>(kFrames));

    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    auto check = [&](int n) {
        const BITMAPINFOHEADER* frame = nullptr;
        reader.GetVideoFrame(0, n, &frame);
        ASSERT_NE(frame, nullptr) << "frame " << n;
        EXPECT_EQ(frame->biSize, 40u);
        EXPECT_EQ(frame->biWidth, width);
        EXPECT_EQ(frame->biHeight, height);
        EXPECT_EQ(frame->biBitCount, expected.bitCount);
        EXPECT_EQ(frame->biCompression, 0u);
        EXPECT_EQ(frame->biClrUsed, 0u);
        EXPECT_EQ(frame->biSizeImage, DibStride(frame) * static_cast<std::size_t>(height));
        const Bytes ours = DibRowsTopDown(frame);
        const Bytes& theirs = reference[static_cast<std::size_t>(n)];
        EXPECT_TRUE(ours == theirs) << "frame " << n << ": PSNR " << Psnr(ours, theirs) << " dB";
    };
    for (int n = 0; n < kFrames; ++n) {
        check(n);
    }
    for (const int n : {17, 3, 24, 0, 12, 13, 11}) {
        check(n);
    }
}

Bytes FfmpegAudio(const std::string& path) {
    std::string output;
    RunTool({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "s16le", "-"},
            &output);
    return Bytes(output.begin(), output.end());
}

class AviReaderInterop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg is not installed; this interoperability test needs it";
        }
    }
    TempDir dir_;
};

TEST_F(AviReaderInterop, RawBgr24StoredTopDownWithUnpaddedWidth) {
    // 162 x 3 = 486 bytes per row: ffmpeg pads the rows in the file to 488.
    const std::string path =
        MakeInput(dir_, "raw24.avi", 162, 120, {"-c:v", "rawvideo", "-pix_fmt", "bgr24"});
    CheckAgainstFfmpeg(path, 162, 120, {});
}

TEST_F(AviReaderInterop, RawBgr24StoredBottomUp) {
    const std::string path =
        MakeInput(dir_, "raw24up.avi", 160, 120,
                  {"-c:v", "rawvideo", "-pix_fmt", "bgr24", "-flipped_raw_rgb", "1"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, Raw32Bit) {
    const std::string path =
        MakeInput(dir_, "raw32.avi", 160, 120, {"-c:v", "rawvideo", "-pix_fmt", "bgra"});
    CheckAgainstFfmpeg(path, 160, 120, {32, "bgra", 4});
}

TEST_F(AviReaderInterop, Raw16Bit555) {
    const std::string path =
        MakeInput(dir_, "raw16.avi", 162, 120, {"-c:v", "rawvideo", "-pix_fmt", "rgb555le"});
    CheckAgainstFfmpeg(path, 162, 120, {16, "rgb555le", 2});
}

TEST_F(AviReaderInterop, Raw8BitWithPalette) {
    const std::string path =
        MakeInput(dir_, "raw8.avi", 162, 120, {"-c:v", "rawvideo", "-pix_fmt", "pal8"});
    CheckAgainstFfmpeg(path, 162, 120, {8, "bgr24", 3});
}

TEST_F(AviReaderInterop, HuffyuvRgbIsExact) {
    const std::string path =
        MakeInput(dir_, "hfyu.avi", 160, 120, {"-c:v", "huffyuv", "-pix_fmt", "bgra"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, HuffyuvYuv) {
    const std::string path =
        MakeInput(dir_, "hfyuv.avi", 160, 120, {"-c:v", "huffyuv", "-pix_fmt", "yuv422p"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, Ffv1RgbWithKeyFramesEveryFiveIsExact) {
    const std::string path =
        MakeInput(dir_, "ffv1.avi", 160, 120, {"-c:v", "ffv1", "-pix_fmt", "bgr0", "-g", "5"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, Ffv1Yuv) {
    const std::string path = MakeInput(dir_, "ffv1y.avi", 160, 120, {"-c:v", "ffv1"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, Mjpeg) {
    const std::string path = MakeInput(dir_, "mjpg.avi", 160, 120, {"-c:v", "mjpeg", "-q:v", "3"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, Mpeg4WithKeyFramesEveryTen) {
    const std::string path =
        MakeInput(dir_, "mp4v.avi", 160, 120, {"-c:v", "mpeg4", "-q:v", "3", "-g", "10"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, Mpeg4WithBFramesComesOutInDisplayOrder) {
    const std::string path = MakeInput(dir_, "mp4b.avi", 160, 120,
                                       {"-c:v", "mpeg4", "-q:v", "3", "-g", "12", "-bf", "2"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, H264WithBFramePyramid) {
    std::string encoders;
    RunTool({"ffmpeg", "-hide_banner", "-encoders"}, &encoders);
    if (encoders.find("libx264") == std::string::npos) {
        GTEST_SKIP() << "this ffmpeg has no libx264 encoder";
    }
    const std::string path = MakeInput(dir_, "h264.avi", 160, 120,
                                       {"-c:v", "libx264", "-preset", "fast", "-g", "8", "-bf", "3",
                                        "-b-pyramid", "normal", "-pix_fmt", "yuv420p"});
    CheckAgainstFfmpeg(path, 160, 120, {});
}

TEST_F(AviReaderInterop, AudioBytesMatchFfmpeg) {
    const std::string path =
        MakeInput(dir_, "audio.avi", 160, 120, {"-c:v", "rawvideo", "-pix_fmt", "bgr24"});
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    const Bytes expected = FfmpegAudio(path);
    ASSERT_EQ(expected.size(), 88200u);
    EXPECT_EQ(ReadAllAudio(reader, 1000), expected);
    EXPECT_EQ(ReadAllAudio(reader, 44100), expected);
}

TEST_F(AviReaderInterop, FileCutShortReadsWhatExists) {
    for (const std::vector<std::string>& codec :
         {std::vector<std::string>{"-c:v", "rawvideo", "-pix_fmt", "bgr24"},
          std::vector<std::string>{"-c:v", "mpeg4", "-g", "6"}}) {
        const std::string full = MakeInput(dir_, "full.avi", 160, 120, codec);
        Bytes bytes = ReadWholeFile(full);
        bytes.resize(bytes.size() * 7 / 10);
        const std::string cut = dir_.File("cut.avi");
        ASSERT_TRUE(WriteBytes(cut, bytes));

        CAviReader whole;
        CAviReader part;
        ASSERT_TRUE(whole.Open(full.c_str()));
        ASSERT_TRUE(part.Open(cut.c_str()));
        const std::int32_t frames = part.GetVideoLength(0);
        EXPECT_GT(frames, 10) << codec[1];
        EXPECT_LT(frames, kFrames) << codec[1];
        AVISTREAMINFOA info{};
        ASSERT_TRUE(part.GetVideoStreamInfo(0, &info, 140));
        EXPECT_EQ(info.dwLength, static_cast<std::uint32_t>(frames));
        // Every frame that exists is the full file's frame, read in any order.
        ASSERT_TRUE(whole.StartVideoRetrieve(0));
        ASSERT_TRUE(part.StartVideoRetrieve(0));
        std::vector<int> order;
        for (int n = frames - 1; n >= 0; n -= 4) {
            order.push_back(n);
        }
        for (int n = 0; n < frames; ++n) {
            order.push_back(n);
        }
        for (const int n : order) {
            const BITMAPINFOHEADER* a = nullptr;
            const BITMAPINFOHEADER* b = nullptr;
            whole.GetVideoFrame(0, n, &a);
            ASSERT_NE(a, nullptr);
            const Bytes expected = DibRowsTopDown(a);
            part.GetVideoFrame(0, n, &b);
            ASSERT_NE(b, nullptr) << codec[1] << " frame " << n;
            EXPECT_EQ(DibRowsTopDown(b), expected) << codec[1] << " frame " << n;
        }
        const BITMAPINFOHEADER* beyond = nullptr;
        part.GetVideoFrame(0, frames, &beyond);
        EXPECT_EQ(beyond, nullptr);
        // The audio that exists is the full file's audio.
        const Bytes audio = ReadAllAudio(part, 999);
        const Bytes fullAudio = ReadAllAudio(whole, 999);
        EXPECT_EQ(audio.size(), static_cast<std::size_t>(part.GetAudioLength(0)) * 2);
        EXPECT_GT(audio.size(), 0u);
        ASSERT_LE(audio.size(), fullAudio.size());
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), fullAudio.begin()));
        std::filesystem::remove(full);
    }
}

} // namespace

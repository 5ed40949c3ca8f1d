// Files we write, judged by Debian's ffprobe and ffmpeg: stream properties
// and frame counts, and the decoded pixels and audio samples compared with
// what we wrote.
#include "media/AviWriter.h"
#include "media/TestPattern.h"

#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace avitest;

namespace {

struct Case {
    int bitsPerPixel;
    int width;
    int height;
    bool audio;
    std::uint32_t rate;
    std::uint32_t scale;
    std::uint32_t audioRate;
    int channels;
    const char* pixelFormat; // as ffmpeg names the decoded frames
};

std::string Name(const Case& c) {
    return std::to_string(c.bitsPerPixel) + "bit_" + std::to_string(c.width) + "x" +
           std::to_string(c.height) + (c.audio ? "_audio" : "_silent");
}

class UncompressedFile : public ::testing::TestWithParam<Case> {};

TEST_P(UncompressedFile, IsReadBackExactlyByFfmpeg) {
    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("ffmpeg");
    const Case& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("sample.avi");
    kmx::SampleAviOptions o;
    o.width = c.width;
    o.height = c.height;
    o.bitsPerPixel = c.bitsPerPixel;
    o.frames = 12;
    o.rate = c.rate;
    o.scale = c.scale;
    o.audio = c.audio;
    o.audioRate = c.audioRate;
    o.audioChannels = c.channels;
    o.patternOffset = 100;
    std::string error;
    ASSERT_TRUE(kmx::WriteSampleAvi(path, o, &error)) << error;

    std::string errors;
    auto p = ProbeStreams(path, &errors);
    ASSERT_FALSE(p.empty()) << errors;
    EXPECT_EQ(p["stream.0.codec_type"], "video");
    EXPECT_EQ(p["stream.0.codec_name"], "rawvideo");
    EXPECT_EQ(p["stream.0.codec_tag"], "0x0000"); // BI_RGB
    EXPECT_EQ(p["stream.0.pix_fmt"], c.pixelFormat);
    EXPECT_EQ(p["stream.0.width"], std::to_string(c.width));
    EXPECT_EQ(p["stream.0.height"], std::to_string(c.height));
    EXPECT_EQ(p["stream.0.nb_frames"], "12");
    EXPECT_EQ(p["stream.0.nb_read_frames"], "12");
    EXPECT_EQ(p["stream.0.r_frame_rate"], std::to_string(c.rate) + "/" + std::to_string(c.scale));
    if (c.audio) {
        const std::int64_t samples = kmx::TestAudioFirstSample(12, o);
        EXPECT_EQ(p["stream.1.codec_type"], "audio");
        EXPECT_EQ(p["stream.1.codec_name"], "pcm_s16le");
        EXPECT_EQ(p["stream.1.codec_tag"], "0x0001");
        EXPECT_EQ(p["stream.1.sample_rate"], std::to_string(c.audioRate));
        EXPECT_EQ(p["stream.1.channels"], std::to_string(c.channels));
        EXPECT_EQ(p["stream.1.nb_frames"], std::to_string(samples));

        std::vector<std::int16_t> sound;
        ASSERT_TRUE(DecodeAudio(path, &sound));
        ASSERT_EQ(sound.size(), static_cast<std::size_t>(samples) * c.channels);
        for (std::int64_t i = 0; i < samples; ++i) {
            for (int ch = 0; ch < c.channels; ++ch) {
                ASSERT_EQ(sound[static_cast<std::size_t>(i * c.channels + ch)],
                          kmx::TestAudioValue(i, ch))
                    << "sample " << i << " channel " << ch;
            }
        }
    } else {
        EXPECT_EQ(p.count("stream.1.codec_type"), 0u);
    }

    std::vector<std::uint8_t> raw;
    ASSERT_TRUE(DecodeVideo(path, &raw));
    const std::size_t frameBytes =
        static_cast<std::size_t>(c.width) * c.height * (c.bitsPerPixel / 8);
    ASSERT_EQ(raw.size(), 12 * frameBytes);
    std::vector<std::uint8_t> dib(kmx::TestPatternFrameBytes(c.width, c.height, c.bitsPerPixel));
    for (int k = 0; k < 12; ++k) {
        kmx::FillTestPatternFrame(dib.data(), c.width, c.height, c.bitsPerPixel, k + 100);
        const auto expected = DibToTopDown(dib.data(), c.width, c.height, c.bitsPerPixel);
        const std::vector<std::uint8_t> got(
            raw.begin() + static_cast<std::ptrdiff_t>(k * frameBytes),
            raw.begin() + static_cast<std::ptrdiff_t>((k + 1) * frameBytes));
        EXPECT_TRUE(got == expected) << "frame " << k << " differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, UncompressedFile,
                         ::testing::Values(Case{16, 161, 90, false, 25, 1, 44100, 2, "rgb555le"},
                                           Case{16, 161, 90, true, 25, 1, 22050, 1, "rgb555le"},
                                           Case{24, 322, 120, false, 25, 1, 44100, 2, "bgr24"},
                                           Case{24, 322, 120, true, 30000, 1001, 48000, 2, "bgr24"},
                                           Case{32, 160, 120, false, 25, 1, 44100, 2, "bgra"},
                                           Case{32, 160, 120, true, 24, 1, 44100, 2, "bgra"}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return Name(info.param);
                         });

TEST(AviWriterInterop, DropFramesKeepTheTimingOfLaterFrames) {
    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string path = dir.File("drops.avi");
    constexpr int kW = 96;
    constexpr int kH = 64;
    const std::int32_t bytes = static_cast<std::int32_t>(kmx::TestPatternFrameBytes(kW, kH, 24));
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kW, kH)));
    const auto vf = VideoFormat(kW, kH, 24);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(bytes));
    const std::vector<int> dropped = {3, 4, 7};
    for (int k = 0; k < 10; ++k) {
        kmx::FillTestPatternFrame(frame.data(), kW, kH, 24, k);
        const bool drop = std::find(dropped.begin(), dropped.end(), k) != dropped.end();
        EXPECT_EQ(w.WriteVideoFrame(drop ? nullptr : frame.data(), bytes, 1), !drop);
    }
    ASSERT_TRUE(w.Close());

    std::string errors;
    auto p = ProbeStreams(path, &errors);
    EXPECT_EQ(p["stream.0.nb_frames"], "10") << errors; // the stream still lasts ten frames
    EXPECT_EQ(p["stream.0.nb_read_frames"], "7");

    // The frames that exist carry their own time stamps.
    std::string out;
    ASSERT_EQ(RunTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                       "packet=pts", "-of", "csv=p=0", path},
                      &out),
              0);
    std::vector<int> pts;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            pts.push_back(std::stoi(line));
        }
    }
    EXPECT_EQ(pts, (std::vector<int>{0, 1, 2, 5, 6, 8, 9}));

    std::vector<std::uint8_t> raw;
    ASSERT_TRUE(DecodeVideo(path, &raw));
    const std::size_t frameBytes = static_cast<std::size_t>(kW) * kH * 3;
    ASSERT_EQ(raw.size(), 7 * frameBytes);
    std::vector<int> numbers;
    for (std::size_t i = 0; i < 7; ++i) {
        const auto dib = TopDownToDib(raw.data() + i * frameBytes, kW, kH, 24);
        numbers.push_back(kmx::ReadTestPatternNumber(dib.data(), kW, kH, 24));
    }
    EXPECT_EQ(numbers, pts);
}

TEST(AviWriterInterop, CompressedFramesKeepTheirCodecTag) {
    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    constexpr int kW = 320;
    constexpr int kH = 240;
    constexpr int kFrames = 6;
    kmx::SampleAviOptions o;
    o.width = kW;
    o.height = kH;
    o.frames = kFrames;
    const std::string source = dir.File("source.avi");
    std::string error;
    ASSERT_TRUE(kmx::WriteSampleAvi(source, o, &error)) << error;
    // ffmpeg makes the JPEG pictures; our writer wraps them as MJPG frames.
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-nostdin", "-i", source, "-c:v", "mjpeg", "-f",
                       "image2", dir.File("f%02d.jpg")}),
              0);
    const std::uint32_t mjpg = MakeFourcc('M', 'J', 'P', 'G');
    const std::string path = dir.File("mjpeg.avi");
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kW, kH, 25, 1, mjpg)));
    const auto vf = VideoFormat(kW, kH, 24, mjpg);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    for (int k = 0; k < kFrames; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d.jpg", k + 1);
        std::ifstream in(dir.File(name), std::ios::binary);
        const std::string jpeg((std::istreambuf_iterator<char>(in)), {});
        ASSERT_FALSE(jpeg.empty());
        ASSERT_TRUE(w.WriteVideoFrame(jpeg.data(), static_cast<std::int32_t>(jpeg.size()), 1));
    }
    ASSERT_TRUE(w.Close());

    std::string errors;
    auto p = ProbeStreams(path, &errors);
    EXPECT_EQ(p["stream.0.codec_name"], "mjpeg") << errors;
    EXPECT_EQ(p["stream.0.codec_tag_string"], "MJPG");
    EXPECT_EQ(p["stream.0.nb_read_frames"], std::to_string(kFrames));
    std::vector<std::uint8_t> raw;
    ASSERT_TRUE(DecodeVideo(path, &raw, {"-pix_fmt", "bgr24"}));
    const std::size_t frameBytes = static_cast<std::size_t>(kW) * kH * 3;
    ASSERT_EQ(raw.size(), kFrames * frameBytes);
    for (int k = 0; k < kFrames; ++k) {
        const auto dib =
            TopDownToDib(raw.data() + static_cast<std::size_t>(k) * frameBytes, kW, kH, 24);
        EXPECT_EQ(kmx::ReadTestPatternNumber(dib.data(), kW, kH, 24), k);
    }
}

} // namespace

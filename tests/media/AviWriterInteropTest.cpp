// Files we write, judged by Debian's ffprobe and ffmpeg: stream properties,
// frame counts and times (also around drop frames), the exact decoded pixels
// and the audio samples. And the test pattern: frame numbers read back after
// ffmpeg converted a sample file between 16, 24 and 32 bits, and after lossy
// compression.
#include "media/AviWriter.h"
#include "pattern/TestPattern.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using namespace avitest;

constexpr int kFrames = 12;
constexpr int kHeight = 90;
constexpr int kSamplesPerFrame = 1764; // 44100 Hz at 25 fps

struct Case {
    int bits;
    int width; // 161 and 322: rows that need padding
    bool audio;
    bool drops; // frames 3, 4 and 7 fail and stay empty
    const char* pixelFormat;
};

class AviWriterInterop : public testing::TestWithParam<Case> {};

// The audio of frame k, stereo: a value of its own for every sample and channel.
Bytes FrameSound(int k) {
    Bytes sound(4 * kSamplesPerFrame);
    for (int i = 0; i < 2 * kSamplesPerFrame; ++i) {
        kmx::StoreI16(&sound[2 * static_cast<std::size_t>(i)],
                      kmx::TestAudioValue(k * kSamplesPerFrame + i / 2, i % 2));
    }
    return sound;
}

// The times of the video packets ffprobe lists.
std::vector<std::string> VideoPts(std::map<std::string, std::string>& p) {
    std::vector<std::string> pts;
    for (int i = 0; p.count("packets.packet." + std::to_string(i) + ".pts") > 0; ++i) {
        const std::string at = "packets.packet." + std::to_string(i) + ".";
        if (p[at + "stream_index"] == "0") {
            pts.push_back(p[at + "pts"]);
        }
    }
    return pts;
}

TEST_P(AviWriterInterop, FfmpegReadsWhatWasWritten) {
    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("ffmpeg");
    const Case& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("out.avi");
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(c.width, kHeight)));
    const Bytes vf = BitmapFormat(c.width, kHeight, c.bits);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), 40));
    if (c.audio) {
        ASSERT_TRUE(w.CreateAudioStream(AudioHeader(44100, 2)));
        const Bytes af = WaveFormat(2, 44100);
        ASSERT_TRUE(w.SetAudioFormat(af.data(), 18));
    }
    Bytes frame(kmx::TestPatternFrameBytes(c.width, kHeight, c.bits));
    std::vector<std::string> present;
    std::vector<Bytes> written;
    Bytes audio;
    for (int k = 0; k < kFrames; ++k) {
        kmx::FillTestPatternFrame(frame.data(), c.width, kHeight, c.bits, k);
        const bool drop = c.drops && (k == 3 || k == 4 || k == 7);
        const auto size = static_cast<std::int32_t>(frame.size());
        EXPECT_EQ(w.WriteVideoFrame(drop ? nullptr : frame.data(), size, 1), !drop);
        if (!drop) {
            present.push_back(std::to_string(k));
            written.push_back(frame);
        }
        if (c.audio) {
            const Bytes sound = FrameSound(k);
            ASSERT_TRUE(w.WriteAudio(sound.data(), 4 * kSamplesPerFrame, kSamplesPerFrame));
            audio.insert(audio.end(), sound.begin(), sound.end());
        }
    }
    ASSERT_TRUE(w.Close());

    std::string errors;
    auto p = ProbeStreams(path, &errors);
    EXPECT_EQ(p["stream.0.codec_name"], "rawvideo") << errors;
    EXPECT_EQ(p["stream.0.pix_fmt"], c.pixelFormat);
    EXPECT_EQ(p["stream.0.width"], std::to_string(c.width));
    EXPECT_EQ(p["stream.0.nb_frames"], std::to_string(kFrames)); // drops keep the duration
    EXPECT_EQ(p["stream.0.nb_read_frames"], std::to_string(present.size()));
    EXPECT_EQ(VideoPts(p), present); // the frames that exist keep their times
    const Bytes raw = FfmpegVideo(path, c.pixelFormat);
    const std::size_t size = std::size_t{kHeight} * static_cast<std::size_t>(c.width * c.bits / 8);
    ASSERT_EQ(raw.size(), size * written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_TRUE(TopDownToDib(&raw[i * size], c.width, kHeight, c.bits) == written[i]) << i;
    }
    EXPECT_EQ(p["stream.1.codec_name"], c.audio ? "pcm_s16le" : "");
    EXPECT_EQ(p["stream.1.sample_rate"], c.audio ? "44100" : "");
    EXPECT_TRUE(FfmpegAudio(path) == audio);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, AviWriterInterop,
    testing::Values(Case{16, 161, false, false, "rgb555le"}, Case{16, 161, true, true, "rgb555le"},
                    Case{24, 322, false, true, "bgr24"}, Case{24, 322, true, false, "bgr24"},
                    Case{32, 160, true, true, "bgra"}, Case{32, 160, false, false, "bgra"}),
    [](const testing::TestParamInfo<Case>& param) {
        return std::to_string(param.param.bits) + "bit" + (param.param.audio ? "_audio" : "") +
               (param.param.drops ? "_drops" : "");
    });

constexpr int kPatternWidth = 322; // rows with padding at 16 and 24 bits
constexpr int kPatternHeight = 240;

// The numbers of the frames ffmpeg decodes from a file into a pixel format.
std::vector<int> Numbers(const std::string& path, const std::string& format, int bits) {
    const Bytes raw = FfmpegVideo(path, format);
    const std::size_t size =
        std::size_t{kPatternWidth} * kPatternHeight * static_cast<std::size_t>(bits / 8);
    std::vector<int> numbers;
    for (std::size_t at = 0; at + size <= raw.size(); at += size) {
        const Bytes dib = TopDownToDib(&raw[at], kPatternWidth, kPatternHeight, bits);
        numbers.push_back(
            kmx::ReadTestPatternNumber(dib.data(), kPatternWidth, kPatternHeight, bits));
    }
    return numbers;
}

TEST(TestPattern, NumberReadsBackAfterDepthConversionAndLossyCompression) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    std::vector<int> expected(30);
    std::iota(expected.begin(), expected.end(), 1234560);
    for (const int from : {16, 24, 32}) {
        const std::string path = WriteSample(dir, "sample.avi",
                                             {.width = kPatternWidth,
                                              .height = kPatternHeight,
                                              .bitsPerPixel = from,
                                              .frames = 30,
                                              .patternOffset = 1234560});
        const std::pair<const char*, int> formats[] = {
            {"rgb555le", 16}, {"bgr24", 24}, {"bgra", 32}};
        for (const auto& [format, bits] : formats) {
            EXPECT_EQ(Numbers(path, format, bits), expected) << from << " bits to " << format;
        }
        for (const char* codec : {"mjpeg", "mpeg4"}) { // at their default quality
            std::string errors;
            ASSERT_TRUE(Ffmpeg({"-i", path, "-c:v", codec, dir.File("coded.avi")}, &errors))
                << errors;
            EXPECT_EQ(Numbers(dir.File("coded.avi"), "bgr24", 24), expected) << from << codec;
        }
    }
}

} // namespace

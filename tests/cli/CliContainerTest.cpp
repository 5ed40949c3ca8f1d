// kadrimix-cli on an MP4 file (H.264 with B-frames, AAC): described by
// info, converted to AVI forwards and reversed, the results judged by ffprobe
// and ffmpeg's decoding.
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kCli = KADRIMIX_CLI_PATH;
constexpr int kFrames = 30;
constexpr std::size_t kFrameBytes = 160 * 120 * 3;

// An uncompressed conversion of in: its frames are in's, in order or
// reversed, and its audio decodes without a warning to in's sound (mono:
// reversed, the samples backwards).
void CheckConversion(const std::string& in, const std::string& out, bool reverse) {
    EXPECT_EQ(ProbeVideoPackets(out), kFrames);
    const avitest::Bytes source = avitest::FfmpegVideo(in, "bgr24");
    const avitest::Bytes frames = avitest::FfmpegVideo(out, "bgr24");
    ASSERT_EQ(source.size(), kFrameBytes * kFrames);
    ASSERT_EQ(frames.size(), source.size());
    for (std::size_t i = 0; i < kFrames; ++i) {
        const std::size_t from = reverse ? kFrames - 1 - i : i;
        EXPECT_TRUE(std::equal(frames.begin() + kFrameBytes * i,
                               frames.begin() + kFrameBytes * (i + 1),
                               source.begin() + kFrameBytes * from))
            << "frame " << i;
    }
    const FfmpegSound sound = DecodeAudioWithFfmpeg(out);
    EXPECT_TRUE(sound.ok);
    EXPECT_EQ(sound.warnings, "");
    std::vector<std::int16_t> expected = DecodeAudioWithFfmpeg(in).samples;
    ASSERT_FALSE(expected.empty());
    if (reverse) {
        std::reverse(expected.begin(), expected.end());
    }
    EXPECT_TRUE(sound.samples == expected);
}

TEST(CliContainers, Mp4ConvertsToAviForwardsAndReversed) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const std::string in = dir.File("phone.mp4");
    std::string out;
    std::string errors;
    ASSERT_TRUE(avitest::Ffmpeg({"-f",        "lavfi",
                                 "-i",        "testsrc2=size=160x120:rate=25",
                                 "-f",        "lavfi",
                                 "-i",        "sine=frequency=440:sample_rate=44100",
                                 "-frames:v", std::to_string(kFrames),
                                 "-c:v",      "libx264",
                                 "-bf",       "2",
                                 "-g",        "8",
                                 "-pix_fmt",  "yuv420p",
                                 "-c:a",      "aac",
                                 "-shortest", in},
                                &errors))
        << errors;
    EXPECT_EQ(ProbeVideoPackets(in), kFrames);

    ASSERT_EQ(RunTool({kCli, "info", in}, &out, &errors), 0) << errors;
    EXPECT_NE(out.find("Format: 160 x 120 x 24 (avc1)"), std::string::npos) << out;
    EXPECT_NE(out.find("Usable as input: yes"), std::string::npos) << out;

    for (const bool reverse : {false, true}) {
        const std::string output = dir.File(reverse ? "reversed.avi" : "forwards.avi");
        std::vector<std::string> argv = {kCli, "convert", "-i", in, "-o", output, "--quiet"};
        if (reverse) {
            argv.push_back("--reverse");
        }
        ASSERT_EQ(RunTool(argv, nullptr, &errors), 0) << errors;
        CheckConversion(in, output, reverse);
    }
}

} // namespace

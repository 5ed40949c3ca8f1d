// kadrimix-cli's conversions judged by ffmpeg and ffprobe: an MP4 (H.264
// with B-frames, AAC) to AVI forwards and reversed; a compressed AVI written
// backwards, also in pieces; runs that change no pixel hand the decoder's
// 4:2:0 pictures to a 4:2:0 compressor as they are, while pictures to turn or
// in another colour matrix still come out right.
#include "tests/cli/CliTestSupport.h"

#include <algorithm>

namespace {

// The 30 frames of out are in's, in order or reversed, and its audio decodes
// without a warning to in's sound (mono: reversed, the samples backwards).
void ExpectFramesAndSound(const std::string& in, const std::string& out, bool reverse) {
    constexpr std::size_t kFrames = 30;
    constexpr std::size_t kFrameBytes = 160 * 120 * 3;
    EXPECT_EQ(ProbeVideoPackets(out), int(kFrames));
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
    const std::string in =
        MakeInput(dir, "phone.mp4",
                  TestSource("160x120") + kTone +
                      "-frames:v 30 -c:v libx264 -bf 2 -g 8 -pix_fmt yuv420p -c:a aac -shortest");
    ASSERT_FALSE(in.empty());
    EXPECT_EQ(ProbeVideoPackets(in), 30);
    for (const bool reverse : {false, true}) {
        const std::string out = dir.File(reverse ? "reversed.avi" : "forwards.avi");
        std::vector<std::string> args = {"-i", in, "-o", out};
        if (reverse) {
            args.push_back("--reverse");
        }
        ASSERT_TRUE(Convert(args));
        ExpectFramesAndSound(in, out, reverse);
    }
}

// Frame k of the reversed output must be frame n-1-k of the forward output,
// both written losslessly and judged by ffmpeg's checksums.
TEST(CliReverse, ReversedH264OutputIsTheForwardOutputBackwards) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in = MakeInput(
        dir, "in.avi", TestSource("160x120") + "-frames:v 60 -c:v libx264 -g 25 -pix_fmt yuv420p");
    ASSERT_FALSE(in.empty());
    const std::string forward = dir.File("forward.avi");
    const std::string reversed = dir.File("reversed.avi");
    const std::string pieces = dir.File("pieces.avi");
    ASSERT_TRUE(Convert({"-i", in, "-o", forward, "--codec", "HFYU"}));
    ASSERT_TRUE(Convert({"-i", in, "-o", reversed, "--codec", "HFYU", "--reverse"}));
    // A budget of 1 MiB holds 18 of these frames: the reversal goes in pieces.
    ASSERT_TRUE(
        Convert({"-i", in, "-o", pieces, "--codec", "HFYU", "--reverse", "--cache-mb", "1"}));

    std::vector<std::string> expected = FfmpegFrameMd5s(forward);
    ASSERT_EQ(expected.size(), 60u);
    // Frames of a moving pattern: no two alike, so an order mistake shows.
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(FfmpegFrameMd5s(reversed), expected);
    EXPECT_EQ(FfmpegFrameMd5s(pieces), expected);
}

TEST(CliPlanar, UntouchedPicturesGoStraightToTheCompressor) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in =
        MakeInput(dir, "in.avi",
                  TestSource("176x144") + "-frames:v 24 -c:v libx264 -bf 2 -g 8 -pix_fmt yuv420p");
    ASSERT_FALSE(in.empty());
    const avitest::Bytes source = avitest::FfmpegVideo(in, "yuv420p");
    for (const std::string codec : {"MJPG", "XVID", "H264"}) {
        const std::string forward = dir.File(codec + ".avi");
        const std::string reversed = dir.File(codec + "-reversed.avi");
        ASSERT_TRUE(Convert({"-i", in, "-o", forward, "--codec", codec, "--quality", "100"}));
        ASSERT_TRUE(Convert({"-i", in, "-o", reversed, "--codec", codec, "--reverse"}));
        // Without a turn through RGB only the compressor's own loss is left.
        EXPECT_GE(avitest::Psnr(avitest::FfmpegVideo(forward, "yuv420p"), source), 44.0) << codec;
        EXPECT_EQ(ProbeVideoPackets(reversed), 24) << codec;
    }
    // MJPG codes every frame alone: the reversed frames are the forward ones.
    const std::string forward = dir.File("mjpg-default.avi");
    ASSERT_TRUE(Convert({"-i", in, "-o", forward, "--codec", "MJPG"}));
    std::vector<std::string> expected = FfmpegFrameMd5s(forward);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(FfmpegFrameMd5s(dir.File("MJPG-reversed.avi")), expected);
}

TEST(CliPlanar, PicturesToTurnOrInAnotherMatrixStillComeOutRight) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    // A phone video held upright: stored 176 x 144, shown 144 x 176 (ffmpeg
    // writes the display matrix from the tag when it copies the stream).
    const std::string plain = MakeInput(
        dir, "plain.mp4", TestSource("176x144") + "-frames:v 24 -c:v libx264 -pix_fmt yuv420p");
    const std::string turned = dir.File("phone.mp4");
    ASSERT_TRUE(avitest::Ffmpeg({"-i", plain, "-c", "copy", "-metadata:s:v", "rotate=90", turned}));
    const std::string upright = dir.File("upright.avi");
    ASSERT_TRUE(Convert({"-i", turned, "-o", upright, "--codec", "MJPG"}));
    const auto streams = avitest::ProbeStreams(upright);
    EXPECT_EQ(streams.at("stream.0.width"), "144");
    EXPECT_EQ(streams.at("stream.0.height"), "176");

    // HD-style colours (BT.709): read through RGB, written as BT.601.
    const std::string hd =
        MakeInput(dir, "hd.avi",
                  TestSource("176x144") +
                      "-frames:v 24 -vf scale=out_color_matrix=bt709 -c:v libx264 -pix_fmt "
                      "yuv420p -colorspace bt709 -color_primaries bt709 -color_trc bt709");
    ASSERT_FALSE(hd.empty());
    const std::string out = dir.File("hd-mjpg.avi");
    ASSERT_TRUE(Convert({"-i", hd, "-o", out, "--codec", "MJPG", "--quality", "100"}));
    EXPECT_GE(avitest::Psnr(avitest::FfmpegVideo(out, "rgb24"), avitest::FfmpegVideo(hd, "rgb24")),
              38.0);
}

} // namespace

// Runs that change no pixel hand the decoder's 4:2:0 pictures to a 4:2:0
// compressor as they are. Judged by ffmpeg: the pictures stay close to the
// input's, reversed runs give the forward frames backwards, and input whose
// pictures need turning or another colour matrix still comes out right.
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kCli = KADRIMIX_CLI_PATH;
constexpr int kFrames = 24;

bool Convert(std::vector<std::string> args) {
    args.insert(args.begin(), {kCli, "convert", "--quiet"});
    std::string errors;
    const int status = RunTool(args, nullptr, &errors);
    EXPECT_EQ(status, 0) << errors;
    return status == 0;
}

std::string MakeInput(const TempDir& dir, const std::string& name, const std::string& options) {
    const std::string path = dir.File(name);
    std::vector<std::string> args = {
        "-f", "lavfi", "-i", "testsrc2=size=176x144:rate=25", "-frames:v", std::to_string(kFrames)};
    const std::vector<std::string> more = Words(options);
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(path);
    return avitest::Ffmpeg(args) ? path : std::string();
}

TEST(CliPlanar, UntouchedPicturesGoStraightToTheCompressor) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in = MakeInput(dir, "in.avi", "-c:v libx264 -bf 2 -g 8 -pix_fmt yuv420p");
    ASSERT_FALSE(in.empty());
    const avitest::Bytes source = avitest::FfmpegVideo(in, "yuv420p");
    for (const std::string codec : {"MJPG", "XVID", "H264"}) {
        const std::string forward = dir.File(codec + ".avi");
        const std::string reversed = dir.File(codec + "-reversed.avi");
        ASSERT_TRUE(Convert({"-i", in, "-o", forward, "--codec", codec, "--quality", "100"}));
        ASSERT_TRUE(Convert({"-i", in, "-o", reversed, "--codec", codec, "--reverse"}));
        // Without a turn through RGB only the compressor's own loss is left.
        EXPECT_GE(avitest::Psnr(avitest::FfmpegVideo(forward, "yuv420p"), source), 44.0) << codec;
        EXPECT_EQ(ProbeVideoPackets(reversed), kFrames) << codec;
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
    const std::string plain = MakeInput(dir, "plain.mp4", "-c:v libx264 -pix_fmt yuv420p");
    const std::string turned = dir.File("phone.mp4");
    ASSERT_TRUE(avitest::Ffmpeg({"-i", plain, "-c", "copy", "-metadata:s:v", "rotate=90", turned}));
    const std::string upright = dir.File("upright.avi");
    ASSERT_TRUE(Convert({"-i", turned, "-o", upright, "--codec", "MJPG"}));
    const auto streams = avitest::ProbeStreams(upright);
    EXPECT_EQ(streams.at("stream.0.width"), "144");
    EXPECT_EQ(streams.at("stream.0.height"), "176");

    // HD-style colours (BT.709): read through RGB, written as BT.601.
    const std::string hd = MakeInput(
        dir, "hd.avi",
        "-vf scale=out_color_matrix=bt709 -c:v libx264 -pix_fmt yuv420p -colorspace bt709 "
        "-color_primaries bt709 -color_trc bt709");
    ASSERT_FALSE(hd.empty());
    const std::string out = dir.File("hd-mjpg.avi");
    ASSERT_TRUE(Convert({"-i", hd, "-o", out, "--codec", "MJPG", "--quality", "100"}));
    EXPECT_GE(avitest::Psnr(avitest::FfmpegVideo(out, "rgb24"), avitest::FfmpegVideo(hd, "rgb24")),
              38.0);
}

} // namespace

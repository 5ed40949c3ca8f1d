// A compressed input written backwards by kadrimix-cli: frame k of the
// reversed output must be frame n-1-k of the forward output. Both are written
// with a lossless compressor and judged by ffmpeg's checksums of the decoded
// frames.
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string kCli = KADRIMIX_CLI_PATH;
constexpr int kFrames = 60;

int Convert(const std::vector<std::string>& args, std::string* errors) {
    std::vector<std::string> argv = {kCli, "convert", "--quiet", "--codec", "HFYU"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv, nullptr, errors);
}

TEST(CliReverse, ReversedH264OutputIsTheForwardOutputBackwards) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in = dir.File("in.avi");
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                       "testsrc2=size=160x120:rate=25", "-frames:v", std::to_string(kFrames),
                       "-c:v", "libx264", "-g", "25", "-pix_fmt", "yuv420p", in}),
              0);
    std::string errors;
    const std::string forward = dir.File("forward.avi");
    ASSERT_EQ(Convert({"-i", in, "-o", forward}, &errors), 0) << errors;
    const std::string reversed = dir.File("reversed.avi");
    ASSERT_EQ(Convert({"-i", in, "-o", reversed, "--reverse"}, &errors), 0) << errors;
    // A budget of 1 MiB holds 18 of these frames: the reversal goes in pieces.
    const std::string pieces = dir.File("pieces.avi");
    ASSERT_EQ(Convert({"-i", in, "-o", pieces, "--reverse", "--cache-mb", "1"}, &errors), 0)
        << errors;

    std::vector<std::string> expected = FfmpegFrameMd5s(forward);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kFrames));
    // Frames of a moving pattern: no two alike, so an order mistake shows.
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(FfmpegFrameMd5s(reversed), expected);
    EXPECT_EQ(FfmpegFrameMd5s(pieces), expected);
}

TEST(CliReverse, CacheOptionNeedsANumber) {
    std::string errors;
    EXPECT_EQ(Convert({"-i", "in.avi", "-o", "out.avi", "--cache-mb", "lots"}, &errors), 2);
    EXPECT_NE(errors.find("--cache-mb"), std::string::npos) << errors;
}

} // namespace

// kadrimix-cli with one thread and with several: the frames read ahead, the
// decoders' and encoders' threads and the frame-threaded compressors' late
// samples must change nothing in the file. And the quality scale: every step
// grows the frames by a similar factor, 75 (the default) is a good picture.
// Judged by comparing the files and by ffmpeg's decoding.
#include "tests/cli/CliTestSupport.h"

#include <algorithm>

namespace {

TEST(CliThreads, OneThreadAndSeveralWriteTheSameFile) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    // Pictures in motion, in three codecs, two of them with MP3 sound.
    const std::string source = TestSource("160x120");
    const std::string sound = kTone + "-c:a libmp3lame -shortest -frames:v 36 ";
    const std::vector<std::string> inputs = {
        MakeInput(dir, "h264.avi", source + sound + "-c:v libx264 -g 12 -bf 2 -pix_fmt yuv420p"),
        MakeInput(dir, "mpeg4.avi", source + sound + "-c:v mpeg4 -bf 2 -g 12 -q:v 4"),
        MakeInput(dir, "ffv1.avi", source + "-frames:v 36 -c:v ffv1 -pix_fmt bgr0")};
    const std::string overlay = "1:" + inputs[2] + ":10,10,60,40,border=2";
    const std::vector<std::vector<std::string>> variants = {
        {"--codec", "HFYU"},
        {"--codec", "HFYU", "--reverse"},
        {"--codec", "MJPG", "--mirror-horizontal", "--overlay", overlay},
        {"--codec", "FFVH", "--reverse", "--overlay", overlay},
        {"--codec", "MJPG", "--reverse"}}; // 4:2:0 pictures straight to the compressor
    for (const std::string& in : inputs) {
        ASSERT_FALSE(in.empty());
        for (std::size_t v = 0; v < variants.size(); ++v) {
            std::vector<std::string> files;
            for (const char* threads : {"1", "3"}) {
                const std::string out =
                    dir.File("out" + std::to_string(v) + "-" + threads + ".avi");
                std::vector<std::string> args = {"-i", in, "-o", out, "--threads", threads};
                args.insert(args.end(), variants[v].begin(), variants[v].end());
                ASSERT_TRUE(Convert(args)) << in;
                files.push_back(out);
            }
            EXPECT_TRUE(ReadWholeFile(files[0]) == ReadWholeFile(files[1]))
                << in << ", variant " << v;
            if (v == 0) { // and the frames are what ffmpeg decodes from the input
                EXPECT_TRUE(avitest::FfmpegVideo(files[1], "bgr24") ==
                            avitest::FfmpegVideo(in, "bgr24"))
                    << in;
            }
        }
    }
}

TEST(CliQuality, EachStepGrowsTheFramesAlikeAndSeventyFiveIsAGoodPicture) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in = MakeInput(
        dir, "in.avi", TestSource("320x240") + "-frames:v 10 -pix_fmt bgr24 -c:v rawvideo");
    const avitest::Bytes source = avitest::FfmpegVideo(in, "rgb24");
    ASSERT_FALSE(source.empty());
    for (const auto& [codec, good] : {std::pair{"MJPG", 33.0}, std::pair{"XVID", 33.0},
                                      std::pair{"DIV3", 33.0}, std::pair{"H264", 35.0}}) {
        std::vector<double> sizes;
        for (const int quality : {25, 50, 75, 100}) {
            const std::string out = dir.File(std::string(codec) + std::to_string(quality) + ".avi");
            ASSERT_TRUE(Convert(
                {"-i", in, "-o", out, "--codec", codec, "--quality", std::to_string(quality)}));
            sizes.push_back(static_cast<double>(ReadWholeFile(out).size()));
            if (quality == 75) {
                EXPECT_GE(avitest::Psnr(avitest::FfmpegVideo(out, "rgb24"), source), good) << codec;
                const std::string standard = dir.File(std::string(codec) + "-default.avi");
                ASSERT_TRUE(Convert({"-i", in, "-o", standard, "--codec", codec}));
                EXPECT_TRUE(ReadWholeFile(standard) == ReadWholeFile(out)) << codec;
            }
        }
        std::vector<double> steps;
        for (std::size_t i = 1; i < sizes.size(); ++i) {
            steps.push_back(sizes[i] / sizes[i - 1]);
        }
        const auto [least, most] = std::minmax_element(steps.begin(), steps.end());
        EXPECT_GT(*least, 1.1) << codec << ": a higher quality must give larger frames";
        EXPECT_LT(*most / *least, 2.5) << codec << ": steps of very different weight";
    }
}

} // namespace

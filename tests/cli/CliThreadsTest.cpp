// kadrimix-cli with one thread and with several: the frames read ahead, the
// decoders' and encoders' threads and the frame-threaded compressors' late
// samples must change nothing in the file. And the quality scale: every step
// grows the frames by a similar factor, 75 (the default) is a good picture.
// Judged by comparing the files and by ffmpeg's decoding.
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kCli = KADRIMIX_CLI_PATH;

int Convert(std::vector<std::string> args, std::string* errors) {
    args.insert(args.begin(), {kCli, "convert", "--quiet"});
    return RunTool(args, nullptr, errors);
}

// A test picture of 160 x 120 in motion, in the codec the words give, with
// MP3 sound when asked.
std::string MakeInput(const TempDir& dir, const std::string& name, const std::string& codec,
                      int frames, bool sound) {
    const std::string path = dir.File(name);
    std::vector<std::string> args = {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25"};
    if (sound) {
        args.insert(args.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100",
                                 "-c:a", "libmp3lame", "-shortest"});
    }
    args.insert(args.end(), {"-frames:v", std::to_string(frames)});
    const std::vector<std::string> video = Words(codec);
    args.insert(args.end(), video.begin(), video.end());
    args.push_back(path);
    return avitest::Ffmpeg(args) ? path : std::string();
}

TEST(CliThreads, OneThreadAndSeveralWriteTheSameFile) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    constexpr int kFrames = 36;
    const std::vector<std::string> inputs = {
        MakeInput(dir, "h264.avi", "-c:v libx264 -g 12 -bf 2 -pix_fmt yuv420p", kFrames, true),
        MakeInput(dir, "mpeg4.avi", "-c:v mpeg4 -bf 2 -g 12 -q:v 4", kFrames, true),
        MakeInput(dir, "ffv1.avi", "-c:v ffv1 -pix_fmt bgr0", kFrames, false)};
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
                std::string errors;
                ASSERT_EQ(Convert(args, &errors), 0) << in << " " << errors;
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
    const std::string in = dir.File("in.avi");
    ASSERT_TRUE(avitest::Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-frames:v",
                                 "10", "-pix_fmt", "bgr24", "-c:v", "rawvideo", in}));
    const avitest::Bytes source = avitest::FfmpegVideo(in, "rgb24");
    ASSERT_FALSE(source.empty());
    for (const auto& [codec, good] : {std::pair{"MJPG", 33.0}, std::pair{"XVID", 33.0},
                                      std::pair{"DIV3", 33.0}, std::pair{"H264", 35.0}}) {
        std::vector<double> sizes;
        for (const int quality : {25, 50, 75, 100}) {
            const std::string out = dir.File(std::string(codec) + std::to_string(quality) + ".avi");
            std::string errors;
            ASSERT_EQ(Convert({"-i", in, "-o", out, "--codec", codec, "--quality",
                               std::to_string(quality)},
                              &errors),
                      0)
                << errors;
            sizes.push_back(static_cast<double>(ReadWholeFile(out).size()));
            if (quality == 75) {
                EXPECT_GE(avitest::Psnr(avitest::FfmpegVideo(out, "rgb24"), source), good) << codec;
                const std::string standard = dir.File(std::string(codec) + "-default.avi");
                ASSERT_EQ(Convert({"-i", in, "-o", standard, "--codec", codec}, &errors), 0);
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

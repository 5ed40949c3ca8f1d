// kadrimix-cli on an MP4 file (H.264 with B-frames, AAC): described by
// info, converted to AVI forwards and reversed, the results judged by ffprobe
// and ffmpeg's decoding.
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kCli = KADRIMIX_CLI_PATH;
constexpr int kFrames = 30;
constexpr std::size_t kFrameBytes = 160 * 120 * 3;

std::string Tool(const std::vector<std::string>& argv, int* status, std::string* errors) {
    std::string out;
    errors->clear();
    *status = RunTool(argv, &out, errors);
    return out;
}

std::string Decoded(const std::string& path, const std::vector<std::string>& what) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-i", path};
    argv.insert(argv.end(), what.begin(), what.end());
    argv.push_back("-");
    int status = -1;
    std::string errors;
    const std::string out = Tool(argv, &status, &errors);
    EXPECT_EQ(status, 0) << errors;
    return out;
}

std::string Frames(const std::string& path) {
    return Decoded(
        path, {"-map", "0:v:0", "-fps_mode", "passthrough", "-pix_fmt", "bgr24", "-f", "rawvideo"});
}

std::string Audio(const std::string& path) {
    return Decoded(path, {"-map", "0:a:0", "-f", "s16le"});
}

// ffmpeg notes at warning level that it guesses the channel layout of every
// plain WAVEFORMATEX (also in AVI files it writes itself); that is no
// decoding warning.
std::string WithoutLayoutGuess(const std::string& messages) {
    std::string rest;
    std::size_t start = 0;
    while (start < messages.size()) {
        std::size_t end = messages.find('\n', start);
        end = end == std::string::npos ? messages.size() : end + 1;
        const std::string line = messages.substr(start, end - start);
        if (line.rfind("Guessed Channel Layout", 0) != 0) {
            rest += line;
        }
        start = end;
    }
    return rest;
}

// ffprobe's count of the video packets of a file, as its text.
std::string ProbedFrames(const std::string& path) {
    int status = -1;
    std::string errors;
    return Tool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                 "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path},
                &status, &errors);
}

// An uncompressed conversion of in: its frames are in's, in order or
// reversed, and its audio decodes without a warning to in's sound (mono
// 16-bit: reversed, the two-byte samples backwards).
void CheckConversion(const std::string& in, const std::string& out, bool reverse) {
    EXPECT_EQ(ProbedFrames(out), std::to_string(kFrames) + "\n");
    const std::string source = Frames(in);
    const std::string frames = Frames(out);
    ASSERT_EQ(source.size(), kFrameBytes * kFrames);
    ASSERT_EQ(frames.size(), source.size());
    for (int i = 0; i < kFrames; ++i) {
        const int from = reverse ? kFrames - 1 - i : i;
        EXPECT_EQ(
            frames.compare(kFrameBytes * i, kFrameBytes, source, kFrameBytes * from, kFrameBytes),
            0)
            << "frame " << i;
    }
    int status = -1;
    std::string errors;
    Tool({"ffmpeg", "-nostdin", "-v", "warning", "-i", out, "-map", "0:a:0", "-f", "null", "-"},
         &status, &errors);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(WithoutLayoutGuess(errors), "");
    std::string expected = Audio(in);
    ASSERT_FALSE(expected.empty());
    if (reverse) {
        for (std::size_t i = 0, j = expected.size() - 2; i < j; i += 2, j -= 2) {
            std::swap(expected[i], expected[j]);
            std::swap(expected[i + 1], expected[j + 1]);
        }
    }
    EXPECT_TRUE(Audio(out) == expected);
}

TEST(CliContainers, Mp4ConvertsToAviForwardsAndReversed) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const std::string in = dir.File("phone.mp4");
    int status = -1;
    std::string errors;
    Tool({"ffmpeg",    "-nostdin",
          "-v",        "error",
          "-f",        "lavfi",
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
         &status, &errors);
    ASSERT_EQ(status, 0) << errors;
    EXPECT_EQ(ProbedFrames(in), std::to_string(kFrames) + "\n");

    const std::string info = Tool({kCli, "info", in}, &status, &errors);
    ASSERT_EQ(status, 0) << errors;
    EXPECT_NE(info.find("Format: 160 x 120 x 24 (avc1)"), std::string::npos) << info;
    EXPECT_NE(info.find("Usable as input: yes"), std::string::npos) << info;

    for (const bool reverse : {false, true}) {
        const std::string out = dir.File(reverse ? "reversed.avi" : "forwards.avi");
        std::vector<std::string> argv = {kCli, "convert", "-i", in, "-o", out, "--quiet"};
        if (reverse) {
            argv.push_back("--reverse");
        }
        Tool(argv, &status, &errors);
        ASSERT_EQ(status, 0) << errors;
        CheckConversion(in, out, reverse);
    }
}

} // namespace

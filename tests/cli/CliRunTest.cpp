// End-to-end runs of the kadrimix-cli program.
#include "media/AviReader.h"
#include "media/TestPattern.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const std::string kCli = KADRIMIX_CLI_PATH;

struct CliRun {
    int status = -1;
    std::string out, err;
};

CliRun Cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    CliRun run;
    run.status = RunTool(argv, &run.out, &run.err);
    return run;
}

std::vector<int> FrameNumbers(const std::string& path) {
    CAviReader reader;
    std::vector<int> numbers;
    if (!reader.Open(path.c_str()) || !reader.StartVideoRetrieve(0)) {
        return numbers;
    }
    for (std::int32_t i = 0; i < reader.GetVideoLength(0); ++i) {
        const BITMAPINFOHEADER* h = nullptr;
        reader.GetVideoFrame(0, i, &h);
        if (h == nullptr) {
            break;
        }
        numbers.push_back(
            kmx::ReadTestPatternNumber(reinterpret_cast<const std::uint8_t*>(h) + h->biSize,
                                       h->biWidth, h->biHeight, h->biBitCount));
    }
    return numbers;
}

TEST(CliRun, VersionIsTheProductsShownVersion) {
    // The version comes from the build's project version; what is shown must
    // stay "1.10" (not "1.1"), as window titles and the about dialog show it.
    const CliRun run = Cli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Kadrimix 1.10\n");
}

TEST(CliRun, SampleInfoAndConvert) {
    TempDir dir;
    const std::string in = dir.File("in.avi");
    CliRun run = Cli({"sample", in, "--size", "64x48", "--frames", "6", "--bits", "16", "--audio"});
    ASSERT_EQ(run.status, 0) << run.err;

    run = Cli({"info", in});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Format: 64 x 48 x 16 (DIB )"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Frames: 6  Frames/sec.: 25.000"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Duration: 0,240"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Usable as input: yes"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("audio 0:"), std::string::npos) << run.out;

    const std::string out = dir.File("out.avi");
    run = Cli({"convert", "-i", in, "-o", out, "--reverse", "--mirror-vertical", "--overlay",
               "1:" + in + ":0,0,32,24,border=2,color=00FF00"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Converting finished"), std::string::npos);
    EXPECT_NE(run.err.find("frame 6 / 6"), std::string::npos) << run.err; // plain progress lines
    const std::vector<int> numbers = FrameNumbers(out);
    EXPECT_EQ(numbers.size(), 6u);
}

TEST(CliRun, FailuresGiveNonZeroStatusAndTheEngineText) {
    TempDir dir;
    CliRun run = Cli({"convert", "-i", dir.File("missing.avi"), "-o", dir.File("out.avi")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("FEHLER: Öffne Input AVI"), std::string::npos) << run.err;

    run = Cli({"convert", "-i", "a.avi"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no output file"), std::string::npos);

    run = Cli({"info", dir.File("missing.avi")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Cli({"bogus"}).status, 2);
    for (const char* command : {"convert", "info", "codecs", "sample", "demo"}) {
        run = Cli({command, "--help"});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find("Usage"), std::string::npos) << command;
    }
}

TEST(CliRun, CodecsListsTheUncompressedEntry) {
    const CliRun run = Cli({"codecs"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("DIB "), std::string::npos) << run.out;
}

TEST(CliRun, DemoConvertsItsSamples) {
    TempDir dir;
    const CliRun run = Cli({"demo", dir.File("demo")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Output:"), std::string::npos);
    const std::vector<int> numbers = FrameNumbers(dir.File("demo/output.avi"));
    ASSERT_EQ(numbers.size(), 75u);
}

TEST(CliRun, InterruptStopsLikeTheStopButton) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    // Compressed in and out, so the run takes a while without big files.
    const std::string in = dir.File("in.avi");
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=640x480:rate=25",
                       "-t", "40", "-c:v", "mjpeg", in}),
              0);
    const std::string out = dir.File("out.avi");
    int errPipe[2];
    ASSERT_EQ(pipe(errPipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::vector<std::string> args = {kCli, "convert", "-i", in, "-o", out, "--codec", "MJPG"};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, kCli.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);

    // Progress goes to a pipe, so it comes as a line at every tenth of the
    // work; at the second line frames have been written: interrupt then.
    std::string err;
    char buffer[4096];
    bool sent = false;
    for (ssize_t n; (n = read(errPipe[0], buffer, sizeof buffer)) > 0;) {
        err.append(buffer, static_cast<std::size_t>(n));
        const std::size_t first = err.find("frame");
        if (!sent && first != std::string::npos &&
            err.find("frame", first + 1) != std::string::npos) {
            kill(pid, SIGINT);
            sent = true;
        }
    }
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(sent) << err;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130) << err;
    EXPECT_NE(err.find("Converting aborted"), std::string::npos) << err;

    // The output is a complete file with the frames written so far.
    CAviReader reader;
    ASSERT_TRUE(reader.Open(out.c_str()));
    EXPECT_GT(reader.GetVideoLength(0), 0);
    EXPECT_LT(reader.GetVideoLength(0), 500);
}

} // namespace

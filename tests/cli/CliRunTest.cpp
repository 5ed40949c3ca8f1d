// End-to-end runs of the kadrimix-cli program.
#include "media/AviReader.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/DamagedInput.h"
#include "tests/support/KilledRun.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <sys/wait.h>

namespace {

// A console run in the background whose standard error (the progress lines
// and messages), or with readOutput its standard output, comes through a
// pipe (and is what Errors() returns). A run still going at the end is killed.
class CliChild {
public:
    explicit CliChild(const std::vector<std::string>& args, bool readOutput = false) {
        // The shell names its own process, which exec hands on to the program.
        std::string command = "echo $$; exec '" + kCli + "'";
        for (const std::string& a : args) {
            command += " '" + a + "'";
        }
        pipe_ = popen((command + (readOutput ? " 2>/dev/null" : " 2>&1 >/dev/null")).c_str(), "r");
        char line[32] = {};
        pid_ = pipe_ != nullptr && fgets(line, sizeof line, pipe_) ? std::atoi(line) : -1;
    }
    ~CliChild() {
        Signal(SIGKILL);
        Wait();
    }
    CliChild(const CliChild&) = delete;
    CliChild& operator=(const CliChild&) = delete;

    // Reads standard error until it holds count complete progress lines;
    // returns the frames the last one counts written, or -1 when the run
    // ended first.
    long WaitForLines(int count) {
        long frame = 0;
        for (char line[4096]; count > 0 && pipe_ != nullptr && fgets(line, sizeof line, pipe_);) {
            err_ += line;
            const char* at = std::strstr(line, "frame ");
            if (at != nullptr && std::strchr(at, '\n') != nullptr) {
                frame = std::strtol(at + 6, nullptr, 10);
                --count;
            }
        }
        return count == 0 ? frame : -1;
    }
    // Reads standard error until a line holds text; false when the run ended
    // first.
    bool WaitForText(const char* text) {
        for (char line[4096]; pipe_ != nullptr && fgets(line, sizeof line, pipe_);) {
            err_ += line;
            if (std::strstr(line, text) != nullptr) {
                return true;
            }
        }
        return false;
    }
    void Signal(int signal) {
        if (pid_ > 0) {
            kill(pid_, signal);
        }
    }
    // Reads the rest of standard error and returns the wait status.
    int Wait() {
        if (pipe_ == nullptr) {
            return -1;
        }
        for (char buffer[4096]; fgets(buffer, sizeof buffer, pipe_);) {
            err_ += buffer;
        }
        const int status = pclose(pipe_);
        pipe_ = nullptr;
        pid_ = -1;
        return status;
    }
    const std::string& Errors() const { return err_; }

private:
    std::FILE* pipe_ = nullptr;
    pid_t pid_ = -1;
    std::string err_;
};

// A Motion JPEG input made by ffmpeg, so that a run takes a while without
// big files.
std::string MakeMjpegInput(const TempDir& dir, int frames) {
    return MakeInput(dir, "in.avi",
                     TestSource("640x480", "testsrc") + "-frames:v " + std::to_string(frames) +
                         " -c:v mjpeg");
}

TEST(CliRun, SampleInfoConvertAndDemo) {
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
    EXPECT_EQ(run.err.find("WARNING"), std::string::npos) << run.err;     // an intact input
    EXPECT_EQ(avitest::PatternNumbers(out).size(), 6u);

    run = Cli({"demo", dir.File("demo")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Output:"), std::string::npos);
    EXPECT_EQ(avitest::PatternNumbers(dir.File("demo/output.avi")).size(), 75u);
}

TEST(CliRun, FailuresGiveNonZeroStatusAndTheEngineTextHelpAndVersionZero) {
    TempDir dir;
    CliRun run = Cli({"convert", "-i", dir.File("missing.avi"), "-o", dir.File("out.avi")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("FEHLER: Öffne Input AVI"), std::string::npos) << run.err;

    run = Cli({"convert", "-i", "a.avi"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no output file"), std::string::npos);

    // Bad options stop before anything is read or written, also with a project.
    run = Cli({"convert", dir.File("p.kmx"), "--reverse", "--no-reverse"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot be combined"), std::string::npos) << run.err;

    run = Cli({"info", dir.File("missing.avi")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Cli({"bogus"}).status, 2);
    for (const char* command : {"convert", "info", "codecs", "sample", "demo"}) {
        run = Cli({command, "--help"});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find("Usage"), std::string::npos) << command;
    }
    run = Cli({"codecs"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("DIB "), std::string::npos) << run.out;
    // The version comes from the build's project version; what is shown must
    // stay "1.10" (not "1.1"), as window titles and the about dialog show it.
    run = Cli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Kadrimix 1.10\n");
}

TEST(CliRun, InfoNamesTheCodecWhereTheContainerGivesNoFourcc) {
    // An MPEG-TS keeps stream types (2 for MPEG-2 video) where AVI keeps a
    // FourCC: info names such a codec as libavcodec does, also in a file cut
    // short. (A FourCC of letters is shown as it is: SampleInfoConvertAndDemo.)
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in =
        MakeInput(dir, "cut.ts", TestSource("160x120") + "-frames:v 20 -c:v mpeg2video");
    ASSERT_FALSE(in.empty());
    std::filesystem::resize_file(in, 20000);
    const CliRun run = Cli({"info", in});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("x 24 (mpeg2video)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("handler mpeg2video,"), std::string::npos) << run.out;
    EXPECT_TRUE(std::all_of(run.out.begin(), run.out.end(), [](char ch) {
        return ch == '\n' || (ch >= ' ' && ch <= '~');
    })) << run.out;
}

TEST(CliRun, InfoNamesTheScanTypeTheFileOrItsCodecDeclares) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const struct {
        const char* file;
        const char* args;
        const char* line;
    } cases[] = {
        {"p.mp4", "-c:v libx264 -pix_fmt yuv420p", "Scan: progressive\n"},
        {"t.mp4", "-vf interlace -flags +ildct+ilme -c:v libx264 -x264-params tff=1",
         "Scan: interlaced (top field first)\n"},
        {"b.ts", "-flags +ildct+ilme -top 0 -c:v mpeg2video",
         "Scan: interlaced (bottom field first)\n"},
        // Raw pictures declare nothing.
        {"r.avi", "-c:v rawvideo -pix_fmt bgr24", "Scan: unknown\n"},
    };
    for (const auto& c : cases) {
        const std::string in =
            MakeInput(dir, c.file, TestSource("160x120") + "-frames:v 4 " + c.args);
        ASSERT_FALSE(in.empty()) << c.file;
        const CliRun run = Cli({"info", in});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.line), std::string::npos) << c.file << "\n" << run.out;
    }
}

TEST(CliRun, AReverseWithoutRoomForItsFramesSaysSoAndStillFinishes) {
    // A key-frame stretch of 60 frames against a cache of a few: its frames
    // go to $TMPDIR, or are decoded again where it cannot take them.
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in =
        MakeInput(dir, "long.mp4",
                  TestSource("160x120") + "-frames:v 60 -c:v libx264 -g 60 -pix_fmt yuv420p");
    ASSERT_FALSE(in.empty());
    for (const bool room : {true, false}) {
        CliRun run;
        run.status = RunTool({"env", "TMPDIR=" + (room ? dir.Path().string() : dir.File("missing")),
                              kCli, "convert", "--quiet", "-i", in, "-o",
                              dir.File(room ? "a.avi" : "b.avi"), "--reverse", "--cache-mb", "1"},
                             &run.out, &run.err);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find("had no room for the decoded frames") != std::string::npos, !room)
            << run.err;
    }
}

TEST(CliRun, ConvertRefusesTheInputsInfoCallsUnusableInTheSameWords) {
    // A palette AVI, as the base video or as an overlay, is refused before
    // anything is written, with the reason the file information gives.
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string palette = MakeInput(
        dir, "palette.avi", TestSource("64x48") + "-frames:v 5 -pix_fmt pal8 -c:v rawvideo");
    ASSERT_FALSE(palette.empty());
    const std::string base = dir.File("base.avi");
    ASSERT_EQ(Cli({"sample", base, "--size", "64x48", "--frames", "5"}).status, 0);
    const CliRun info = Cli({"info", palette});
    const std::string usable = "Usable as input: no: ";
    const std::size_t at = info.out.find(usable);
    ASSERT_NE(at, std::string::npos) << info.out;
    const std::string reason =
        info.out.substr(at + usable.size(), info.out.find('\n', at) - at - usable.size());
    EXPECT_EQ(reason, "8-bit frames are not supported");

    const std::string out = dir.File("out.avi");
    for (const auto& [in, overlay] : {std::pair{palette, base}, std::pair{base, palette}}) {
        const CliRun run = Cli({"convert", "--quiet", "-i", in, "-o", out, "--overlay",
                                "1:" + overlay + ":0,0,32,24"});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find(palette + " cannot be used: " + reason + "\n"), std::string::npos)
            << run.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST(CliRun, InterruptStopsLikeTheStopButtonAndASecondOneEndsAtOnce) {
    // One Ctrl-C stops cleanly with status 130. A second one, sent while the
    // stop waits for a Cinepak frame that takes seconds to compress, ends the
    // program by SIGINT itself, without the clean stop's last words. Either
    // way the output holds the frames written so far.
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    struct Case {
        int signals;
        const char* size;
        int frames;
        const char* codec;
    };
    for (const Case& c : {Case{1, "640x480", 1000, "MJPG"}, Case{2, "1280x720", 20, "cvid"}}) {
        SCOPED_TRACE(c.signals);
        TempDir dir;
        const std::string in = MakeInput(dir, "in.avi",
                                         TestSource(c.size, "testsrc") + "-frames:v " +
                                             std::to_string(c.frames) + " -c:v mjpeg");
        ASSERT_FALSE(in.empty());
        const std::string out = dir.File("out.avi");
        CliChild child({"convert", "-i", in, "-o", out, "--codec", c.codec});
        // Progress goes to a pipe, so it comes as a line at every tenth of
        // the work; at the second line frames have been written: interrupt
        // then. The second signal waits until the first one is taken (two
        // SIGINTs pending at once would count as one).
        bool sent = child.WaitForLines(2) >= 0;
        if (sent) {
            child.Signal(SIGINT);
        }
        if (sent && c.signals == 2) {
            sent = child.WaitForText("Stopping");
            child.Signal(SIGINT);
        }
        const int status = child.Wait();
        const std::string& err = child.Errors();
        ASSERT_TRUE(sent) << err;
        if (c.signals == 1) {
            ASSERT_TRUE(WIFEXITED(status)) << err;
            EXPECT_EQ(WEXITSTATUS(status), 130) << err;
            EXPECT_NE(err.find("Converting aborted"), std::string::npos) << err;
        } else {
            ASSERT_TRUE(WIFSIGNALED(status)) << status << err;
            EXPECT_EQ(WTERMSIG(status), SIGINT) << err;
            EXPECT_EQ(err.find("Converting aborted"), std::string::npos) << err;
        }
        const std::size_t frames = FfmpegFrameMd5s(out).size();
        EXPECT_GT(frames, 0u);
        EXPECT_LT(frames, static_cast<std::size_t>(c.frames / 2));
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(CliRun, ProgressJsonComesWhileTheRunGoesAndItsLastLineSaysHowItEnded) {
    // A short run to its end, and a long one interrupted once its lines
    // show frames being converted.
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string small = dir.File("small.avi");
    ASSERT_EQ(Cli({"sample", small, "--size", "64x48", "--frames", "6"}).status, 0);
    const std::string in = MakeMjpegInput(dir, 1000);
    ASSERT_FALSE(in.empty());
    std::vector<std::string> lines = Lines(Cli({"convert", "-i", small, "-o", dir.File("s.avi"),
                                                "--codec", "MJPG", "--progress=json", "--quiet"})
                                               .out);
    CliChild child({"convert", "-i", in, "-o", dir.File("out.avi"), "--codec", "MJPG",
                    "--progress=json", "--quiet"},
                   true);
    ASSERT_TRUE(child.WaitForText("\"total\":1000"));
    child.Signal(SIGINT);
    const int status = child.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
    const std::size_t firstOfLong = lines.size();
    for (const std::string& line : Lines(child.Errors())) {
        lines.push_back(line);
    }
    double elapsed = -1.0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const nlohmann::json line = nlohmann::json::parse(lines[i]);
        for (const char* key :
             {"state", "input", "output", "frame", "total", "fps", "elapsed", "remaining"}) {
            EXPECT_TRUE(line.contains(key)) << key << " " << line;
        }
        const bool last = i + 1 == firstOfLong || i + 1 == lines.size();
        EXPECT_EQ(line.contains("messages"), last) << line;
        if (!last && line["state"] == "running" && i != firstOfLong && i > 0) {
            EXPECT_GE(line["elapsed"].get<double>() - elapsed, 0.1) << "at most 10 lines a second";
        }
        elapsed = line["elapsed"].get<double>();
    }
    const nlohmann::json finished = nlohmann::json::parse(lines[firstOfLong - 1]);
    EXPECT_EQ(std::tie(finished["state"], finished["frame"], finished["total"]),
              std::make_tuple(nlohmann::json("finished"), nlohmann::json(6), nlohmann::json(6)));
    EXPECT_TRUE(finished["messages"][0].get<std::string>().starts_with("Converting finished"));
    const nlohmann::json stopped = nlohmann::json::parse(lines.back());
    EXPECT_EQ(stopped["state"], "interrupted");
    EXPECT_LT(stopped["frame"].get<long>(), 1000);
    EXPECT_NE(stopped["messages"].dump().find("Converting aborted"), std::string::npos);
}

TEST(CliRun, InterruptingABatchStopsItsRunAndKeepsTheFinishedOutputs) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string small = dir.File("small.avi");
    ASSERT_EQ(Cli({"sample", small, "--size", "64x48", "--frames", "6"}).status, 0);
    const std::string in = MakeMjpegInput(dir, 1000);
    ASSERT_FALSE(in.empty());
    const std::string out = dir.File("out");
    CliChild child({"convert", "--output-dir", out, "--codec", "MJPG", small, in});
    ASSERT_TRUE(child.WaitForText("finished")); // the small one; the long one runs
    child.Signal(SIGINT);
    const int status = child.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << child.Errors();
    EXPECT_NE(child.Errors().find("Batch of 2: 1 finished, 0 skipped, 0 failed"), std::string::npos)
        << child.Errors();
    EXPECT_EQ(avitest::PatternNumbers(out + "/small.avi").size(), 6u);
    EXPECT_LT(FfmpegFrameMd5s(out + "/in.avi").size(), 1000u);
}

} // namespace

TEST(CliRun, AKilledRunKeepsEveryFrameItReportedWritten) {
    // SIGKILL (the OOM killer, a power cut) gives no chance to finish the
    // file: whatever was reported written must still be readable, frame for
    // frame as in a run that completed.
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const std::string in = MakeMjpegInput(dir, 400);
    ASSERT_FALSE(in.empty());
    const std::string whole = dir.File("whole.avi");
    ASSERT_EQ(Cli({"convert", "-i", in, "-o", whole, "--codec", "MJPG", "--quiet"}).status, 0);
    const std::vector<std::string> reference = FfmpegFrameMd5s(whole);
    ASSERT_EQ(reference.size(), 400u);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 3; ++round) {
        const long at = 40 * std::uniform_int_distribution<long>(1, 8)(random);
        const std::string out = dir.File("cut" + std::to_string(round) + ".avi");
        const long reported =
            KillAtFrame(kCli, {"convert", "-i", in, "-o", out, "--codec", "MJPG"}, at);
        ASSERT_GE(reported, at) << "the run ended before frame " << at;
        // "frame F" is shown once frames 1 .. F are in the file.
        const std::vector<std::string> hashes = FfmpegFrameMd5s(out);
        ASSERT_GE(hashes.size(), static_cast<std::size_t>(reported)) << "killed at " << reported;
        for (std::size_t i = 0; i < hashes.size(); ++i) {
            ASSERT_EQ(hashes[i], reference[i])
                << "frame " << i << " of a run killed at " << reported;
        }
        CAviReader reader;
        ASSERT_TRUE(reader.Open(out.c_str()));
        EXPECT_GE(reader.GetVideoLength(0), reported);
    }
}

TEST(CliRun, ARunLeavesAloneWhatAnotherRunWritesOrReads) {
    // A second run into the output of a running one, or into its input, must
    // fail before it deletes anything; the first run finishes untouched.
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const std::string in = MakeMjpegInput(dir, 600);
    ASSERT_FALSE(in.empty());
    const std::string other = dir.File("other.avi");
    ASSERT_EQ(Cli({"sample", other, "--size", "64x48", "--frames", "5"}).status, 0);
    const std::string out = dir.File("out.avi");
    CliChild first({"convert", "-i", in, "-o", out, "--codec", "MJPG"});
    ASSERT_GE(first.WaitForLines(1), 0);

    for (const std::string& target : {out, in}) {
        const CliRun second = Cli({"convert", "-i", other, "-o", target, "--quiet"});
        EXPECT_EQ(second.status, 1) << target;
        EXPECT_NE(second.err.find("FEHLER: Öffne Output AVI"), std::string::npos) << second.err;
    }
    const int status = first.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << first.Errors();
    EXPECT_EQ(FfmpegFrameMd5s(out).size(), 600u);
    EXPECT_EQ(FfmpegFrameMd5s(in).size(), 600u);

    // Once the first run is over, the same output can be written again.
    EXPECT_EQ(Cli({"convert", "-i", other, "-o", out, "--quiet"}).status, 0);
    EXPECT_EQ(FfmpegFrameMd5s(out).size(), 5u);
}

TEST(CliRun, DamagedInputIsReportedAndLibavStaysQuiet) {
    // The decoder conceals damaged frames and the run still succeeds, but not
    // in silence: the count is reported at the end. libav's own notes never
    // reach the terminal.
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in = dir.File("damaged.avi");
    ASSERT_TRUE(WriteDamagedH264Avi(in));
    const CliRun run = Cli({"convert", "-i", in, "-o", dir.File("out.avi"), "--codec", "MJPG"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::size_t at = run.err.find("WARNING: ");
    ASSERT_NE(at, std::string::npos) << run.err;
    const long count = std::strtol(run.err.c_str() + at + 9, nullptr, 10);
    EXPECT_GE(count, 1) << run.err;
    EXPECT_LE(count, 3) << run.err;
    EXPECT_NE(run.err.find("concealed by the decoder"), std::string::npos) << run.err;
    EXPECT_LT(at, run.err.find("Converting finished")) << run.err;
    EXPECT_EQ(run.err.find(" @ 0x"), std::string::npos) << run.err;
}

TEST(CliRun, AHeaderClaimingHugePicturesIsADamagedFile) {
    // The header says 11000 x 11000, the pictures are 160 x 120: nothing the
    // size of the claim may be made or written.
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in =
        MakeInput(dir, "huge.avi", TestSource("160x120", "testsrc") + "-frames:v 10 -c:v mjpeg");
    avitest::Bytes bytes = avitest::ReadWholeFile(in);
    const std::size_t strf = avitest::Find(bytes, "strf");
    ASSERT_NE(strf, std::string::npos);
    kmx::StoreU32(&bytes[strf + 12], 11000); // width
    kmx::StoreU32(&bytes[strf + 16], 11000); // height
    ASSERT_TRUE(avitest::WriteBytes(in, bytes));

    const std::string out = dir.File("out.avi");
    const CliRun run = Cli({"convert", "-i", in, "-o", out, "--quiet"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot be used: the first frame cannot be decoded"), std::string::npos)
        << run.err;
    std::error_code error;
    const auto written = std::filesystem::file_size(out, error);
    EXPECT_TRUE(error || written < 1000000) << written;

    CAviReader reader;
    ASSERT_TRUE(reader.Open(in.c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const BITMAPINFOHEADER* frame = nullptr;
    reader.GetVideoFrame(0, 0, &frame);
    EXPECT_EQ(frame, nullptr);
}

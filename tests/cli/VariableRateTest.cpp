// Input of variable frame rate (3 s at 30 pictures a second, then 15) with
// white flashes and beeps at the same moments, converted into AVI forwards and
// backwards: ffmpeg finds flashes and beeps in the output within a frame of
// each other, also when the sound starts 0.5 s after the pictures. A clip of
// constant rate keeps one frame per packet.
#include "tests/cli/CliTestSupport.h"

#include <cstdlib>
#include <sstream>

namespace {

constexpr double kMoments[] = {1.0, 2.5, 4.0, 5.2}; // each 0.2 s long
constexpr double kFrame = 1.0 / 30;

// ffmpeg's expression, true during the flashes or beeps, moved by shift.
std::string During(double shift) {
    std::string sum = "0";
    for (const double at : kMoments) {
        sum += "+between(t," + std::to_string(at + shift) + "," +
               std::to_string(at + shift + 0.19) + ")";
    }
    return sum;
}

// The times (one value every step seconds) at which runs of true start.
std::vector<double> Starts(const std::vector<bool>& on, double step) {
    std::vector<double> starts;
    for (std::size_t i = 0; i < on.size(); ++i) {
        if (on[i] && (i == 0 || !on[i - 1])) {
            starts.push_back(static_cast<double>(i) * step);
        }
    }
    return starts;
}

TEST(CliVariableRate, FlashesMeetBeepsForwardsAndBackwards) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const std::string select = ",select='lt(t,3)+not(mod(n,2))'"; // the pictures kept
    const struct {
        const char* name;
        bool variable;
        double audioDelay;
    } cases[] = {
        {"constant.mov", false, 0.0}, {"variable.mov", true, 0.0}, {"late.mov", true, 0.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Either way the last picture ends at 179 / 30 s, as the sound does.
        const std::string in = MakeInput(
            dir, c.name,
            "-f lavfi -i testsrc2=size=160x120:rate=30:duration=5.96,drawbox=c=white:t=fill:"
            "enable='" +
                During(0) + "'" + (c.variable ? select : "") + " -itsoffset " +
                std::to_string(c.audioDelay) + " -f lavfi -i aevalsrc='0.5*sin(2*PI*1000*t)*(" +
                During(-c.audioDelay) +
                ")':s=48000:d=" + std::to_string(179 * kFrame - c.audioDelay) +
                " -fps_mode vfr -c:v libx264 -pix_fmt yuv420p -c:a pcm_s16le");
        ASSERT_FALSE(in.empty());
        EXPECT_EQ(Cli({"info", in}).out.find("(variable frame rate)") != std::string::npos,
                  c.variable);
        for (const bool reverse : {false, true}) {
            const std::string out = dir.File(std::string(reverse ? "r-" : "f-") + c.name + ".avi");
            ASSERT_TRUE(Convert({"-i", in, "-o", out, reverse ? "--reverse" : "--no-reverse"}));
            // Per frame whether it is white (signalstats' "...YAVG=V" lines).
            std::string stats;
            EXPECT_EQ(RunTool({"ffmpeg", "-v", "error", "-i", out, "-an", "-vf",
                               "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-", "-f",
                               "null", "-"},
                              &stats),
                      0);
            std::vector<bool> white;
            std::istringstream lines(stats);
            for (std::string line; std::getline(lines, line);) {
                if (const std::size_t at = line.find("YAVG="); at != std::string::npos) {
                    white.push_back(std::atof(line.c_str() + at + 5) > 200);
                }
            }
            // Per millisecond of the mono sound whether a beep sounds.
            EXPECT_EQ(ProbeAudioStream(out, "sample_rate"), "48000");
            const avitest::Bytes pcm = avitest::FfmpegAudio(out);
            std::vector<bool> loud(pcm.size() / 96);
            for (std::size_t i = 0; i < loud.size() * 96; i += 2) {
                loud[i / 96] =
                    loud[i / 96] || std::abs(std::int16_t(pcm[i] | pcm[i + 1] << 8)) > 4000;
            }
            // No picture dropped, the sound as long as the frames; constant
            // rate: one frame a packet.
            EXPECT_NEAR(white.size() * kFrame, loud.size() * 0.001, kFrame);
            EXPECT_TRUE(c.variable || int(white.size()) == ProbeVideoPackets(in));
            const std::vector<double> flashes = Starts(white, kFrame);
            const std::vector<double> beeps = Starts(loud, 0.001);
            ASSERT_EQ(flashes.size(), std::size(kMoments));
            ASSERT_EQ(beeps.size(), flashes.size());
            for (std::size_t i = 0; i < flashes.size(); ++i) {
                EXPECT_NEAR(flashes[i], beeps[i], kFrame + 0.001) << i;
                EXPECT_TRUE(reverse || std::abs(flashes[i] - kMoments[i]) < kFrame / 2) << i;
            }
        }
    }
}

} // namespace

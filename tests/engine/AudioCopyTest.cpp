// Whole runs over inputs that ffmpeg writes with every common kind of AVI
// audio, judged by ffmpeg: forward runs keep the audio as it is with every
// sample, reversed runs give the forward audio played backwards (compressed
// audio as 16-bit PCM), and ffmpeg decodes both without a complaint.
#include "engine/ConvertJob.h"
#include "tests/engine/JobRunner.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct AudioCase {
    const char* name;
    const char* audioArgs; // ffmpeg's audio output options, separated by spaces
    const char* codec;     // as ffprobe names the input's audio
    bool pcm;              // cut and reversed as it is, not decoded
};

std::ostream& operator<<(std::ostream& out, const AudioCase& c) {
    return out << c.name;
}

// Two seconds of tiny video at 25 frames per second and a sound whose two
// channels differ, so that swapped channels or misplaced samples show.
bool MakeInput(const AudioCase& c, const std::string& path) {
    std::vector<std::string> args = Words(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=64x48:rate=25 -f lavfi -i "
        "aevalsrc=0.5*sin(440*2*PI*t)*t|0.3*sin(697*2*PI*t):s=44100:c=stereo -t 2 -c:v mjpeg " +
        std::string(c.audioArgs));
    args.push_back(path);
    return RunTool(args) == 0;
}

FfmpegSound DecodeCleanly(const std::string& path) {
    FfmpegSound audio = DecodeAudioWithFfmpeg(path);
    EXPECT_TRUE(audio.ok) << path << ": " << audio.warnings;
    EXPECT_EQ(audio.warnings, "") << path;
    EXPECT_FALSE(audio.samples.empty()) << path;
    return audio;
}

// The samples in reverse order of sample frames; the channels of one frame
// keep their order.
std::vector<std::int16_t> Backwards(const std::vector<std::int16_t>& samples,
                                    std::size_t channels) {
    std::vector<std::int16_t> reversed;
    reversed.reserve(samples.size());
    for (std::size_t frame = samples.size() / channels; frame-- > 0;) {
        const auto first = samples.begin() + static_cast<std::ptrdiff_t>(frame * channels);
        reversed.insert(reversed.end(), first, first + static_cast<std::ptrdiff_t>(channels));
    }
    return reversed;
}

void Convert(const std::string& input, const std::string& output, bool reverse) {
    ConvertJob job = SimpleJob(input, output);
    job.reverse = reverse ? 1 : 0;
    const JobOutcome outcome = RunJobOnWorker(job, false, false);
    EXPECT_EQ(outcome.done, 0) << output;
    EXPECT_TRUE(outcome.messages.empty()) << output << ": " << outcome.messages.front();
}

class AudioCopy : public testing::TestWithParam<AudioCase> {};

TEST_P(AudioCopy, ForwardKeepsTheAudioAndReverseIsItBackwards) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    const AudioCase& c = GetParam();
    TempDir dir;
    const std::string input = dir.File("in.avi");
    ASSERT_TRUE(MakeInput(c, input)) << "ffmpeg cannot write " << c.audioArgs;
    ASSERT_EQ(ProbeAudioStream(input, "codec_name"), c.codec);
    const std::string forward = dir.File("forward.avi");
    const std::string reverse = dir.File("reverse.avi");
    Convert(input, forward, false);
    Convert(input, reverse, true);

    const FfmpegSound in = DecodeCleanly(input);
    const FfmpegSound fwd = DecodeCleanly(forward);
    const FfmpegSound rev = DecodeCleanly(reverse);

    // Forward: the same packets, so the same samples, and the same duration
    // where the stream has one (ffprobe gives none for PCM in AVI).
    EXPECT_EQ(ProbeAudioStream(forward, "codec_name"), c.codec);
    EXPECT_EQ(ProbeAudioStream(forward, "duration"), ProbeAudioStream(input, "duration"));
    EXPECT_TRUE(fwd.samples == in.samples)
        << fwd.samples.size() << " samples forward, " << in.samples.size() << " in the input";

    // Reverse: the input's own format when it is PCM, else 16-bit PCM with
    // the source's channels. Decoder and conversion are the same in both
    // runs, so the reversed samples match the forward ones exactly, priming
    // samples at the start included (they end up at the end).
    EXPECT_EQ(ProbeAudioStream(reverse, "codec_name"), c.pcm ? c.codec : "pcm_s16le");
    const std::string channels = ProbeAudioStream(reverse, "channels");
    ASSERT_EQ(channels, ProbeAudioStream(input, "channels"));
    EXPECT_EQ(ProbeAudioStream(reverse, "sample_rate"), "44100");
    ASSERT_EQ(rev.samples.size(), fwd.samples.size());
    EXPECT_TRUE(Backwards(rev.samples, std::stoul(channels)) == fwd.samples);
}

// Audio no decoder knows cannot be played backwards: the reversed run says
// so once and writes the video alone; a forward run copies it as it is.
TEST(AudioCopy, UndecodableAudioIsLeftOutOfReversedRuns) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const std::string made = dir.File("made.avi");
    ASSERT_TRUE(MakeInput({"Mp3", "-c:a libmp3lame -b:a 128k", "mp3", false}, made));
    avitest::Bytes bytes = avitest::ReadWholeFile(made);
    const std::size_t strf = avitest::Find(bytes, "strf", avitest::Find(bytes, "auds"));
    ASSERT_NE(strf, std::string::npos);
    kmx::StoreU16(&bytes[strf + 8], 0x7A21); // a format tag no codec has
    const std::string input = dir.File("in.avi");
    ASSERT_TRUE(avitest::WriteBytes(input, bytes));

    const std::string reverse = dir.File("reverse.avi");
    ConvertJob job = SimpleJob(input, reverse);
    job.reverse = 1;
    const JobOutcome outcome = RunJobOnWorker(job, false, false);
    EXPECT_EQ(outcome.done, 0);
    EXPECT_EQ(outcome.messages,
              std::vector<std::string>{"WARNING: Error Reading/Writing Audio Samples"});
    EXPECT_EQ(ProbeAudioStream(reverse, "codec_type"), "");
    EXPECT_EQ(ProbeAudioStream(input, "codec_type"), "audio");

    const std::string forward = dir.File("forward.avi");
    Convert(input, forward, false);
    EXPECT_EQ(ProbeAudioStream(forward, "codec_tag"), "0x7a21");
    EXPECT_EQ(ProbeAudioStream(forward, "duration"), ProbeAudioStream(input, "duration"));
}

const AudioCase kCases[] = {
    {"Mp3Cbr", "-c:a libmp3lame -b:a 128k", "mp3", false},
    {"Mp3Vbr", "-c:a libmp3lame -q:a 4", "mp3", false},
    {"Ac3", "-c:a ac3", "ac3", false},
    {"Aac", "-c:a aac", "aac", false},
    {"AdpcmIma", "-c:a adpcm_ima_wav", "adpcm_ima_wav", false},
    {"AdpcmMs", "-c:a adpcm_ms", "adpcm_ms", false},
    {"ALaw", "-c:a pcm_alaw", "pcm_alaw", true},
    {"MuLaw", "-c:a pcm_mulaw", "pcm_mulaw", true},
    {"U8Mono", "-c:a pcm_u8 -ac 1", "pcm_u8", true},
    {"S16Stereo", "-c:a pcm_s16le", "pcm_s16le", true},
    {"S24", "-c:a pcm_s24le", "pcm_s24le", true},
    {"Float", "-c:a pcm_f32le", "pcm_f32le", true},
};

INSTANTIATE_TEST_SUITE_P(Codecs, AudioCopy, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<AudioCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace

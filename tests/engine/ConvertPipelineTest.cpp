// Whole conversions on a real worker thread: frames and sound forwards and
// backwards, mirrors and fields, failures, overlays, previews. And inputs
// that ffmpeg writes with every common kind of AVI audio, judged by ffmpeg:
// forward runs keep the audio as it is with every sample, reversed runs give
// the forward audio played backwards (compressed audio as 16-bit PCM), and
// ffmpeg decodes both without a complaint.
#include "engine/ConvertJob.h"
#include "media/AviReader.h"
#include "media/io/ByteOrder.h"
#include "media/io/FileSink.h"
#include "pattern/TestPattern.h"
#include "tests/engine/JobRunner.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/DamagedInput.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using avitest::AllFrameRows;
using avitest::Bytes;
using avitest::PatternNumbers;
using avitest::WriteSample;

// A sample of frames numbered from first on.
std::string Sample(const TempDir& dir, const char* name, int width, int height, int frames,
                   int bits = 24, int first = 0) {
    return WriteSample(dir, name,
                       {.width = width,
                        .height = height,
                        .bitsPerPixel = bits,
                        .frames = frames,
                        .patternOffset = first});
}

std::vector<std::int16_t> ReadAudioSamples(const std::string& path) {
    CAviReader reader;
    EXPECT_TRUE(reader.Open(path.c_str())) << path;
    const Bytes bytes = avitest::ReadAllAudio(reader, 1 << 16);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = kmx::LoadI16(&bytes[2 * i]);
    }
    return samples;
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

// Runs the job, which must fail before its first frame with this one
// message; an output file that was there before stays as it was.
void ExpectFailure(const ConvertJob& job, const std::string& message) {
    const std::string earlier = "an earlier output";
    const bool made = !std::filesystem::exists(job.outputPath) &&
                      std::ofstream(job.outputPath).write(earlier.data(), earlier.size()).good();
    const JobOutcome outcome = RunJobOnWorker(job);
    EXPECT_EQ(outcome.done, 1) << message;
    EXPECT_EQ(outcome.messages, std::vector<std::string>{message});
    EXPECT_TRUE(!made || ReadText(job.outputPath) == earlier) << message;
}

// The numbers from first to last, counting up or down.
std::vector<int> Counting(int first, int last) {
    std::vector<int> out{first};
    while (out.back() != last) {
        out.push_back(out.back() + (first < last ? 1 : -1));
    }
    return out;
}

// Every frame with its sound, forwards or backwards (stereo samples kept
// together), uncompressed or compressed, also when a frame's sound is larger
// than the audio buffer or a single frame takes it all; the progress notices
// and status texts on the way.
TEST(ConvertPipeline, FramesAndAudioGoForwardsOrBackwardsInStep) {
    struct Case {
        int bits;
        int frames;
        std::uint32_t rate;
        std::uint32_t audioRate;
        int reverse;
        bool mjpeg;                         // else uncompressed
        std::size_t chunks;                 // of audio
        std::vector<std::uint32_t> packets; // the first ones' sizes
    };
    const Case cases[] = {
        // Frame 0 carries sample 0 only, frame 1 samples 1 .. 1763, frame 2 1764 .. 3527.
        {24, 26, 26, 44100, 0, false, 26, {4, 1763 * 4, 1764 * 4}},
        // Sample 44099 only, then 42335 .. 44098, then 40571 .. 42334.
        {16, 26, 26, 44100, 1, true, 26, {4, 1764 * 4, 1764 * 4}},
        // About 288000 bytes of sound a frame, more than the 176000-byte audio buffer.
        {24, 3, 1, 48000, 0, false, 5, {4, 176000, 111996, 176000, 112000}},
        {24, 3, 1, 48000, 1, false, 5, {4, 176000, 112000, 176000, 111996}},
        {24, 1, 2, 44100, 0, false, 1, {88200}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.frames) + " frames, reverse " + std::to_string(c.reverse));
        const std::string input = WriteSample(dir, "in.avi",
                                              {.width = 64,
                                               .height = 48,
                                               .bitsPerPixel = c.bits,
                                               .frames = c.frames,
                                               .rate = c.rate,
                                               .audio = true,
                                               .audioRate = c.audioRate});
        const std::string output = dir.File("out.avi");
        ConvertJob job = SimpleJob(input, output);
        job.reverse = c.reverse;
        if (c.mjpeg) {
            job.compressorSettings.fccType = ICTYPE_VIDEO;
            job.compressorSettings.fccHandler = kmx::MakeFourcc('M', 'J', 'P', 'G');
            job.compressorSettings.lQ = -1;
            job.compressorSettings.lpbiOut = 0xDEADBEEF; // left over from another run: never used
        }
        const JobOutcome outcome = RunJobOnWorker(job);
        ASSERT_EQ(outcome.done, 0) << (outcome.messages.empty() ? "" : outcome.messages[0]);
        EXPECT_TRUE(outcome.messages.empty());
        EXPECT_EQ(PatternNumbers(output),
                  c.reverse ? Counting(c.frames - 1, 0) : Counting(0, c.frames - 1));
        std::vector<std::int16_t> expected = ReadAudioSamples(input);
        ASSERT_EQ(expected.size(), 2u * c.frames * c.audioRate / c.rate);
        expected = c.reverse ? Backwards(expected, 2) : expected;
        EXPECT_TRUE(ReadAudioSamples(output) == expected);
        std::vector<std::uint32_t> packets = avitest::MoviChunkSizes(output, "01wb");
        ASSERT_EQ(packets.size(), c.chunks);
        packets.resize(c.packets.size());
        EXPECT_EQ(packets, c.packets);

        // The notice before the first frame hides the progress, the next one
        // counts no frame yet, then one per frame written with the frames in
        // the file and the frame count.
        ASSERT_EQ(outcome.progress.size(), c.frames + 2u);
        EXPECT_EQ(outcome.progress[0], -1);
        EXPECT_EQ(outcome.progress[2], 1000 / c.frames);
        EXPECT_EQ(outcome.progress.back(), 1000);
        for (int i = 0; i <= c.frames + 1; ++i) {
            EXPECT_EQ(outcome.progressFrames[static_cast<std::size_t>(i)],
                      i == 0 ? std::make_pair(-1, -1) : std::make_pair(i - 1, c.frames));
        }
        // Status texts the window has not taken yet are dropped, never queued:
        // those that arrive count up from the first.
        EXPECT_EQ(outcome.statuses.front(), "0 / " + std::to_string(c.frames));
        for (std::size_t i = 1; i < outcome.statuses.size(); ++i) {
            EXPECT_LT(std::stoi(outcome.statuses[i - 1]), std::stoi(outcome.statuses[i]));
        }
    }
}

TEST(ConvertPipeline, MirrorsAndReverseInterlacedRecombineFields) {
    TempDir dir;
    const std::string input = Sample(dir, "in.avi", 32, 24, 4, 32);
    const std::vector<Bytes> in = AllFrameRows(input);
    ASSERT_EQ(in.size(), 4u);

    const std::string mirrored = dir.File("mirrored.avi");
    ConvertJob job = SimpleJob(input, mirrored);
    job.mirrorHorizontal = 1;
    job.mirrorVertical = 1;
    ASSERT_EQ(RunJobOnWorker(job).done, 0);
    const std::vector<Bytes> out = AllFrameRows(mirrored);
    ASSERT_EQ(out.size(), 4u);
    // Both mirrors turn the picture by 180 degrees: pixel p becomes pixel N-1-p.
    const std::size_t count = 32 * 24;
    for (std::size_t p = 0; p < count; p += 7) {
        EXPECT_EQ(std::memcmp(&out[2][4 * p], &in[2][4 * (count - 1 - p)], 4), 0);
    }

    const std::string combined = dir.File("combined.avi");
    job = SimpleJob(input, combined);
    job.reverse = 1;
    job.interlaced = 1;
    ASSERT_EQ(RunJobOnWorker(job).done, 0);
    const std::vector<Bytes> back = AllFrameRows(combined);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[0], in[3]);
    // The even rows counted from the bottom come from the frame before.
    const std::size_t stride = 32 * 4;
    for (std::size_t row = 0; row < 24; ++row) {
        const auto& source = row % 2 == 1 ? in[3] : in[2];
        EXPECT_EQ(std::memcmp(&back[1][row * stride], &source[row * stride], stride), 0) << row;
    }
}

// Each failure with its one message, naming the file and the cause; an
// output naming an input (also through a link or another path) is refused
// before anything is deleted, and so is one another run holds.
TEST(ConvertPipeline, FailuresAreReportedWithTheirTexts) {
    TempDir dir;
    const std::string input = Sample(dir, "in.avi", 32, 16, 2);

    ExpectFailure(SimpleJob(dir.File("missing.avi"), dir.File("o1.avi")),
                  "FEHLER: Öffne Input AVI (" + dir.File("missing.avi") +
                      ": No such file or directory)");
    ExpectFailure(SimpleJob(input, dir.File("no-such-folder/out.avi")),
                  "FEHLER: Öffne Output AVI (" + dir.File("no-such-folder/out.avi") +
                      ": No such file or directory)");
    {
        kmx::FileSink other; // another run writing the output
        ASSERT_TRUE(other.Open(dir.File("held.avi").c_str()));
        ExpectFailure(SimpleJob(input, dir.File("held.avi")),
                      "FEHLER: Öffne Output AVI (" + dir.File("held.avi") +
                          ": in use by another conversion)");
    }
    if (geteuid() != 0) { // root writes into any folder
        std::filesystem::create_directory(dir.File("locked"));
        std::filesystem::permissions(dir.File("locked"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
        ExpectFailure(SimpleJob(input, dir.File("locked/out.avi")), "FEHLER: Öffne Output AVI (" +
                                                                        dir.File("locked/out.avi") +
                                                                        ": Permission denied)");
    }
    // A full disk says so.
    const JobOutcome full = RunJobOnWorker(SimpleJob(input, "/dev/full"));
    EXPECT_EQ(full.done, 1);
    EXPECT_EQ(full.messages, std::vector<std::string>{
                                 "ERROR: Adding Video Frame (/dev/full: No space left on device)"});
    const std::string empty = Sample(dir, "empty.avi", 32, 16, 0);
    ExpectFailure(SimpleJob(empty, dir.File("o0.avi")), "ERROR: Getting First Video Frame");

    ConvertJob job = SimpleJob(input, dir.File("o2.avi"));
    job.compressorSettings.fccType = ICTYPE_VIDEO;
    job.compressorSettings.fccHandler = kmx::MakeFourcc('N', 'O', 'N', 'E');
    ExpectFailure(job, "ERROR: Open Compressor");

    // Rows of 322 x 3 bytes are padded to 968 bytes: refused at the first frame.
    const std::string padded = Sample(dir, "padded.avi", 322, 8, 2);
    ExpectFailure(SimpleJob(padded, dir.File("o3.avi")), "ERROR: Inconsistant Frame Bitmap Data");

    job = SimpleJob(input, dir.File("o4.avi"));
    job.overlays[5].width = job.overlays[5].height = 10;
    job.overlays[5].path = dir.File("no-overlay.avi");
    ExpectFailure(job, "FEHLER: Öffne Overlay AVI (" + dir.File("no-overlay.avi") + ")");
    // A message longer than 255 bytes is cut safely.
    job.overlays[5].path = dir.File(std::string(300, 'x') + ".avi");
    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0].size(), 255u);
    EXPECT_EQ(outcome.messages[0].rfind("FEHLER: Öffne Overlay AVI (", 0), 0u);

    const std::string overlay = Sample(dir, "over.avi", 32, 16, 2);
    std::filesystem::create_symlink(input, dir.File("link.avi"));
    std::filesystem::create_hard_link(overlay, dir.File("hard.avi"));
    for (const std::string& output : {input, dir.File("link.avi"), dir.File("./in.avi")}) {
        ExpectFailure(SimpleJob(input, output),
                      "FEHLER: Öffne Output AVI (" + output + ": is the input)");
    }
    job = SimpleJob(input, dir.File("hard.avi"));
    job.overlays[0].path = overlay;
    job.overlays[0].width = job.overlays[0].height = 10;
    ExpectFailure(job, "FEHLER: Öffne Output AVI (" + dir.File("hard.avi") + ": is an overlay)");
    EXPECT_EQ(PatternNumbers(input), Counting(0, 1));
    EXPECT_EQ(PatternNumbers(overlay), Counting(0, 1));

    REQUIRE_TOOL("ffmpeg");
    const std::string pal8 = dir.File("pal8.avi");
    ASSERT_TRUE(avitest::Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=32x16:rate=5", "-t", "1",
                                 "-c:v", "rawvideo", "-pix_fmt", "pal8", pal8}));
    job = SimpleJob(input, dir.File("o5.avi"));
    job.overlays[5].path = pal8;
    job.overlays[5].width = job.overlays[5].height = 10;
    ExpectFailure(job, "ERROR: Overlay Frame Format (color deep=8) not supported");
    const std::string sound = dir.File("sound.avi"); // an overlay without video
    ASSERT_TRUE(
        avitest::Ffmpeg({"-f", "lavfi", "-i", "sine", "-t", "1", "-c:a", "pcm_s16le", sound}));
    job.overlays[5].path = sound;
    ExpectFailure(job, "ERROR: Start Video Retrieve (Overlay)");
}

// A run still succeeds on an input cut short, but says so, with the frames
// read against those the container promised; so does the count of damaged
// frames of an overlay that ended before the run did.
TEST(ConvertPipeline, CutInputAndEndedOverlaysAreReported) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const struct {
        const char* name;
        const char* codec;
        double keep; // the part of the file left
        bool warned;
    } cases[] = {
        {"whole.mkv", "mjpeg", 1.0, false}, {"cut.mkv", "mjpeg", 0.3, true},
        {"cut.mp4", "libx264", 0.5, true},  {"whole.mp4", "libx264", 1.0, false},
        {"cut.avi", "mjpeg", 0.5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        ASSERT_TRUE(avitest::Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-t", "4",
                                     "-c:v", c.codec, "-movflags", "+faststart", path}));
        std::filesystem::resize_file(
            path, static_cast<std::uintmax_t>(std::filesystem::file_size(path) * c.keep));
        const JobOutcome outcome = RunJobOnWorker(SimpleJob(path, dir.File("out.avi")));
        EXPECT_EQ(outcome.done, 0);
        CAviReader output;
        ASSERT_TRUE(output.Open(dir.File("out.avi").c_str()));
        const int read = output.GetVideoLength(0);
        EXPECT_EQ(read < 100, c.warned);
        const std::vector<std::string> warning = {
            "WARNING: The input ended early: " + std::to_string(read) +
            " of 100 frames could be read"};
        EXPECT_EQ(outcome.warnings, c.warned ? warning : std::vector<std::string>{});
    }

    // The overlay's frames 20 and 40 are damaged; it ends at 45 of 100.
    const std::string damaged = dir.File("damaged.avi");
    ASSERT_TRUE(WriteDamagedH264Avi(damaged));
    ConvertJob job = SimpleJob(Sample(dir, "base.avi", 320, 240, 100), dir.File("over.avi"));
    job.overlays[0].path = damaged;
    job.overlays[0].width = 32;
    job.overlays[0].height = 24;
    job.overlays[0].overlayEnd = 45;
    const JobOutcome outcome = RunJobOnWorker(job);
    EXPECT_EQ(outcome.done, 0);
    EXPECT_GE(outcome.damaged, 1);
}

// An overlay drawn unscaled over the whole 160 x 120 frame: its frames
// first..last from output frame base on.
void CoverWholeFrame(OverlaySettings& slot, const std::string& path, int first, int last,
                     int base) {
    slot.path = path;
    slot.width = 160;
    slot.height = 120;
    slot.noResize = 1;
    slot.overlayStart = first;
    slot.overlayEnd = last;
    slot.baseStart = base;
}

// The job is handed over by pointer and a copy of it shares the slots' open
// readers. The worker clears and releases the readers of its own copy only: a
// reader the caller's job carries in an unused slot stays there, open, and
// the output shows only the slots' own files.
TEST(ConvertPipeline, OverlaysAppearOnTheirFramesWithSlotOneOnTopFromTheRunsOwnJob) {
    TempDir dir;
    const std::string input = Sample(dir, "in.avi", 160, 120, 20);
    const std::string overlay = Sample(dir, "over.avi", 160, 120, 30, 16, 1000);
    const std::string top = Sample(dir, "top.avi", 160, 120, 30, 32, 2000);

    ConvertJob job = SimpleJob(input, dir.File("out.avi"));
    // Slot 2: overlay frames 10..19 on output frames 5..14, covering the frame.
    CoverWholeFrame(job.overlays[1], overlay, 10, 19, 5);
    // Slot 1: overlay frame 0..2 on output frames 12..14, on top of slot 2.
    CoverWholeFrame(job.overlays[0], top, 0, 2, 12);
    CoverWholeFrame(job.overlays[2], "", 0, 3, 0);
    auto callers = std::make_shared<CAviReader>();
    ASSERT_TRUE(callers->Open(top.c_str()));
    ASSERT_TRUE(callers->StartVideoRetrieve(0));
    job.overlays[2].reader = callers;

    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0);
    const std::vector<int> expected = {0,    1,    2,    3,    4,    1010, 1011, 1012, 1013, 1014,
                                       1015, 1016, 2000, 2001, 2002, 15,   16,   17,   18,   19};
    EXPECT_EQ(PatternNumbers(dir.File("out.avi")), expected);
    EXPECT_EQ(job.overlays[2].reader, callers);
    const BITMAPINFOHEADER* frame = nullptr;
    callers->GetVideoFrame(0, 3, &frame);
    EXPECT_NE(frame, nullptr); // still open and usable
}

TEST(ConvertPipeline, PreviewFramesCarryTheWholeConvertedFrame) {
    TempDir dir;
    const std::string input = Sample(dir, "in.avi", 32, 16, 3);
    ConvertJob job = SimpleJob(input, dir.File("out.avi"));
    job.preview = 1;
    JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0);
    // A frame offered while the window still holds the previous one is
    // dropped, so how many arrive depends on timing; each is a whole frame.
    EXPECT_GE(outcome.previews, 1);
    ASSERT_EQ(outcome.lastPreview.size(), 40u + 32 * 16 * 3);
    EXPECT_EQ(kmx::LoadI32(&outcome.lastPreview[4]), 32); // biWidth
    const int shown = kmx::ReadTestPatternNumber(outcome.lastPreview.data() + 40, 32, 16, 24);
    EXPECT_GE(shown, 0);
    EXPECT_LE(shown, 2);

    // Frames the receiver never gives back are dropped, not queued.
    outcome = RunJobOnWorker(job, true, false);
    EXPECT_EQ(outcome.done, 0);
    EXPECT_EQ(outcome.previews, 1);
    // The same for status texts.
    outcome = RunJobOnWorker(job, false, true);
    EXPECT_EQ(outcome.statuses.size(), 1u);
}

struct AudioCase {
    const char* name;
    const char* audioArgs; // ffmpeg's audio output options, separated by spaces
    const char* codec;     // as ffprobe names the input's audio
    bool pcm;              // cut and reversed as it is, not decoded
};

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

// Audio no decoder knows cannot be played backwards: the reader leaves the
// stream as it is and says so, the reversed run says so once and writes the
// video alone; a forward run copies it as it is.
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
    CAviReader reader;
    ASSERT_TRUE(reader.Open(input.c_str()));
    EXPECT_FALSE(reader.DecodeAudioToPcm(0));
    EXPECT_FALSE(reader.DecodeAudioToPcm(1)); // no such stream

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
    {"Aac", "-c:a aac", "aac", false},
    {"AdpcmIma", "-c:a adpcm_ima_wav", "adpcm_ima_wav", false},
    {"ALaw", "-c:a pcm_alaw", "pcm_alaw", true},
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

#include "engine/ConvertJob.h"
#include "media/AviReader.h"
#include "media/io/ByteOrder.h"
#include "pattern/TestPattern.h"
#include "tests/engine/JobRunner.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

using avitest::Bytes;
using avitest::PatternNumbers;

// A sample whose frames show the numbers from firstNumber on.
std::string MakeSample(const TempDir& dir, const std::string& name, kmx::SampleAviOptions options,
                       int firstNumber = 0) {
    const std::string path = dir.File(name);
    std::string error;
    options.patternOffset = firstNumber;
    EXPECT_TRUE(kmx::WriteSampleAvi(path, options, &error)) << error;
    return path;
}

// The pixel rows of every frame of a file, read with our own reader.
std::vector<Bytes> ReadFrames(const std::string& path) {
    std::vector<Bytes> frames;
    CAviReader reader;
    EXPECT_TRUE(reader.Open(path.c_str()) && reader.StartVideoRetrieve(0)) << path;
    for (std::int32_t i = 0; i < reader.GetVideoLength(0); ++i) {
        const BITMAPINFOHEADER* h = nullptr;
        reader.GetVideoFrame(0, i, &h);
        if (h == nullptr) {
            ADD_FAILURE() << "frame " << i << " of " << path;
            break;
        }
        frames.emplace_back(avitest::DibPixels(h), avitest::DibPixels(h) + h->biSizeImage);
    }
    return frames;
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

kmx::SampleAviOptions Options(int w, int h, int bits, int frames, std::uint32_t rate = 25,
                              bool audio = false) {
    return {.width = w,
            .height = h,
            .bitsPerPixel = bits,
            .frames = frames,
            .rate = rate,
            .audio = audio};
}

// Runs the job, which must fail with this one message.
void ExpectFailure(const ConvertJob& job, const std::string& message) {
    const JobOutcome outcome = RunJobOnWorker(job);
    EXPECT_EQ(outcome.done, 1) << message;
    EXPECT_EQ(outcome.messages, std::vector<std::string>{message});
}

// The numbers from first to last, counting up or down.
std::vector<int> Counting(int first, int last) {
    std::vector<int> out{first};
    while (out.back() != last) {
        out.push_back(out.back() + (first < last ? 1 : -1));
    }
    return out;
}

TEST(ConvertPipeline, ForwardCopiesFramesAndAudioInStep) {
    TempDir dir;
    // One second: 44100 samples over 26 frames.
    const std::string input = MakeSample(dir, "in.avi", Options(64, 48, 24, 26, 26, true));
    const std::string output = dir.File("out.avi");
    const JobOutcome outcome = RunJobOnWorker(SimpleJob(input, output));
    ASSERT_EQ(outcome.done, 0);
    EXPECT_TRUE(outcome.messages.empty());
    // The notice before the first frame hides the progress, then one per frame
    // with its number and the frame count.
    ASSERT_EQ(outcome.progress.size(), 27u);
    EXPECT_EQ(outcome.progress.front(), -1);
    EXPECT_EQ(outcome.progress[1], 1000 * 1 / 26);
    EXPECT_EQ(outcome.progress.back(), 1000);
    ASSERT_EQ(outcome.progressFrames.size(), 27u);
    EXPECT_EQ(outcome.progressFrames.front(), std::make_pair(-1, -1));
    for (int i = 1; i <= 26; ++i) {
        EXPECT_EQ(outcome.progressFrames[static_cast<std::size_t>(i)], std::make_pair(i, 26));
    }
    // Status texts the window has not taken yet are dropped, never queued:
    // those that arrive count up from the first.
    EXPECT_EQ(outcome.statuses.front(), "1 / 26");
    for (std::size_t i = 1; i < outcome.statuses.size(); ++i) {
        EXPECT_LT(std::stoi(outcome.statuses[i - 1]), std::stoi(outcome.statuses[i]));
    }

    EXPECT_EQ(PatternNumbers(output), Counting(0, 25));
    EXPECT_EQ(ReadAudioSamples(output), ReadAudioSamples(input));

    // What each output frame carries.
    const std::vector<std::uint32_t> packets = avitest::MoviChunkSizes(output, "01wb");
    ASSERT_EQ(packets.size(), 26u);
    EXPECT_EQ(packets[0], 4u);        // frame 0: sample 0 only
    EXPECT_EQ(packets[1], 1763u * 4); // frame 1: samples 1 .. 1763
    EXPECT_EQ(packets[2], 1764u * 4); // frame 2: samples 1764 .. 3527
}

TEST(ConvertPipeline, ReverseWritesFramesAndAudioBackwards) {
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(64, 48, 16, 26, 26, true));
    const std::string output = dir.File("out.avi");
    ConvertJob job = SimpleJob(input, output);
    job.reverse = 1;
    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0);
    EXPECT_EQ(PatternNumbers(output), Counting(25, 0));

    // The audio is the input's, sample by sample in reverse (both channels
    // of a sample stay together).
    const std::vector<std::int16_t> in = ReadAudioSamples(input);
    const std::vector<std::int16_t> out = ReadAudioSamples(output);
    ASSERT_EQ(in.size(), out.size());
    ASSERT_EQ(in.size(), 44100u * 2);
    for (std::size_t s = 0; s < 44100; s += 97) {
        EXPECT_EQ(out[2 * s], in[2 * (44099 - s)]);
        EXPECT_EQ(out[2 * s + 1], in[2 * (44099 - s) + 1]);
    }
    // What each output frame carries.
    const std::vector<std::uint32_t> packets = avitest::MoviChunkSizes(output, "01wb");
    ASSERT_EQ(packets.size(), 26u);
    EXPECT_EQ(packets[0], 4u);        // sample 44099 only
    EXPECT_EQ(packets[1], 1764u * 4); // 42335 .. 44098
    EXPECT_EQ(packets[2], 1764u * 4); // 40571 .. 42334
}

TEST(ConvertPipeline, LargeAudioPerFrameIsNeverDropped) {
    // One frame per second at 48 kHz stereo is 192000 bytes a frame, more than
    // the 176000-byte audio buffer; every sample must still arrive.
    TempDir dir;
    kmx::SampleAviOptions o = Options(32, 16, 24, 3, 1, true);
    o.audioRate = 48000;
    const std::string input = MakeSample(dir, "in.avi", o);
    for (int reverse : {0, 1}) {
        const std::string output = dir.File("out" + std::to_string(reverse) + ".avi");
        ConvertJob job = SimpleJob(input, output);
        job.reverse = reverse;
        ASSERT_EQ(RunJobOnWorker(job).done, 0);
        std::vector<std::int16_t> in = ReadAudioSamples(input);
        const std::vector<std::int16_t> out = ReadAudioSamples(output);
        ASSERT_EQ(out.size(), in.size());
        if (reverse != 0) {
            for (std::size_t s = 0; s < in.size() / 2; ++s) {
                ASSERT_EQ(out[2 * s], in[in.size() - 2 - 2 * s]) << s;
            }
        } else {
            EXPECT_EQ(out, in);
        }
    }
}

TEST(ConvertPipeline, SingleFrameTakesAllTheAudio) {
    TempDir dir;
    // Half a second of sound with one frame.
    const std::string input = MakeSample(dir, "in.avi", Options(32, 16, 24, 1, 2, true));
    const std::string output = dir.File("out.avi");
    ASSERT_EQ(RunJobOnWorker(SimpleJob(input, output)).done, 0);
    EXPECT_EQ(ReadAudioSamples(output), ReadAudioSamples(input));
    EXPECT_EQ(ReadAudioSamples(output).size(), 22050u * 2);
}

TEST(ConvertPipeline, MirrorsAndReverseInterlacedRecombineFields) {
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(32, 24, 32, 4));
    const std::vector<Bytes> in = ReadFrames(input);
    ASSERT_EQ(in.size(), 4u);

    const std::string mirrored = dir.File("mirrored.avi");
    ConvertJob job = SimpleJob(input, mirrored);
    job.mirrorHorizontal = 1;
    job.mirrorVertical = 1;
    ASSERT_EQ(RunJobOnWorker(job).done, 0);
    const std::vector<Bytes> out = ReadFrames(mirrored);
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
    const std::vector<Bytes> back = ReadFrames(combined);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[0], in[3]);
    const std::size_t stride = 32 * 4;
    for (std::size_t row = 0; row < 24; ++row) {
        const auto& source = row % 2 == 0 ? in[3] : in[2];
        EXPECT_EQ(std::memcmp(&back[1][row * stride], &source[row * stride], stride), 0) << row;
    }
}

TEST(ConvertPipeline, FailuresAreReportedWithTheirTexts) {
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(32, 16, 24, 2));

    ExpectFailure(SimpleJob(dir.File("missing.avi"), dir.File("o1.avi")),
                  "FEHLER: Öffne Input AVI");
    ExpectFailure(SimpleJob(input, dir.File("no-such-folder/out.avi")), "FEHLER: Öffne Output AVI");

    ConvertJob job = SimpleJob(input, dir.File("o2.avi"));
    job.compressorSettings.fccType = ICTYPE_VIDEO;
    job.compressorSettings.fccHandler = kmx::MakeFourcc('N', 'O', 'N', 'E');
    ExpectFailure(job, "ERROR: Open Compressor");

    // Rows of 322 x 3 bytes are padded to 968 bytes: refused at the first frame.
    const std::string padded = MakeSample(dir, "padded.avi", Options(322, 8, 24, 2));
    ExpectFailure(SimpleJob(padded, dir.File("o3.avi")), "ERROR: Inconsistant Frame Bitmap Data");

    job = SimpleJob(input, dir.File("o4.avi"));
    job.overlays[3].path = dir.File("no-overlay.avi");
    job.overlays[3].width = job.overlays[3].height = 10;
    ExpectFailure(job, "FEHLER: Öffne Overlay AVI (" + dir.File("no-overlay.avi") + ")");

    // A message longer than 255 bytes is cut safely.
    job.overlays[3].path = dir.File(std::string(300, 'x') + ".avi");
    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0].size(), 255u);
    EXPECT_EQ(outcome.messages[0].rfind("FEHLER: Öffne Overlay AVI (", 0), 0u);
}

TEST(ConvertPipeline, OutputNamingAnInputIsRefusedBeforeAnythingIsDeleted) {
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(32, 16, 24, 2));
    const std::string overlay = MakeSample(dir, "over.avi", Options(32, 16, 24, 2));
    const auto inputSize = std::filesystem::file_size(input);
    std::filesystem::create_symlink(input, dir.File("link.avi"));
    std::filesystem::create_hard_link(overlay, dir.File("hard.avi"));

    for (const std::string& output : {input, dir.File("link.avi"), dir.File("./in.avi")}) {
        ExpectFailure(SimpleJob(input, output), "FEHLER: Öffne Output AVI");
    }
    ConvertJob job = SimpleJob(input, dir.File("hard.avi"));
    job.overlays[0].path = overlay;
    job.overlays[0].width = job.overlays[0].height = 10;
    ExpectFailure(job, "FEHLER: Öffne Output AVI");

    EXPECT_EQ(std::filesystem::file_size(input), inputSize);
    EXPECT_EQ(PatternNumbers(input), Counting(0, 1));
    EXPECT_EQ(PatternNumbers(overlay), Counting(0, 1));
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

TEST(ConvertPipeline, OverlaysAppearOnTheirFramesWithSlotOneOnTop) {
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(160, 120, 24, 20));
    const std::string overlay = MakeSample(dir, "over.avi", Options(160, 120, 16, 30), 1000);
    const std::string top = MakeSample(dir, "top.avi", Options(160, 120, 32, 30), 2000);

    ConvertJob job = SimpleJob(input, dir.File("out.avi"));
    // Slot 2: overlay frames 10..19 on output frames 5..14, covering the frame.
    CoverWholeFrame(job.overlays[1], overlay, 10, 19, 5);
    // Slot 1: overlay frame 0..2 on output frames 12..14, on top of slot 2.
    CoverWholeFrame(job.overlays[0], top, 0, 2, 12);
    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0);
    const std::vector<int> numbers = PatternNumbers(dir.File("out.avi"));
    const std::vector<int> expected = {0,    1,    2,    3,    4,    1010, 1011, 1012, 1013, 1014,
                                       1015, 1016, 2000, 2001, 2002, 15,   16,   17,   18,   19};
    EXPECT_EQ(numbers, expected);
}

TEST(ConvertPipeline, TheRunWorksOnItsOwnCopyOfTheJob) {
    // The job is handed over by pointer and a copy of it shares the slots'
    // open readers. The worker clears and releases the readers of its own
    // copy only: a reader the caller's job carries stays there, open (here in
    // an unused slot on top), and the output shows only the slot's own file.
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(160, 120, 24, 4));
    const std::string overlay = MakeSample(dir, "over.avi", Options(160, 120, 24, 4), 1000);

    ConvertJob job = SimpleJob(input, dir.File("out.avi"));
    CoverWholeFrame(job.overlays[0], "", 0, 3, 100);
    CoverWholeFrame(job.overlays[1], overlay, 0, 3, 0);
    auto callers = std::make_shared<CAviReader>();
    ASSERT_TRUE(callers->Open(overlay.c_str()));
    ASSERT_TRUE(callers->StartVideoRetrieve(0));
    job.overlays[0].reader = callers;

    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0);
    EXPECT_EQ(PatternNumbers(dir.File("out.avi")), Counting(1000, 1003));
    EXPECT_EQ(job.overlays[0].reader, callers);
    const BITMAPINFOHEADER* frame = nullptr;
    callers->GetVideoFrame(0, 3, &frame);
    EXPECT_NE(frame, nullptr); // still open and usable
}

TEST(ConvertPipeline, EightBitOverlayIsRefused) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(32, 16, 24, 2));
    const std::string pal8 = dir.File("pal8.avi");
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=32x16:rate=5",
                       "-t", "1", "-c:v", "rawvideo", "-pix_fmt", "pal8", pal8}),
              0);
    ConvertJob job = SimpleJob(input, dir.File("out.avi"));
    job.overlays[5].path = pal8;
    job.overlays[5].width = job.overlays[5].height = 10;
    ExpectFailure(job, "ERROR: Overlay Frame Format (color deep=8) not supported");
}

TEST(ConvertPipeline, CompressedOutputIsReadable) {
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(64, 48, 24, 12));
    ConvertJob job = SimpleJob(input, dir.File("out.avi"));
    job.compressorSettings.fccType = ICTYPE_VIDEO;
    job.compressorSettings.fccHandler = kmx::MakeFourcc('M', 'J', 'P', 'G');
    job.compressorSettings.lQ = -1;
    job.compressorSettings.lpbiOut = 0xDEADBEEF; // left over from another run: never used
    job.reverse = 1;
    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0) << (outcome.messages.empty() ? "" : outcome.messages[0]);
    EXPECT_EQ(PatternNumbers(dir.File("out.avi")), Counting(11, 0));
}

TEST(ConvertPipeline, PreviewFramesCarryTheWholeConvertedFrame) {
    TempDir dir;
    const std::string input = MakeSample(dir, "in.avi", Options(32, 16, 24, 3));
    ConvertJob job = SimpleJob(input, dir.File("out.avi"));
    job.preview = 1;
    JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0);
    // A frame offered while the window still holds the previous one is
    // dropped, so how many arrive depends on timing; each is a whole frame.
    EXPECT_GE(outcome.previews, 1);
    ASSERT_EQ(outcome.lastPreview.size(), 40u + 32 * 16 * 3);
    BITMAPINFOHEADER header{};
    std::memcpy(&header, outcome.lastPreview.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 32);
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

TEST(ConvertPipeline, EmptyInputIsReportedAtTheFirstFrame) {
    TempDir dir;
    const std::string input = MakeSample(dir, "empty.avi", Options(32, 16, 24, 0));
    ExpectFailure(SimpleJob(input, dir.File("out.avi")), "ERROR: Getting First Video Frame");
}

} // namespace

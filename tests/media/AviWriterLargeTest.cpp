// A real file past 1 GiB: written as OpenDML with AVIX RIFFs, accepted by
// ffprobe with every frame and audio sample, and its last frame found
// through the index and decoded right. And a conversion killed past 2 GiB:
// what it wrote is whole to ffprobe and to our reader.
#include "media/avi/AviChunkIds.h"
#include "pattern/TestPattern.h"

#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/KilledRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace avitest;

namespace {

// Several RIFFs of at most 1 GiB, idx1 in the first only, all 1400 frames
// in their movi lists, and the OpenDML indexes reach every one of them.
void ExpectOpenDmlLayout(const std::string& path) {
    RiffFile f;
    std::string problem;
    ASSERT_TRUE(f.Load(path, &problem)) << problem;
    EXPECT_GT(f.FileSize(), std::uint64_t{1} << 30);
    ASSERT_GE(f.Riffs().size(), 2u);
    std::size_t frames = 0;
    for (std::size_t r = 0; r < f.Riffs().size(); ++r) {
        const Chunk& riff = f.Riffs()[r];
        EXPECT_EQ(riff.listType, r == 0 ? kmx::kAvi : kmx::kAvix);
        EXPECT_LE(riff.size, 1u << 30);
        EXPECT_EQ(riff.Child(kmx::kIdx1) != nullptr, r == 0);
        for (const Chunk& c : riff.Child(kmx::kList, kmx::kMovi)->children) {
            frames += c.id == kmx::StreamChunkId(0, 'd', 'b') ? 1 : 0;
        }
    }
    EXPECT_EQ(frames, 1400u);
    std::vector<kmx::AviStreamIndex> indexes;
    kmx::AviIndexSource source = kmx::AviIndexSource::None;
    ASSERT_TRUE(LoadIndexes(path, indexes, &source));
    EXPECT_EQ(source, kmx::AviIndexSource::OpenDml);
    EXPECT_EQ(indexes[0].entries.size(), 1400u);
}

TEST(AviWriterLarge, FilePast1GiBIsOpenDmlAndReadableToTheLastFrame) {
    TempDir dir;
    const std::string path = dir.File("large.avi");
    const kmx::SampleAviOptions o{.width = 640, .height = 480, .frames = 1400, .audio = true};
    std::string error;
    ASSERT_TRUE(kmx::WriteSampleAvi(path, o, &error)) << error;

    ASSERT_NO_FATAL_FAILURE(ExpectOpenDmlLayout(path));

    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("ffmpeg");
    std::string errors;
    auto p = ProbeStreams(path, &errors);
    EXPECT_EQ(p["stream.0.nb_frames"], "1400") << errors;
    EXPECT_EQ(p["stream.0.nb_read_frames"], "1400");
    EXPECT_EQ(p["stream.1.nb_frames"], std::to_string(kmx::TestAudioFirstSample(1400, o)));

    // Seek straight to the last frame (55.96 s), which needs the OpenDML
    // index, and decode it.
    std::string out;
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-nostdin", "-ss", "55.96", "-i", path, "-map",
                       "0:v:0", "-frames:v", "1", "-f", "rawvideo", "-"},
                      &out),
              0);
    ASSERT_EQ(out.size(), 640u * 480 * 3);
    const auto dib = TopDownToDib(reinterpret_cast<const std::uint8_t*>(out.data()), 640, 480, 24);
    EXPECT_EQ(kmx::ReadTestPatternNumber(dib.data(), 640, 480, 24), 1399);

    // The audio at the end is there too.
    std::string sound;
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-nostdin", "-ss", "55.9", "-i", path, "-map",
                       "0:a:0", "-f", "s16le", "-"},
                      &sound),
              0);
    ASSERT_GE(sound.size(), 4u);
    const std::size_t lastSample = sound.size() / 4 - 1;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(sound.data());
    EXPECT_EQ(kmx::LoadI16(bytes + lastSample * 4),
              kmx::TestAudioValue(kmx::TestAudioFirstSample(1400, o) - 1, 0));
}

// SIGKILL (the OOM killer, a power cut) leaves the last AVIX RIFF open,
// without its index. The writer keeps its sizes and the header's lengths
// current to within a second of video, so ffprobe shows the duration, and
// our reader finds every frame ffprobe reads, in that RIFF too.
TEST(AviWriterLarge, ConversionKilledPast2GiBLeavesEveryFrameReadable) {
    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string in = dir.File("in.avi");
    std::string errors;
    ASSERT_TRUE(
        Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25", "-f", "lavfi", "-i",
                "sine=sample_rate=44100", "-t", "16", "-c:v", "mjpeg", "-c:a", "pcm_s16le", in},
               &errors))
        << errors;
    // Uncompressed, 6 MB a frame: 1 GiB holds 172 frames. A line of progress
    // comes every 40 frames, counting the frames in the file.
    const std::string out = dir.File("killed.avi");
    const long written = KillAtFrame(KADRIMIX_CLI_PATH, {"convert", "-i", in, "-o", out}, 360);
    ASSERT_GE(written, 360) << "the run ended before frame 360";

    auto p = ProbeStreams(out, &errors);
    const long counted = std::atol(p["stream.0.nb_frames"].c_str()); // 0 for "N/A"
    const long read = std::atol(p["stream.0.nb_read_frames"].c_str());
    EXPECT_GE(counted, written - 25) << errors;
    EXPECT_GE(read, written);
    EXPECT_DOUBLE_EQ(std::atof(p["stream.0.duration"].c_str()), counted / 25.0);

    CAviReader reader;
    ASSERT_TRUE(reader.Open(out.c_str()));
    ASSERT_EQ(reader.GetVideoLength(0), read);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    std::string last;
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-nostdin", "-i", out, "-map", "0:v:0", "-vf",
                       "select=eq(n\\," + std::to_string(read - 1) + ")", "-fps_mode",
                       "passthrough", "-f", "rawvideo", "-"},
                      &last),
              0);
    const Bytes rows = FrameRows(reader, static_cast<std::int32_t>(read - 1));
    EXPECT_TRUE(rows == Bytes(last.begin(), last.end())) << rows.size() << " " << last.size();
}

} // namespace

// OpenDML output: a file split into AVIX RIFFs by a small RIFF limit, read
// back through its indexes by our reader and ffmpeg, and the 64-bit offsets
// of an output past 4 GiB, laid out sparsely without its sample data.
#include "media/avi/RiffAviWriter.h"
#include "media/io/FileSink.h"
#include "pattern/TestPattern.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace avitest;
using kmx::AviIndexSource;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr std::uint32_t kFrameBytes = kWidth * kHeight * 3;

kmx::AviStreamSetup StreamSetup(bool video, int width = kWidth, int height = kHeight,
                                int bits = 24) {
    kmx::AviStreamSetup s;
    s.video = video;
    s.header = video ? VideoHeader(width, height) : AudioHeader(8000, 1);
    s.format = video ? BitmapFormat(width, height, bits) : WaveFormat(1, 8000);
    return s;
}

TEST(AviWriterOpenDml, SmallRiffLimitGivesAvixRiffsThatReadBackThroughTheIndex) {
    TempDir dir;
    const std::string path = dir.File("odml.avi");
    constexpr std::uint64_t kLimit = 100000;
    constexpr int kFrames = 60; // 25 frames per second with 320 mono samples each
    Bytes audio;
    std::vector<int> numbers;
    {
        kmx::FileSink sink;
        ASSERT_TRUE(sink.Open(path.c_str()));
        kmx::RiffAviWriter layout(sink, kLimit);
        ASSERT_TRUE(layout.Begin({StreamSetup(true), StreamSetup(false)}));
        Bytes frame(kFrameBytes);
        Bytes sound(640);
        for (int k = 0; k < kFrames; ++k) {
            kmx::FillTestPatternFrame(frame.data(), kWidth, kHeight, 24, k);
            ASSERT_TRUE(layout.WriteChunk(0, frame.data(), kFrameBytes, true, 1));
            for (int i = 0; i < 320; ++i) {
                kmx::StoreI16(&sound[2 * static_cast<std::size_t>(i)],
                              kmx::TestAudioValue(k * 320 + i, 0));
            }
            ASSERT_TRUE(layout.WriteChunk(1, sound.data(), 640, true, 320));
            audio.insert(audio.end(), sound.begin(), sound.end());
            numbers.push_back(k);
        }
        ASSERT_TRUE(layout.Finish());
        ASSERT_TRUE(sink.Close());
    }

    RiffFile f;
    std::string problem;
    ASSERT_TRUE(f.Load(path, &problem)) << problem;
    ASSERT_GT(f.Riffs().size(), 4u);
    for (std::size_t r = 0; r < f.Riffs().size(); ++r) {
        EXPECT_EQ(f.Riffs()[r].listType, Fourcc(r == 0 ? "AVI " : "AVIX"));
        EXPECT_LE(f.Riffs()[r].size, kLimit);
    }
    std::vector<kmx::AviStreamIndex> indexes;
    AviIndexSource source = AviIndexSource::None;
    ASSERT_TRUE(LoadIndexes(path, indexes, &source));
    EXPECT_EQ(source, AviIndexSource::OpenDml);

    EXPECT_EQ(PatternNumbers(path, kWidth, kHeight), numbers);
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(ReadAllAudio(reader, 1000), audio);

    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    EXPECT_EQ(ProbeStreams(path)["stream.0.nb_read_frames"], std::to_string(kFrames));
    EXPECT_EQ(FfmpegAudio(path), audio);
}

// A sink onto a sparse file: headers, indexes and chunk headers are stored,
// the large sample data only skipped over, its positions remembered.
class SparseSink final : public kmx::ByteSink {
public:
    explicit SparseSink(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT, 0644)) {}
    ~SparseSink() override { ::close(fd_); }
    bool Write(const void* data, std::size_t size) override {
        if (size <= 65536 && !WriteAt(position_, data, size)) {
            return false;
        }
        if (size > 65536) {
            skipped.push_back(position_);
        }
        position_ += size;
        return size <= 65536 || ::ftruncate(fd_, static_cast<off_t>(position_)) == 0;
    }
    bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) override {
        return ::pwrite(fd_, data, size, static_cast<off_t>(pos)) == static_cast<ssize_t>(size);
    }
    bool Flush() override { return true; }
    bool Truncate(std::uint64_t) override { return false; }
    std::uint64_t Position() const override { return position_; }
    std::uint64_t DurableSize() const override { return position_; }
    bool Failed() const override { return fd_ < 0; }
    std::vector<std::uint64_t> skipped;

private:
    int fd_;
    std::uint64_t position_ = 0;
};

TEST(AviWriterOpenDml, OffsetsPast4GiBAreKeptIn64Bits) {
    TempDir dir;
    const std::string path = dir.File("big.avi");
    constexpr std::uint32_t kBig = 4096 * 2048 * 2; // 16 MiB frames
    constexpr int kFrames = 340;                    // about 5.3 GiB
    {
        SparseSink sink(path);
        kmx::RiffAviWriter layout(sink);
        ASSERT_TRUE(layout.Begin({StreamSetup(true, 4096, 2048, 16), StreamSetup(false)}));
        const Bytes frame(kBig, 0);
        const Bytes sound(640, 0);
        for (int k = 0; k < kFrames; ++k) {
            ASSERT_TRUE(layout.WriteChunk(0, frame.data(), kBig, k % 10 == 0, 1));
            ASSERT_TRUE(layout.WriteChunk(1, sound.data(), 640, true, 320));
        }
        ASSERT_TRUE(layout.Finish());
        ASSERT_EQ(sink.skipped.size(), std::size_t{kFrames});
        ASSERT_GT(sink.skipped.back(), std::uint64_t{5} << 30);

        std::vector<kmx::AviStreamIndex> indexes;
        AviIndexSource source = AviIndexSource::None;
        ASSERT_TRUE(LoadIndexes(path, indexes, &source));
        EXPECT_EQ(source, AviIndexSource::OpenDml);
        ASSERT_EQ(indexes[0].entries.size(), std::size_t{kFrames});
        EXPECT_EQ(indexes[1].entries.size(), std::size_t{kFrames});
        for (int k = 0; k < kFrames; ++k) {
            EXPECT_EQ(indexes[0].entries[k].pos, sink.skipped[k]) << k;
            EXPECT_EQ(indexes[0].entries[k].key, k % 10 == 0) << k;
        }
    }
}

} // namespace

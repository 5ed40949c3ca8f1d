// The writer's rules: positions and drop frames, refused calls, replacing an
// old file, Close, and a write error half way. Files are judged by the chunk
// walk (which refuses any chunk passing its parent) and by our reader.
// OpenDML output: the 64-bit offsets of an output past 4 GiB, laid out
// sparsely without its sample data. (AVIX RIFFs: the large-file test.)
#include "media/AviWriter.h"
#include "media/avi/RiffAviWriter.h"
#include "pattern/TestPattern.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace avitest;

namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 16;
constexpr std::int32_t kFrameBytes = kWidth * kHeight * 3;

Bytes Frame(int number) {
    Bytes frame(kFrameBytes);
    kmx::FillTestPatternFrame(frame.data(), kWidth, kHeight, 24, number);
    return frame;
}

bool SetFormats(CAviWriter& w, bool audio) {
    const Bytes vf = BitmapFormat(kWidth, kHeight, 24);
    const Bytes af = WaveFormat(1, 8000);
    return w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())) &&
           (!audio || w.SetAudioFormat(af.data(), static_cast<std::int32_t>(af.size())));
}

// Creates the file with one video stream (formats still to come).
bool CreateWithVideo(CAviWriter& w, const std::string& path) {
    return w.Create(path.c_str()) && w.CreateVideoStream(VideoHeader(kWidth, kHeight));
}

// The idx1 data (id, flags, offset, size per entry) of a file whose chunk tree is sound.
Bytes Index(const std::string& path) {
    RiffFile f;
    std::string problem;
    EXPECT_TRUE(f.Load(path, &problem)) << problem;
    const Chunk* idx1 = f.Riffs().empty() ? nullptr : f.Riffs()[0].Child(Fourcc("idx1"));
    return idx1 == nullptr ? Bytes{} : f.Data(*idx1);
}

// Without a fixed sample size every chunk is one sample (one compressed
// frame): several samples cannot share a chunk, or readers would count one.
TEST(AviWriter, ChunksOfAudioWithoutSampleSizeHoldOneSampleEach) {
    TempDir dir;
    const std::string path = dir.File("vbr.avi");
    CAviWriter w;
    ASSERT_TRUE(CreateWithVideo(w, path));
    AVISTREAMINFOA header = AudioHeader(8000, 1);
    header.dwSampleSize = 0;
    header.dwScale = 160;
    ASSERT_TRUE(w.CreateAudioStream(header));
    ASSERT_TRUE(SetFormats(w, true));
    const Bytes sound(300, 7);
    EXPECT_FALSE(w.WriteAudio(sound.data(), 200, 2));
    EXPECT_TRUE(w.WriteAudio(sound.data(), 100, 1));
    EXPECT_TRUE(w.WriteAudio(sound.data(), 120, 1));
    EXPECT_TRUE(w.WriteAudio(sound.data(), 90, 1));
    EXPECT_EQ(w.AudioPosition(), 3);
    ASSERT_TRUE(w.Close());

    EXPECT_EQ(MoviChunkSizes(path, "01wb"), (std::vector<std::uint32_t>{100, 120, 90}));
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(reader.GetAudioLength(0), 3);
}

TEST(AviWriter, PositionsAdvanceAlsoForFramesThatFail) {
    TempDir dir;
    const std::string path = dir.File("a.avi");
    CAviWriter w;
    ASSERT_TRUE(CreateWithVideo(w, path));
    ASSERT_TRUE(w.CreateAudioStream(AudioHeader(8000, 1)));
    const Bytes f1 = Frame(1);
    const Bytes f4 = Frame(4);
    EXPECT_FALSE(w.WriteVideoFrame(f1.data(), kFrameBytes, 1)); // 0: before the format
    EXPECT_FALSE(w.WriteAudio(f1.data(), 8, 4));
    ASSERT_TRUE(SetFormats(w, true));
    EXPECT_TRUE(w.WriteVideoFrame(f1.data(), kFrameBytes, 1));
    EXPECT_FALSE(w.WriteVideoFrame(nullptr, kFrameBytes, 1)); // 2: no data
    EXPECT_FALSE(w.WriteVideoFrame(f1.data(), -5, 1));        // 3: negative size
    EXPECT_TRUE(w.WriteVideoFrame(f4.data(), kFrameBytes, 1));
    EXPECT_TRUE(w.WriteVideoFrame(nullptr, 0, 0));             // 5: an intended empty frame
    EXPECT_FALSE(w.WriteVideoFrame(f4.data(), 0x7FFFFFFF, 1)); // 6: too big for a chunk
    EXPECT_EQ(w.VideoPosition(), 7);
    // Audio of 2 bytes per sample advances by the whole samples written.
    const Bytes sound(40, 3);
    EXPECT_TRUE(w.WriteAudio(sound.data(), 20, 10));
    EXPECT_TRUE(w.WriteAudio(sound.data(), 12, 10)); // bytes for 6 only
    EXPECT_TRUE(w.WriteAudio(sound.data(), 40, 3));  // no more than asked for
    EXPECT_TRUE(w.WriteAudio(sound.data(), 5, 10));  // a partial sample is left out
    EXPECT_FALSE(w.WriteAudio(sound.data(), -4, 1));
    EXPECT_FALSE(w.WriteAudio(sound.data(), 4, -1));
    EXPECT_FALSE(w.WriteAudio(nullptr, 4, 1));
    EXPECT_EQ(w.AudioPosition(), 21);
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(w.VideoPosition() + w.AudioPosition(), 0);
    // Closing again changes nothing, and the writer stays closed.
    const Bytes closed = ReadWholeFile(path);
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(ReadWholeFile(path), closed);
    EXPECT_FALSE(w.WriteVideoFrame(f1.data(), kFrameBytes, 1));

    // Failed frames stay as empty samples without key flag; the reader
    // repeats the frame before them.
    EXPECT_EQ(PatternNumbers(path, kWidth, kHeight), (std::vector<int>{-1, 1, 1, 1, 4, 4, 4}));
    std::vector<std::uint32_t> flags;
    const Bytes index = Index(path);
    for (std::size_t at = 0; at + 16 <= index.size(); at += 16) {
        if (kmx::LoadU32(&index[at]) == Fourcc("00db")) {
            flags.push_back(kmx::LoadU32(&index[at + 4]));
        }
    }
    EXPECT_EQ(MoviChunkSizes(path, "00db"),
              (std::vector<std::uint32_t>{0, kFrameBytes, 0, 0, kFrameBytes, 0, 0}));
    EXPECT_EQ(flags, (std::vector<std::uint32_t>{0, 0x10, 0, 0, 0x10, 0, 0}));
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(ReadAllAudio(reader, 100), Bytes(42, 3));
}

TEST(AviWriter, CallsWithoutStreamAndSecondStreamsAreRefused) {
    TempDir dir;
    const std::string path = dir.File("a.avi");
    const Bytes vf = BitmapFormat(kWidth, kHeight, 24);
    const Bytes f = Frame(0);
    CAviWriter w;
    EXPECT_FALSE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    EXPECT_FALSE(w.CreateAudioStream(AudioHeader()));
    EXPECT_FALSE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    ASSERT_TRUE(w.Create(path.c_str()));
    EXPECT_FALSE(w.SetVideoFormat(vf.data(), 40));
    EXPECT_FALSE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    EXPECT_FALSE(w.WriteAudio(f.data(), 4, 1));
    EXPECT_EQ(w.VideoPosition() + w.AudioPosition(), 0);
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight, 30)));
    EXPECT_FALSE(w.CreateVideoStream(VideoHeader(kWidth, kHeight, 12)));
    const Bytes af = WaveFormat(1, 22050);
    EXPECT_FALSE(w.SetAudioFormat(af.data(), 18)); // a video stream makes no audio stream
    EXPECT_FALSE(w.WriteAudio(f.data(), 4, 1));
    ASSERT_TRUE(w.CreateAudioStream(AudioHeader(22050, 1)));
    EXPECT_FALSE(w.CreateAudioStream(AudioHeader(48000, 2)));
    const Bytes huge((1u << 20) + 1, 0);
    EXPECT_FALSE(w.SetVideoFormat(nullptr, 40));
    EXPECT_FALSE(w.SetVideoFormat(vf.data(), 0));
    EXPECT_FALSE(w.SetVideoFormat(vf.data(), -40));
    EXPECT_FALSE(w.SetVideoFormat(huge.data(), static_cast<std::int32_t>(huge.size())));
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), 40));
    ASSERT_TRUE(w.SetAudioFormat(af.data(), 18));
    ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    EXPECT_FALSE(SetFormats(w, false)); // the layout is fixed once samples are written
    ASSERT_TRUE(w.Close());

    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
    EXPECT_EQ(info.dwRate, 30u);
    ASSERT_TRUE(reader.GetAudioStreamInfo(0, &info, 140));
    EXPECT_EQ(info.dwRate, 2 * 22050u);
    EXPECT_EQ(PatternNumbers(path, kWidth, kHeight), std::vector<int>{0});
}

TEST(AviWriter, CreateReplacesAnOldFileButNothingElse) {
    TempDir dir;
    const std::string path = dir.File("old.avi");
    std::ofstream(path) << "OLD";
    // A second name of the old file: deleting, not overwriting, leaves it whole.
    ASSERT_EQ(::link(path.c_str(), dir.File("keep").c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("keep").c_str(), dir.File("link.avi").c_str()), 0);
    for (const char* name : {"old.avi", "link.avi"}) {
        CAviWriter w;
        ASSERT_TRUE(w.Create(dir.File(name).c_str()));
        EXPECT_EQ(std::filesystem::file_size(dir.File(name)), 0u);
        ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
        ASSERT_TRUE(SetFormats(w, false));
        ASSERT_TRUE(w.Close());
        EXPECT_TRUE(Index(dir.File(name)).empty());
        EXPECT_TRUE(PatternNumbers(dir.File(name), kWidth, kHeight).empty());
    }
    EXPECT_FALSE(std::filesystem::is_symlink(dir.File("link.avi")));
    EXPECT_EQ(ReadWholeFile(dir.File("keep")), Bytes({'O', 'L', 'D'}));
    // What is no plain file is left alone.
    CAviWriter w;
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(w.Create(dir.File("pipe").c_str())); // refused at once, not blocked
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("pipe")));
    EXPECT_FALSE(w.Create(nullptr));
    EXPECT_FALSE(w.Create(dir.File("missing/x.avi").c_str()));
}

TEST(AviWriter, WriteErrorLeavesAReadableFileOfTheFramesThatReachedTheDisk) {
    TempDir dir;
    const std::string path = dir.File("full.avi");
    CAviWriter w;
    ASSERT_TRUE(CreateWithVideo(w, path));
    ASSERT_TRUE(SetFormats(w, false));
    int accepted = 0;
    bool closed = true;
    {
        FileSizeLimit limit(100000); // room for about 60 frames of 1536 bytes
        ASSERT_TRUE(limit.active);
        for (int k = 0; k < 2000 && w.WriteVideoFrame(Frame(k).data(), kFrameBytes, 1); ++k) {
            ++accepted;
        }
        EXPECT_FALSE(w.WriteVideoFrame(Frame(0).data(), kFrameBytes, 1));
        EXPECT_EQ(w.VideoPosition(), accepted + 2);
        closed = w.Close();
    }
    EXPECT_LT(accepted, 2000);
    EXPECT_FALSE(closed); // frames still buffered were lost: reported
    EXPECT_LE(std::filesystem::file_size(path), 100000u);
    const std::vector<int> numbers = PatternNumbers(path, kWidth, kHeight);
    ASSERT_GT(numbers.size(), 30u);
    EXPECT_LE(numbers.size(), static_cast<std::size_t>(accepted));
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        EXPECT_EQ(numbers[k], static_cast<int>(k));
    }
    EXPECT_EQ(Index(path).size(), 16 * numbers.size());
}

kmx::AviStreamSetup StreamSetup(bool video) {
    kmx::AviStreamSetup s;
    s.video = video;
    s.header = video ? VideoHeader(4096, 2048) : AudioHeader(8000, 1);
    s.format = video ? BitmapFormat(4096, 2048, 16) : WaveFormat(1, 8000);
    return s;
}

// A sink onto a sparse file: headers, indexes and chunk headers are stored,
// the large sample data only skipped over, its positions remembered.
class SparseSink final : public kmx::ByteSink {
public:
    explicit SparseSink(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT, 0644)) {}
    ~SparseSink() override { ::close(fd_); }
    bool Write(const void* data, std::size_t size) override {
        if (size > 65536) {
            skipped.push_back(position_);
        }
        const bool ok = size > 65536 ? ::ftruncate(fd_, off_t(position_ + size)) == 0
                                     : WriteAt(position_, data, size);
        position_ += size;
        return ok;
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
        ASSERT_TRUE(layout.Begin({StreamSetup(true), StreamSetup(false)}));
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
        kmx::AviIndexSource source = kmx::AviIndexSource::None;
        ASSERT_TRUE(LoadIndexes(path, indexes, &source));
        EXPECT_EQ(source, kmx::AviIndexSource::OpenDml);
        ASSERT_EQ(indexes[0].entries.size(), std::size_t{kFrames});
        EXPECT_EQ(indexes[1].entries.size(), std::size_t{kFrames});
        for (int k = 0; k < kFrames; ++k) {
            EXPECT_EQ(indexes[0].entries[k].pos, sink.skipped[k]) << k;
            EXPECT_EQ(indexes[0].entries[k].key, k % 10 == 0) << k;
        }
    }
}

} // namespace

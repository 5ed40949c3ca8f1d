// Write errors: the buffered sink's bookkeeping, and files whose writing
// failed half way (a file size limit stands in for a full disk) that must
// still be complete AVIs holding every sample that reached the disk.
#include "media/AviWriter.h"
#include "media/FileSink.h"
#include "media/RiffAviWriter.h"
#include "media/TestPattern.h"

#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace avitest;

namespace {

const std::uint32_t kIdx1 = MakeFourcc('i', 'd', 'x', '1');
const std::uint32_t kAvih = MakeFourcc('a', 'v', 'i', 'h');
const std::uint32_t kStrh = MakeFourcc('s', 't', 'r', 'h');
const std::uint32_t kList = MakeFourcc('L', 'I', 'S', 'T');
const std::uint32_t kMovi = MakeFourcc('m', 'o', 'v', 'i');
const std::uint32_t k00db = MakeFourcc('0', '0', 'd', 'b');

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// While it lives, files of this process cannot grow past `bytes`: writes
// beyond fail with EFBIG as they would on a full disk (this works for root
// too, unlike permission tricks).
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = saved_;
        tight.rlim_cur = static_cast<rlim_t>(bytes);
        active_ = setrlimit(RLIMIT_FSIZE, &tight) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    bool Active() const { return active_; }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
    bool active_ = false;
};

// ---- the sink -------------------------------------------------------------

TEST(FileSink, BuffersAppendsAndPatchesBothWrittenAndBufferedBytes) {
    TempDir dir;
    const std::string path = dir.File("sink.bin");
    kmx::FileSink sink(8);
    ASSERT_TRUE(sink.Open(path.c_str()));
    ASSERT_TRUE(sink.Write("abcdef", 6));
    EXPECT_EQ(sink.Position(), 6u);
    EXPECT_EQ(sink.DurableSize(), 0u);  // still in the buffer
    ASSERT_TRUE(sink.Write("ghij", 4)); // does not fit: buffer flushed first
    EXPECT_EQ(sink.DurableSize(), 6u);
    ASSERT_TRUE(sink.Write("0123456789ABCDEF", 16)); // larger than the buffer: direct
    EXPECT_EQ(sink.Position(), 26u);
    ASSERT_TRUE(sink.Write("xy", 2));
    ASSERT_TRUE(sink.WriteAt(4, "EF", 2));   // in the file
    ASSERT_TRUE(sink.WriteAt(25, "!?", 2));  // across file and buffer
    EXPECT_FALSE(sink.WriteAt(27, "zz", 2)); // past the end
    EXPECT_FALSE(sink.Failed());
    ASSERT_TRUE(sink.Close());
    EXPECT_EQ(ReadWholeFile(path), "abcdEFghij0123456789ABCDE!?y");
}

TEST(FileSink, TruncateCutsBackAndLetsWritingGoOn) {
    TempDir dir;
    const std::string path = dir.File("cut.bin");
    kmx::FileSink sink(4);
    ASSERT_TRUE(sink.Open(path.c_str()));
    ASSERT_TRUE(sink.Write("0123456789", 10));
    ASSERT_TRUE(sink.Flush());
    EXPECT_FALSE(sink.Truncate(11)); // beyond what reached the file
    ASSERT_TRUE(sink.Truncate(4));
    ASSERT_TRUE(sink.Write("ab", 2));
    ASSERT_TRUE(sink.Close());
    EXPECT_EQ(ReadWholeFile(path), "0123ab");
}

TEST(FileSink, FullDeviceFailsAndStaysFailed) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "/dev/full is not available";
    }
    TempDir dir;
    const std::string link = dir.File("full");
    ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
    kmx::FileSink sink(16);
    ASSERT_TRUE(sink.Open(link.c_str()));
    ASSERT_TRUE(sink.Write("buffered", 8)); // not yet written
    EXPECT_FALSE(sink.Flush());
    EXPECT_TRUE(sink.Failed());
    EXPECT_EQ(sink.LastError(), ENOSPC);
    EXPECT_EQ(sink.DurableSize(), 0u);
    EXPECT_FALSE(sink.Write("x", 1));
    EXPECT_FALSE(sink.WriteAt(0, "x", 1));
    EXPECT_FALSE(sink.Close());
}

// ---- the writer after write errors ------------------------------------------

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr std::int32_t kFrameBytes = kWidth * kHeight * 3;

void StartFile(CAviWriter& w, const std::string& path) {
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
}

// Writes pattern frames 0, 1, ... until a write fails or `frames` are
// written; returns how many succeeded. Later writes must fail as well.
int WriteUntilFailure(CAviWriter& w, int frames) {
    std::vector<std::uint8_t> frame(kFrameBytes);
    int written = 0;
    for (int k = 0; k < frames; ++k) {
        kmx::FillTestPatternFrame(frame.data(), kWidth, kHeight, 24, k);
        if (!w.WriteVideoFrame(frame.data(), kFrameBytes, 1)) {
            EXPECT_FALSE(w.WriteVideoFrame(frame.data(), kFrameBytes, 1));
            EXPECT_EQ(w.VideoPosition(), k + 2);
            break;
        }
        ++written;
    }
    return written;
}

struct Survivors {
    int frames = 0;
    bool indexed = false;
};

// Checks the file's structure and that its frames are 0, 1, 2, ... in order.
Survivors CheckSurvivors(const std::string& path) {
    Survivors s;
    RiffFile f;
    std::string problem;
    EXPECT_TRUE(f.Load(path, &problem)) << problem;
    if (f.Riffs().empty()) {
        return s;
    }
    EXPECT_EQ(f.Riffs().size(), 1u);
    const Chunk* movi = f.Riffs()[0].Child(kList, kMovi);
    if (movi == nullptr) {
        ADD_FAILURE() << "no movi list";
        return s;
    }
    const MainHeader avih = ParseAvih(f.Data(*f.HeaderChunk(kAvih)));
    const AVISTREAMINFOA strh = ParseStrh(f.Data(*f.StreamChunk(0, kStrh)));
    s.frames = static_cast<int>(movi->children.size());
    s.indexed = (avih.flags & 0x10) != 0;
    EXPECT_EQ(strh.dwLength, movi->children.size());
    EXPECT_EQ(avih.totalFrames, movi->children.size());
    for (std::size_t k = 0; k < movi->children.size(); ++k) {
        const Chunk& c = movi->children[k];
        EXPECT_EQ(c.id, k00db);
        EXPECT_EQ(c.size, static_cast<std::uint32_t>(kFrameBytes));
        const auto pixels = f.Data(c);
        EXPECT_EQ(kmx::ReadTestPatternNumber(pixels.data(), kWidth, kHeight, 24),
                  static_cast<int>(k));
    }
    const Chunk* idx1 = f.Riffs()[0].Child(kIdx1);
    EXPECT_EQ(idx1 != nullptr, s.indexed);
    if (idx1 != nullptr) {
        const auto entries = ParseIdx1(f.Data(*idx1));
        EXPECT_EQ(entries.size(), movi->children.size());
        for (std::size_t k = 0; k < entries.size() && k < movi->children.size(); ++k) {
            EXPECT_EQ(movi->offset + 8 + entries[k].offset, movi->children[k].offset);
        }
    }
    return s;
}

void ExpectFfprobeFrames(const std::string& path, int frames) {
    if (!HaveTool("ffprobe")) {
        return; // the structure checks above stand on their own
    }
    std::string errors;
    auto p = ProbeStreams(path, &errors);
    EXPECT_EQ(p["stream.0.nb_read_frames"], std::to_string(frames)) << errors;
}

TEST(AviWriterWriteError, DiskFullHalfWayLeavesACompleteFileOfWhatReachedTheDisk) {
    TempDir dir;
    const std::string path = dir.File("full.avi");
    CAviWriter w;
    StartFile(w, path);
    int accepted = 0;
    bool closed = true;
    {
        FileSizeLimit limit(2000000);
        ASSERT_TRUE(limit.Active());
        accepted = WriteUntilFailure(w, 40);
        closed = w.Close();
    }
    EXPECT_LT(accepted, 40);
    EXPECT_FALSE(closed); // buffered frames were lost: reported
    EXPECT_EQ(w.VideoPosition(), 0);
    const Survivors s = CheckSurvivors(path);
    EXPECT_TRUE(s.indexed);
    EXPECT_GT(s.frames, 0);
    EXPECT_LE(s.frames, accepted);
    EXPECT_LE(std::filesystem::file_size(path), 2000000u);
    ExpectFfprobeFrames(path, s.frames);
}

TEST(AviWriterWriteError, NoRoomForTheIndexStillLeavesAScannableFile) {
    TempDir dir;
    // Where the first chunk starts, from a file without errors.
    const std::string reference = dir.File("ref.avi");
    {
        CAviWriter w;
        StartFile(w, reference);
        ASSERT_EQ(WriteUntilFailure(w, 1), 1);
        ASSERT_TRUE(w.Close());
    }
    RiffFile ref;
    std::string problem;
    ASSERT_TRUE(ref.Load(reference, &problem)) << problem;
    const std::uint64_t firstChunk = ref.Riffs()[0].Child(kList, kMovi)->children.at(0).offset;

    // Room for exactly five frames and four more bytes: idx1 cannot follow.
    const std::uint64_t limitBytes = firstChunk + 5 * (8 + kFrameBytes) + 4;
    const std::string path = dir.File("noindex.avi");
    CAviWriter w;
    StartFile(w, path);
    bool closed = true;
    {
        FileSizeLimit limit(limitBytes);
        ASSERT_TRUE(limit.Active());
        WriteUntilFailure(w, 40);
        closed = w.Close();
    }
    EXPECT_FALSE(closed);
    const Survivors s = CheckSurvivors(path);
    EXPECT_EQ(s.frames, 5);
    EXPECT_FALSE(s.indexed);
    EXPECT_EQ(std::filesystem::file_size(path), limitBytes - 4);
    ExpectFfprobeFrames(path, 5);
}

TEST(AviWriterWriteError, HeaderThatCannotReachTheDiskIsReportedAndTheWriterStaysUsable) {
    TempDir dir;
    const std::string path = dir.File("tiny.avi");
    CAviWriter w;
    StartFile(w, path);
    bool closed = true;
    {
        // Smaller than the header: the frames stay in the buffer until Close,
        // whose flush fails, and not even a header without index fits.
        FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.Active());
        WriteUntilFailure(w, 10);
        closed = w.Close();
    }
    EXPECT_FALSE(closed);
    // Without the limit a new file can be written with the same writer.
    StartFile(w, path);
    EXPECT_EQ(WriteUntilFailure(w, 2), 2);
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(CheckSurvivors(path).frames, 2);
}

TEST(AviWriterWriteError, OpenDmlFileCutInItsThirdRiffKeepsTheCompleteRiffs) {
    TempDir dir;
    const std::string path = dir.File("odml-cut.avi");
    kmx::FileSink sink(4096);
    ASSERT_TRUE(sink.Open(path.c_str()));
    kmx::RiffAviWriter layout(sink, 200000);
    kmx::AviStreamSetup video;
    video.header = VideoHeader(kWidth, kHeight);
    video.format = VideoFormat(kWidth, kHeight, 24);
    video.video = true;
    ASSERT_TRUE(layout.Begin({video}));
    std::vector<std::uint8_t> frame(kFrameBytes);
    int accepted = 0;
    bool finished = true;
    {
        FileSizeLimit limit(530000); // frames of 57608 bytes: 3 per RIFF
        ASSERT_TRUE(limit.Active());
        for (int k = 0; k < 20; ++k) {
            kmx::FillTestPatternFrame(frame.data(), kWidth, kHeight, 24, k);
            if (!layout.WriteChunk(0, frame.data(), kFrameBytes, true, 1)) {
                break;
            }
            ++accepted;
        }
        finished = layout.Finish();
    }
    EXPECT_FALSE(finished);
    ASSERT_TRUE(sink.Close());
    EXPECT_LT(accepted, 20);
    EXPECT_GE(layout.RiffCount(), 3u);

    RiffFile f;
    std::string problem;
    ASSERT_TRUE(f.Load(path, &problem)) << problem;
    ASSERT_EQ(f.Riffs().size(), layout.RiffCount());
    int frames = 0;
    for (const Chunk& riff : f.Riffs()) {
        const Chunk* movi = riff.Child(kList, kMovi);
        ASSERT_NE(movi, nullptr);
        for (const Chunk& c : movi->children) {
            if (c.id == k00db) {
                const auto pixels = f.Data(c);
                EXPECT_EQ(kmx::ReadTestPatternNumber(pixels.data(), kWidth, kHeight, 24), frames);
                ++frames;
            }
        }
    }
    EXPECT_EQ(layout.ChunkCount(0), static_cast<std::size_t>(frames));
    EXPECT_EQ(ParseStrh(f.Data(*f.StreamChunk(0, kStrh))).dwLength,
              static_cast<std::uint32_t>(frames));
    const auto indx = ParseOdmlIndex(f.Data(*f.StreamChunk(0, MakeFourcc('i', 'n', 'd', 'x'))));
    EXPECT_EQ(indx.entries.size(), f.Riffs().size());
    std::uint32_t covered = 0;
    for (const auto& e : indx.entries) {
        covered += e.duration;
    }
    EXPECT_EQ(covered, static_cast<std::uint32_t>(frames));
    ExpectFfprobeFrames(path, frames);
}

TEST(AviWriterWriteError, FullDeviceMakesWritesAndCloseFailWithoutDeletingIt) {
    struct stat before {};
    if (::stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) {
        GTEST_SKIP() << "/dev/full is not available";
    }
    CAviWriter w;
    ASSERT_TRUE(w.Create("/dev/full"));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    const int accepted = WriteUntilFailure(w, 100); // fails once the buffer is flushed
    EXPECT_LT(accepted, 100);
    EXPECT_FALSE(w.Close());
    struct stat after {};
    ASSERT_EQ(::stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
}

} // namespace

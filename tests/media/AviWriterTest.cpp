// The writer's rules: positions, drop frames, refused calls, replacing an
// old file, and the headers and index it writes, checked on the chunk tree
// of the file it produced.
#include "media/AviWriter.h"

#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace avitest;

namespace {

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAvifIsInterleaved = 0x100;
constexpr int kWidth = 32;
constexpr int kHeight = 16;
constexpr std::int32_t kFrameBytes = kWidth * kHeight * 3;

const std::uint32_t kIdx1 = MakeFourcc('i', 'd', 'x', '1');
const std::uint32_t kAvih = MakeFourcc('a', 'v', 'i', 'h');
const std::uint32_t kStrh = MakeFourcc('s', 't', 'r', 'h');
const std::uint32_t kStrn = MakeFourcc('s', 't', 'r', 'n');
const std::uint32_t kList = MakeFourcc('L', 'I', 'S', 'T');
const std::uint32_t kMovi = MakeFourcc('m', 'o', 'v', 'i');
const std::uint32_t k00db = MakeFourcc('0', '0', 'd', 'b');
const std::uint32_t k00dc = MakeFourcc('0', '0', 'd', 'c');
const std::uint32_t k01wb = MakeFourcc('0', '1', 'w', 'b');

std::vector<std::uint8_t> Frame(int value) {
    return std::vector<std::uint8_t>(kFrameBytes, static_cast<std::uint8_t>(value));
}

void StartFile(CAviWriter& w, const std::string& path, bool audio = false) {
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    if (audio) {
        ASSERT_TRUE(w.CreateAudioStream(AudioHeader()));
    }
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    if (audio) {
        const auto af = AudioFormat();
        ASSERT_TRUE(w.SetAudioFormat(af.data(), static_cast<std::int32_t>(af.size())));
    }
}

// The loaded file, with a failed check when its structure is broken.
RiffFile LoadFile(const std::string& path) {
    RiffFile f;
    std::string problem;
    EXPECT_TRUE(f.Load(path, &problem)) << problem;
    return f;
}

std::vector<Idx1Entry> Index(const RiffFile& f) {
    if (f.Riffs().empty() || f.Riffs()[0].Child(kIdx1) == nullptr) {
        ADD_FAILURE() << "no idx1";
        return {};
    }
    return ParseIdx1(f.Data(*f.Riffs()[0].Child(kIdx1)));
}

std::vector<Idx1Entry> EntriesOf(const std::vector<Idx1Entry>& all, std::uint32_t id) {
    std::vector<Idx1Entry> out;
    for (const Idx1Entry& e : all) {
        if (e.id == id) {
            out.push_back(e);
        }
    }
    return out;
}

// Data of the sample chunk an idx1 entry points at (offsets count from the
// 'movi' list type).
std::vector<std::uint8_t> ChunkData(const RiffFile& f, const Idx1Entry& e) {
    const Chunk* movi = f.Riffs()[0].Child(kList, kMovi);
    const std::uint64_t at = movi->offset + 8 + e.offset;
    const auto head = f.Read(at, 8);
    EXPECT_EQ(kmx::LoadU32(head.data()), e.id);
    EXPECT_EQ(kmx::LoadU32(head.data() + 4), e.size);
    return f.Read(at + 8, e.size);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(AviWriterPositions, AdvanceWithEachSampleAndStartAtZeroAfterClose) {
    TempDir dir;
    CAviWriter w;
    StartFile(w, dir.File("a.avi"), true);
    EXPECT_EQ(w.VideoPosition(), 0);
    EXPECT_EQ(w.AudioPosition(), 0);
    const auto f = Frame(1);
    const std::vector<std::uint8_t> sound(4 * 100, 7);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
        ASSERT_TRUE(w.WriteAudio(sound.data(), 4 * 100, 100));
    }
    EXPECT_EQ(w.VideoPosition(), 3);
    EXPECT_EQ(w.AudioPosition(), 300);
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(w.VideoPosition(), 0);
    EXPECT_EQ(w.AudioPosition(), 0);

    StartFile(w, dir.File("b.avi"), true);
    EXPECT_EQ(w.VideoPosition(), 0);
    EXPECT_EQ(w.AudioPosition(), 0);
    ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    EXPECT_EQ(w.VideoPosition(), 1);

    // A new Create without Close also starts over.
    StartFile(w, dir.File("c.avi"), true);
    EXPECT_EQ(w.VideoPosition(), 0);
    EXPECT_TRUE(w.Close());
    const RiffFile b = LoadFile(dir.File("b.avi"));
    EXPECT_EQ(ParseStrh(b.Data(*b.StreamChunk(0, kStrh))).dwLength, 1u);
}

TEST(AviWriterPositions, FailedFrameIsAnEmptySampleAndLaterFramesKeepTheirPositions) {
    TempDir dir;
    const std::string path = dir.File("drop.avi");
    CAviWriter w;
    StartFile(w, path);
    const auto f0 = Frame(10);
    const auto f3 = Frame(13);
    const auto f5 = Frame(15);
    ASSERT_TRUE(w.WriteVideoFrame(f0.data(), kFrameBytes, 1));
    EXPECT_FALSE(w.WriteVideoFrame(nullptr, kFrameBytes, 1)); // sample 1: no data
    EXPECT_EQ(w.VideoPosition(), 2);
    EXPECT_FALSE(w.WriteVideoFrame(f0.data(), -5, 1)); // sample 2: negative size
    EXPECT_EQ(w.VideoPosition(), 3);
    ASSERT_TRUE(w.WriteVideoFrame(f3.data(), kFrameBytes, 1));
    EXPECT_FALSE(w.WriteVideoFrame(f0.data(), 0x7FFFFFFF, 1)); // sample 4: too big for a chunk
    ASSERT_TRUE(w.WriteVideoFrame(f5.data(), kFrameBytes, 1));
    EXPECT_FALSE(w.WriteVideoFrame(nullptr, 1, 0)); // sample 6: last one fails too
    EXPECT_EQ(w.VideoPosition(), 7);
    ASSERT_TRUE(w.Close());

    const RiffFile f = LoadFile(path);
    const auto video = EntriesOf(Index(f), k00db);
    ASSERT_EQ(video.size(), 7u);
    const std::vector<std::uint32_t> sizes = {kFrameBytes, 0, 0, kFrameBytes, 0, kFrameBytes, 0};
    for (std::size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i].size, sizes[i]) << "sample " << i;
        EXPECT_EQ(video[i].flags, sizes[i] != 0 ? 0x10u : 0u) << "sample " << i;
    }
    EXPECT_EQ(ChunkData(f, video[0]), f0);
    EXPECT_EQ(ChunkData(f, video[3]), f3);
    EXPECT_EQ(ChunkData(f, video[5]), f5);
    EXPECT_EQ(ParseStrh(f.Data(*f.StreamChunk(0, kStrh))).dwLength, 7u);
    EXPECT_EQ(ParseAvih(f.Data(*f.HeaderChunk(kAvih))).totalFrames, 7u);
}

TEST(AviWriterPositions, FrameBeforeTheFormatFailsButKeepsItsPosition) {
    TempDir dir;
    const std::string path = dir.File("early.avi");
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    ASSERT_TRUE(w.CreateAudioStream(AudioHeader()));
    const auto f0 = Frame(20);
    const auto f1 = Frame(21);
    EXPECT_FALSE(w.WriteVideoFrame(f0.data(), kFrameBytes, 1));
    EXPECT_FALSE(w.WriteAudio(f0.data(), 8, 2));
    EXPECT_EQ(w.VideoPosition(), 1);
    EXPECT_EQ(w.AudioPosition(), 0);
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    const auto af = AudioFormat();
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    ASSERT_TRUE(w.SetAudioFormat(af.data(), static_cast<std::int32_t>(af.size())));
    ASSERT_TRUE(w.WriteVideoFrame(f1.data(), kFrameBytes, 1));
    ASSERT_TRUE(w.Close());

    const RiffFile f = LoadFile(path);
    const auto video = EntriesOf(Index(f), k00db);
    ASSERT_EQ(video.size(), 2u);
    EXPECT_EQ(video[0].size, 0u);
    EXPECT_EQ(ChunkData(f, video[1]), f1);
    EXPECT_EQ(ParseAvih(f.Data(*f.HeaderChunk(kAvih))).streams, 2u);
}

TEST(AviWriterPositions, AudioAdvancesByTheWholeSamplesWritten) {
    TempDir dir;
    const std::string path = dir.File("audio.avi");
    CAviWriter w;
    StartFile(w, path, true); // 16-bit stereo: 4 bytes per sample
    std::vector<std::uint8_t> sound(4 * 10);
    for (std::size_t i = 0; i < sound.size(); ++i) {
        sound[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_TRUE(w.WriteAudio(sound.data(), 40, 10));
    EXPECT_EQ(w.AudioPosition(), 10);
    ASSERT_TRUE(w.WriteAudio(sound.data(), 24, 10)); // bytes for 6 samples only
    EXPECT_EQ(w.AudioPosition(), 16);
    ASSERT_TRUE(w.WriteAudio(sound.data(), 40, 3)); // no more than asked for
    EXPECT_EQ(w.AudioPosition(), 19);
    ASSERT_TRUE(w.WriteAudio(sound.data(), 10, 10)); // a partial sample is not written
    EXPECT_EQ(w.AudioPosition(), 21);
    EXPECT_FALSE(w.WriteAudio(sound.data(), -4, 1));
    EXPECT_FALSE(w.WriteAudio(sound.data(), 4, -1));
    EXPECT_FALSE(w.WriteAudio(nullptr, 4, 1));
    EXPECT_EQ(w.AudioPosition(), 21);
    ASSERT_TRUE(w.Close());

    const RiffFile f = LoadFile(path);
    const auto audio = EntriesOf(Index(f), k01wb);
    ASSERT_EQ(audio.size(), 4u);
    EXPECT_EQ(audio[0].size, 40u);
    EXPECT_EQ(audio[1].size, 24u);
    EXPECT_EQ(audio[2].size, 12u);
    EXPECT_EQ(audio[3].size, 8u);
    EXPECT_EQ(ChunkData(f, audio[1]), std::vector<std::uint8_t>(sound.begin(), sound.begin() + 24));
    const AVISTREAMINFOA strh = ParseStrh(f.Data(*f.StreamChunk(1, kStrh)));
    EXPECT_EQ(strh.dwLength, 21u);
    EXPECT_EQ(strh.dwSampleSize, 4u);
}

TEST(AviWriterRefusals, SecondStreamOfAKindIsRefusedAndTheFirstKept) {
    TempDir dir;
    const std::string path = dir.File("two.avi");
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight, 30, 1)));
    EXPECT_FALSE(w.CreateVideoStream(VideoHeader(kWidth, kHeight, 12, 1)));
    ASSERT_TRUE(w.CreateAudioStream(AudioHeader(22050, 1)));
    EXPECT_FALSE(w.CreateAudioStream(AudioHeader(48000, 2)));
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    const auto af = AudioFormat(22050, 1);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    ASSERT_TRUE(w.SetAudioFormat(af.data(), static_cast<std::int32_t>(af.size())));
    ASSERT_TRUE(w.Close());

    const RiffFile f = LoadFile(path);
    EXPECT_EQ(ParseAvih(f.Data(*f.HeaderChunk(kAvih))).streams, 2u);
    EXPECT_EQ(ParseStrh(f.Data(*f.StreamChunk(0, kStrh))).dwRate, 30u);
    EXPECT_EQ(ParseStrh(f.Data(*f.StreamChunk(1, kStrh))).dwRate, 22050u * 2);
}

TEST(AviWriterRefusals, CallsWithoutFileOrStreamFailAndChangeNothing) {
    TempDir dir;
    CAviWriter w;
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    const auto af = AudioFormat();
    const auto f = Frame(1);
    EXPECT_FALSE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    EXPECT_FALSE(w.CreateAudioStream(AudioHeader()));
    EXPECT_FALSE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));

    ASSERT_TRUE(w.Create(dir.File("none.avi").c_str()));
    EXPECT_FALSE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    EXPECT_FALSE(w.SetAudioFormat(af.data(), static_cast<std::int32_t>(af.size())));
    EXPECT_FALSE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    EXPECT_FALSE(w.WriteAudio(f.data(), 4, 1));
    EXPECT_EQ(w.VideoPosition(), 0);
    EXPECT_EQ(w.AudioPosition(), 0);

    // A video stream alone does not make audio calls work.
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    EXPECT_FALSE(w.SetAudioFormat(af.data(), static_cast<std::int32_t>(af.size())));
    EXPECT_FALSE(w.WriteAudio(f.data(), 4, 1));
    EXPECT_EQ(w.AudioPosition(), 0);
    EXPECT_TRUE(w.Close());
    EXPECT_FALSE(w.CreateAudioStream(AudioHeader())); // closed again
}

TEST(AviWriterRefusals, BadFormatsAreRefused) {
    TempDir dir;
    CAviWriter w;
    ASSERT_TRUE(w.Create(dir.File("f.avi").c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    EXPECT_FALSE(w.SetVideoFormat(nullptr, 40));
    EXPECT_FALSE(w.SetVideoFormat(vf.data(), 0));
    EXPECT_FALSE(w.SetVideoFormat(vf.data(), -40));
    std::vector<std::uint8_t> huge((1u << 20) + 1, 0);
    EXPECT_FALSE(w.SetVideoFormat(huge.data(), static_cast<std::int32_t>(huge.size())));
    EXPECT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    EXPECT_TRUE(w.Close());
}

TEST(AviWriterRefusals, LayoutIsFixedOnceSamplesAreWritten) {
    TempDir dir;
    const std::string path = dir.File("fixed.avi");
    CAviWriter w;
    StartFile(w, path);
    const auto f = Frame(3);
    ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    const auto other = VideoFormat(kWidth * 2, kHeight, 24);
    EXPECT_FALSE(w.SetVideoFormat(other.data(), static_cast<std::int32_t>(other.size())));
    EXPECT_FALSE(w.CreateAudioStream(AudioHeader()));
    ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    ASSERT_TRUE(w.Close());
    const RiffFile file = LoadFile(path);
    EXPECT_EQ(ParseAvih(file.Data(*file.HeaderChunk(kAvih))).width,
              static_cast<std::uint32_t>(kWidth));
    EXPECT_EQ(ParseAvih(file.Data(*file.HeaderChunk(kAvih))).streams, 1u);
}

TEST(AviWriterRefusals, AudioStreamWithoutFormatIsLeftOut) {
    TempDir dir;
    const std::string path = dir.File("noaudio.avi");
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    ASSERT_TRUE(w.CreateAudioStream(AudioHeader()));
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    const auto f = Frame(3);
    ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    EXPECT_FALSE(w.WriteAudio(f.data(), 4, 1));
    ASSERT_TRUE(w.Close());
    const RiffFile file = LoadFile(path);
    const MainHeader avih = ParseAvih(file.Data(*file.HeaderChunk(kAvih)));
    EXPECT_EQ(avih.streams, 1u);
    EXPECT_EQ(avih.flags & kAvifIsInterleaved, 0u);
    EXPECT_EQ(EntriesOf(Index(file), k00db).size(), 1u);
}

TEST(AviWriterCreate, ReplacesAnExistingFile) {
    TempDir dir;
    const std::string path = dir.File("old.avi");
    const std::string keep = dir.File("keep.avi");
    {
        std::ofstream old(path, std::ios::binary);
        old << "OLD CONTENT THAT MUST GO";
    }
    // A second name for the old file: deleting (not overwriting) leaves it intact.
    ASSERT_EQ(::link(path.c_str(), keep.c_str()), 0);
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(ReadWholeFile(keep), "OLD CONTENT THAT MUST GO");
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    ASSERT_TRUE(w.Close());
    EXPECT_EQ(ReadWholeFile(path).find("OLD CONTENT"), std::string::npos);
    LoadFile(path);
}

// Keeps new file descriptors from being handed out while it lives, so that
// creating a file fails after its old version was deleted.
class NoFreeFileDescriptors {
public:
    NoFreeFileDescriptors() {
        getrlimit(RLIMIT_NOFILE, &saved_);
        const int probe = ::dup(0);
        if (probe >= 0) {
            ::close(probe);
        }
        rlimit tight = saved_;
        tight.rlim_cur = static_cast<rlim_t>(probe < 0 ? 0 : probe);
        active_ = probe >= 0 && setrlimit(RLIMIT_NOFILE, &tight) == 0;
    }
    ~NoFreeFileDescriptors() { setrlimit(RLIMIT_NOFILE, &saved_); }
    bool Active() const { return active_; }

private:
    rlimit saved_{};
    bool active_ = false;
};

TEST(AviWriterCreate, OldFileIsGoneEvenWhenCreationFails) {
    TempDir dir;
    const std::string path = dir.File("old.avi");
    {
        std::ofstream old(path, std::ios::binary);
        old << "OLD";
    }
    CAviWriter w;
    bool created = true;
    {
        NoFreeFileDescriptors guard;
        ASSERT_TRUE(guard.Active());
        created = w.Create(path.c_str());
    }
    EXPECT_FALSE(created);
    EXPECT_FALSE(std::filesystem::exists(path));
    // The writer is closed after the failed Create.
    EXPECT_FALSE(w.CreateVideoStream(VideoHeader(kWidth, kHeight)));
    EXPECT_TRUE(w.Close());
}

TEST(AviWriterCreate, NeverDeletesWhatIsNotAPlainFile) {
    TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CAviWriter w;
    EXPECT_FALSE(w.Create(fifo.c_str())); // no reader: refused at once, not blocked
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    const std::string folder = dir.File("folder");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(w.Create(folder.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    EXPECT_FALSE(w.Create(""));
    EXPECT_FALSE(w.Create(nullptr));
    EXPECT_FALSE(w.Create(dir.File("missing/x.avi").c_str()));
}

TEST(AviWriterCreate, SymbolicLinkIsReplacedNotFollowed) {
    TempDir dir;
    const std::string target = dir.File("target.bin");
    const std::string link = dir.File("link.avi");
    {
        std::ofstream t(target, std::ios::binary);
        t << "TARGET";
    }
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    CAviWriter w;
    StartFile(w, link);
    ASSERT_TRUE(w.Close());
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(target), "TARGET");
    LoadFile(link);
}

TEST(AviWriterClose, TwiceIsHarmlessAndLeavesTheFileAsItWas) {
    TempDir dir;
    const std::string path = dir.File("twice.avi");
    CAviWriter w;
    EXPECT_TRUE(w.Close()); // never opened
    StartFile(w, path);
    const auto f = Frame(9);
    ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    EXPECT_TRUE(w.Close());
    const std::string first = ReadWholeFile(path);
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(ReadWholeFile(path), first);
    EXPECT_FALSE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
}

TEST(AviWriterClose, FileWithoutSamplesIsComplete) {
    TempDir dir;
    const std::string path = dir.File("empty.avi");
    CAviWriter w;
    StartFile(w, path, true);
    ASSERT_TRUE(w.Close());
    const RiffFile f = LoadFile(path);
    EXPECT_TRUE(Index(f).empty());
    EXPECT_EQ(ParseAvih(f.Data(*f.HeaderChunk(kAvih))).totalFrames, 0u);
    EXPECT_EQ(ParseStrh(f.Data(*f.StreamChunk(0, kStrh))).dwLength, 0u);

    // Not even a stream: still a well-formed AVI.
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.Close());
    const RiffFile g = LoadFile(path);
    EXPECT_EQ(ParseAvih(g.Data(*g.HeaderChunk(kAvih))).streams, 0u);
}

TEST(AviWriterHeaders, StreamHeaderIsWrittenAsGivenApartFromLengths) {
    TempDir dir;
    const std::string path = dir.File("h.avi");
    AVISTREAMINFOA v = VideoHeader(kWidth, kHeight, 30000, 1001, MakeFourcc('D', 'I', 'B', ' '));
    v.dwFlags = 0x10000;
    v.wPriority = 3;
    v.wLanguage = 9;
    v.dwInitialFrames = 2;
    v.dwStart = 5;
    v.dwLength = 12345; // replaced by the frames written
    v.dwSuggestedBufferSize = 100;
    v.dwQuality = 7500;
    v.rcFrame = {1, 2, kWidth - 1, kHeight - 2};
    std::strcpy(v.szName, "Main video");
    AVISTREAMINFOA a = AudioHeader();
    a.dwSuggestedBufferSize = 1u << 24; // larger than any chunk: kept
    a.dwInitialFrames = 1;

    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(v));
    ASSERT_TRUE(w.CreateAudioStream(a));
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    const auto af = AudioFormat();
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    ASSERT_TRUE(w.SetAudioFormat(af.data(), static_cast<std::int32_t>(af.size())));
    const auto f = Frame(2);
    const std::vector<std::uint8_t> sound(1470 * 4, 1);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
        ASSERT_TRUE(w.WriteAudio(sound.data(), 1470 * 4, 1470));
    }
    ASSERT_TRUE(w.Close());

    const RiffFile file = LoadFile(path);
    const AVISTREAMINFOA sv = ParseStrh(file.Data(*file.StreamChunk(0, kStrh)));
    EXPECT_EQ(sv.fccType, v.fccType);
    EXPECT_EQ(sv.fccHandler, v.fccHandler);
    EXPECT_EQ(sv.dwFlags, v.dwFlags);
    EXPECT_EQ(sv.wPriority, v.wPriority);
    EXPECT_EQ(sv.wLanguage, v.wLanguage);
    EXPECT_EQ(sv.dwInitialFrames, v.dwInitialFrames);
    EXPECT_EQ(sv.dwScale, 1001u);
    EXPECT_EQ(sv.dwRate, 30000u);
    EXPECT_EQ(sv.dwStart, 5u);
    EXPECT_EQ(sv.dwLength, 4u);
    EXPECT_EQ(sv.dwSuggestedBufferSize, static_cast<std::uint32_t>(kFrameBytes)); // raised
    EXPECT_EQ(sv.dwQuality, 7500u);
    EXPECT_EQ(sv.dwSampleSize, 0u);
    EXPECT_EQ(sv.rcFrame.left, 1);
    EXPECT_EQ(sv.rcFrame.top, 2);
    EXPECT_EQ(sv.rcFrame.right, kWidth - 1);
    EXPECT_EQ(sv.rcFrame.bottom, kHeight - 2);
    ASSERT_NE(file.StreamChunk(0, kStrn), nullptr);
    EXPECT_EQ(file.Data(*file.StreamChunk(0, kStrn)),
              std::vector<std::uint8_t>({'M', 'a', 'i', 'n', ' ', 'v', 'i', 'd', 'e', 'o', 0}));
    EXPECT_EQ(file.Data(*file.StreamChunk(0, MakeFourcc('s', 't', 'r', 'f'))), vf);

    const AVISTREAMINFOA sa = ParseStrh(file.Data(*file.StreamChunk(1, kStrh)));
    EXPECT_EQ(sa.dwLength, 4u * 1470);
    EXPECT_EQ(sa.dwSuggestedBufferSize, 1u << 24);
    EXPECT_EQ(sa.dwSampleSize, 4u);
    EXPECT_EQ(sa.dwInitialFrames, 1u);
    EXPECT_EQ(file.StreamChunk(1, kStrn), nullptr); // no name given
    EXPECT_EQ(file.Data(*file.StreamChunk(1, MakeFourcc('s', 't', 'r', 'f'))), af);

    const MainHeader avih = ParseAvih(file.Data(*file.HeaderChunk(kAvih)));
    EXPECT_EQ(avih.microSecPerFrame, 33367u);
    EXPECT_EQ(avih.flags, kAvifHasIndex | kAvifIsInterleaved);
    EXPECT_EQ(avih.totalFrames, 4u);
    EXPECT_EQ(avih.streams, 2u);
    EXPECT_EQ(avih.width, static_cast<std::uint32_t>(kWidth));
    EXPECT_EQ(avih.height, static_cast<std::uint32_t>(kHeight));
    EXPECT_GE(avih.suggestedBufferSize, static_cast<std::uint32_t>(kFrameBytes));
    // About 30 frames of kFrameBytes plus 44100 samples of 4 bytes per second.
    EXPECT_NEAR(avih.maxBytesPerSec, 30000.0 / 1001 * kFrameBytes + 176400, 2.0);
}

TEST(AviWriterHeaders, VideoOnlyFileHasIndexFlagWithoutInterleaving) {
    TempDir dir;
    const std::string path = dir.File("v.avi");
    CAviWriter w;
    StartFile(w, path);
    const auto f = Frame(4);
    ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    ASSERT_TRUE(w.Close());
    const RiffFile file = LoadFile(path);
    EXPECT_EQ(ParseAvih(file.Data(*file.HeaderChunk(kAvih))).flags, kAvifHasIndex);
}

TEST(AviWriterHeaders, CompressedVideoUsesDcChunksAndTheCallersKeyFlags) {
    TempDir dir;
    const std::string path = dir.File("c.avi");
    const std::uint32_t mjpg = MakeFourcc('M', 'J', 'P', 'G');
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(VideoHeader(kWidth, kHeight, 25, 1, mjpg)));
    const auto vf = VideoFormat(kWidth, kHeight, 24, mjpg);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    const std::vector<std::uint8_t> odd = {1, 2, 3}; // odd sizes get a pad byte
    const std::vector<std::uint8_t> five = {5, 5, 5, 5, 5};
    ASSERT_TRUE(w.WriteVideoFrame(odd.data(), 3, 1));
    ASSERT_TRUE(w.WriteVideoFrame(five.data(), 5, 0));
    ASSERT_TRUE(w.WriteVideoFrame(nullptr, 0, 0)); // an intended empty frame is fine
    ASSERT_TRUE(w.WriteVideoFrame(odd.data(), 3, 7));
    ASSERT_TRUE(w.Close());

    const RiffFile f = LoadFile(path);
    const auto all = Index(f);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(EntriesOf(all, k00dc).size(), 4u);
    EXPECT_EQ(all[0].flags, 0x10u);
    EXPECT_EQ(all[1].flags, 0u);
    EXPECT_EQ(all[2].flags, 0u);
    EXPECT_EQ(all[3].flags, 0x10u);
    EXPECT_EQ(all[1].offset % 2, 0u);
    EXPECT_EQ(ChunkData(f, all[1]), five);
    EXPECT_EQ(ChunkData(f, all[3]), odd);
}

TEST(AviWriterHeaders, StreamTypeFollowsTheStreamKind) {
    TempDir dir;
    const std::string path = dir.File("t.avi");
    AVISTREAMINFOA v = VideoHeader(kWidth, kHeight);
    v.fccType = 0; // a caller's zeroed header still makes a video stream
    CAviWriter w;
    ASSERT_TRUE(w.Create(path.c_str()));
    ASSERT_TRUE(w.CreateVideoStream(v));
    const auto vf = VideoFormat(kWidth, kHeight, 24);
    ASSERT_TRUE(w.SetVideoFormat(vf.data(), static_cast<std::int32_t>(vf.size())));
    ASSERT_TRUE(w.Close());
    const RiffFile f = LoadFile(path);
    EXPECT_EQ(ParseStrh(f.Data(*f.StreamChunk(0, kStrh))).fccType, MakeFourcc('v', 'i', 'd', 's'));
}

TEST(AviWriterHeaders, InterleavedChunksAreIndexedInFileOrder) {
    TempDir dir;
    const std::string path = dir.File("i.avi");
    CAviWriter w;
    StartFile(w, path, true);
    const auto f = Frame(6);
    const std::vector<std::uint8_t> sound(400, 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(w.WriteAudio(sound.data(), 400, 100));
        ASSERT_TRUE(w.WriteVideoFrame(f.data(), kFrameBytes, 1));
    }
    ASSERT_TRUE(w.Close());
    const RiffFile file = LoadFile(path);
    const auto all = Index(file);
    ASSERT_EQ(all.size(), 6u);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].id, i % 2 == 0 ? k01wb : k00db) << i;
        EXPECT_EQ(all[i].flags, 0x10u) << i;
        if (i > 0) {
            EXPECT_GT(all[i].offset, all[i - 1].offset);
        }
    }
    // The movi list holds exactly the indexed chunks, in that order.
    const Chunk* movi = file.Riffs()[0].Child(kList, kMovi);
    ASSERT_EQ(movi->children.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(movi->children[i].offset, movi->offset + 8 + all[i].offset);
    }
}

} // namespace

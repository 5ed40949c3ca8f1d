// Frames read backwards, from files ffmpeg writes: every frame must be the
// one the forward decode gives, byte for byte, and reading backwards must
// cost a small multiple of the forward decode's packets, not a fresh decode
// from the key frame for every frame, also when a key-frame segment is longer
// than the cache and goes to a temporary file.
#include "media/avi/AviChunkIds.h"
#include "media/avi/AviParser.h"
#include "media/decode/ReverseFrameCache.h"
#include "media/decode/VideoDecoder.h"
#include "media/io/ByteSource.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

using namespace avitest;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
// One 24-bit frame as the cache holds it: header and padded rows.
constexpr std::uint64_t kFrameBytes = 40 + std::uint64_t{kWidth} * 3 * kHeight;
// A budget whose cache holds n frames: the decoder's own pictures count too.
std::uint64_t BudgetForFrames(std::uint64_t n) {
    return kmx::DecoderPictureBytes(kWidth, kHeight) + n * kFrameBytes;
}

enum class Damage { None, AllKeys, NoIndex };

struct Case {
    const char* name;
    const char* videoArgs; // ffmpeg's output options, separated by spaces
    int frames;
    Damage damage = Damage::None;
    // How many times fewer packets three cached frames at a time take than
    // a decode from the key frame for every frame. An index that calls every
    // sample a key frame costs both ways alike to find the real ones. 0: an
    // intra-only stream, each frame decoded once either way and none cached.
    int piecesGain = 2;
};

// Video stream 0 of a file, decoded by a decoder of its own.
class FileDecoder {
public:
    bool Open(const std::string& path, std::uint64_t budget) {
        kmx::AviLayout layout;
        if (!file_.Open(path.c_str()) || !kmx::ParseAviLayout(file_, layout) ||
            !kmx::BuildAviIndexes(file_, layout, {0}, indexes_) || layout.streams.empty() ||
            layout.streams[0].header.size() < 8) {
            return false;
        }
        const kmx::AviStreamList& stream = layout.streams[0];
        source_ = std::make_unique<kmx::CAviSampleSource>(file_, indexes_[0]);
        decoder_.SetCacheBudget(budget);
        return decoder_.Open(stream.format, kmx::LoadU32(stream.header.data() + 4), *source_);
    }
    // The frame's header and pixels; empty when the decoder gives null.
    Bytes Frame(std::int32_t n) { return WholeDib(decoder_.GetFrame(n)); }
    std::int32_t Length() const { return source_ ? source_->SampleCount() : 0; }
    kmx::CVideoDecoder& Decoder() { return decoder_; }

private:
    kmx::CFileSource file_;
    std::vector<kmx::AviStreamIndex> indexes_;
    std::unique_ptr<kmx::CAviSampleSource> source_;
    kmx::CVideoDecoder decoder_;
};

void Spoil(Bytes& bytes, Damage damage) {
    const std::size_t idx1 = Find(bytes, "idx1");
    ASSERT_NE(idx1, std::string::npos);
    if (damage == Damage::AllKeys) {
        // The decoder has to find out which of the frames are no key frames.
        for (std::size_t e = 0; e < kmx::LoadU32(&bytes[idx1 + 4]) / 16; ++e) {
            kmx::StoreU32(&bytes[idx1 + 8 + 16 * e + 4], kmx::kAviIndexKeyFrame);
        }
    } else if (damage == Damage::NoIndex) {
        // Without an index the file is scanned and no key flags are known.
        std::copy_n("JUNK", 4, bytes.begin() + static_cast<std::ptrdiff_t>(idx1));
    }
}

// Makes the case's file in dir; empty on failure.
std::string MakeInput(const TempDir& dir, const Case& c) {
    const std::string made = dir.File("made.avi");
    std::vector<std::string> args =
        Words("-f lavfi -i testsrc2=size=160x120:rate=25 " + std::string(c.videoArgs));
    args.insert(args.end(), {"-frames:v", std::to_string(c.frames), made});
    std::string errors;
    if (!Ffmpeg(args, &errors)) {
        ADD_FAILURE() << errors;
        return {};
    }
    Bytes bytes = ReadWholeFile(made);
    Spoil(bytes, c.damage);
    const std::string path = dir.File("read.avi");
    return WriteBytes(path, bytes) ? path : std::string{};
}

// Reads every frame from first to last, which caches none; *work receives
// the packets this took.
std::vector<Bytes> ReadForwards(const std::string& path, std::uint64_t* work) {
    FileDecoder decoder;
    std::vector<Bytes> frames;
    EXPECT_TRUE(decoder.Open(path, kmx::kDefaultDecodeCacheBytes));
    for (std::int32_t n = 0; n < decoder.Length(); ++n) {
        frames.push_back(decoder.Frame(n));
        EXPECT_FALSE(frames.back().empty()) << "frame " << n;
    }
    *work = decoder.Decoder().SamplesRead();
    EXPECT_EQ(decoder.Decoder().CachedFrames(), 0);
    return frames;
}

// Whether this process has a file open in the folder (an unnamed one shows
// as "folder/#inode (deleted)").
bool HoldsFileIn(const std::string& folder) {
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (!error && target.rfind(folder + "/", 0) == 0) {
            return true;
        }
    }
    return false;
}

struct Backwards {
    std::uint64_t work = 0;      // packets decoded
    std::int32_t mostCached = 0; // frames the cache held at most
    bool heldFile = false;       // a file open in $TMPDIR while reading
    bool namesSeen = false;      // anything named in $TMPDIR, while or after reading
};

// Reads every frame from last to first, requiring each to equal the forward
// decode's. tmpdir: the folder $TMPDIR names while reading, or empty;
// hinted: the decoder is told that it reads backwards, as a reversed run does.
Backwards ReadBackwards(const std::string& path, std::uint64_t budget,
                        const std::vector<Bytes>& forward, const std::string& tmpdir = {},
                        bool hinted = false) {
    Backwards result;
    const auto named = [&tmpdir] {
        std::error_code error;
        return !tmpdir.empty() && std::filesystem::exists(tmpdir, error) &&
               !std::filesystem::is_empty(tmpdir, error);
    };
    {
        FileDecoder backward;
        EXPECT_TRUE(backward.Open(path, budget));
        backward.Decoder().SetReadingBackwards(hinted);
        for (std::int32_t n = static_cast<std::int32_t>(forward.size()) - 1; n >= 0; --n) {
            EXPECT_TRUE(backward.Frame(n) == forward[static_cast<std::size_t>(n)])
                << "frame " << n << " with a budget of " << budget << " bytes";
            result.mostCached = std::max(result.mostCached, backward.Decoder().CachedFrames());
            result.heldFile = result.heldFile || (!tmpdir.empty() && HoldsFileIn(tmpdir));
            result.namesSeen = result.namesSeen || named();
        }
        result.work = backward.Decoder().SamplesRead();
    }
    result.namesSeen = result.namesSeen || named();
    EXPECT_FALSE(!tmpdir.empty() && HoldsFileIn(tmpdir)) << "a file still open after Close";
    return result;
}

// Sets $TMPDIR for its lifetime.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::string& folder) {
        const char* old = std::getenv("TMPDIR");
        hadOld_ = old != nullptr;
        old_ = hadOld_ ? old : "";
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTmpdir() {
        if (hadOld_) {
            setenv("TMPDIR", old_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }
    ScopedTmpdir(const ScopedTmpdir&) = delete;
    ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
};

class ReverseDecode : public testing::TestWithParam<Case> {};

TEST_P(ReverseDecode, BackwardFramesEqualForwardFramesAtAFractionOfTheWork) {
    REQUIRE_TOOL("ffmpeg");
    const Case& c = GetParam();
    TempDir dir;
    const std::string path = MakeInput(dir, c);
    ASSERT_FALSE(path.empty());

    std::uint64_t forwardWork = 0;
    const std::vector<Bytes> forward = ReadForwards(path, &forwardWork);
    ASSERT_GE(forward.size(), static_cast<std::size_t>(c.frames));

    const Backwards whole = ReadBackwards(path, kmx::kDefaultDecodeCacheBytes, forward);
    if (c.piecesGain == 0) {
        EXPECT_EQ(forwardWork, forward.size());
        EXPECT_EQ(whole.work, forward.size());
        EXPECT_EQ(whole.mostCached, 0);
        return;
    }
    EXPECT_GT(whole.mostCached, 0);
    const Backwards uncached = ReadBackwards(path, 0, forward);
    EXPECT_EQ(uncached.mostCached, 0);
    EXPECT_LE(whole.work, 3 * forwardWork);

    // A cache of three frames: each segment is decoded once into an unnamed
    // file in $TMPDIR. Where no file can be made, three frames at a time are
    // decoded from the key frame instead.
    const std::string spillDir = dir.File("spill");
    ASSERT_TRUE(std::filesystem::create_directory(spillDir));
    const struct {
        std::string tmpdir;
        bool full; // files may grow to 64 KiB only, as on a full disk
        bool spills;
    } runs[] = {
        {dir.File("missing"), false, false}, {spillDir, true, false}, {spillDir, false, true}};
    std::uint64_t inMemory = 0;
    for (const auto& run : runs) {
        SCOPED_TRACE(run.tmpdir + (run.full ? " full" : ""));
        const ScopedTmpdir tmpdir(run.tmpdir);
        std::optional<FileSizeLimit> limit;
        if (run.full) {
            ASSERT_TRUE(limit.emplace(65536).active);
        }
        const Backwards pieces =
            ReadBackwards(path, BudgetForFrames(3), forward, run.tmpdir, run.spills);
        limit.reset();
        EXPECT_FALSE(pieces.namesSeen);
        EXPECT_EQ(pieces.heldFile, run.spills);
        EXPECT_EQ(pieces.mostCached > 3, run.spills);
        EXPECT_LE(c.piecesGain * pieces.work, uncached.work)
            << "three frames at a time against one";
        if (!run.spills) {
            EXPECT_LT(whole.work, pieces.work);
            inMemory = std::max(inMemory, pieces.work);
            continue;
        }
        EXPECT_LT(pieces.work, inMemory);
        // Where the index's key flags hold, each segment is decoded about
        // once, also where the codec starts a key frame early.
        if (c.damage != Damage::AllKeys) {
            EXPECT_LE(pieces.work, forwardWork * 5 / 4);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReverseDecode,
    testing::Values(
        Case{"h264", "-c:v libx264 -g 50 -pix_fmt yuv420p", 120},
        Case{"mpeg4_bframes", "-c:v mpeg4 -bf 2 -g 40", 120},
        // Open key-frame segments: pictures after a key frame
        // that show before it refer to the segment before.
        Case{"mpeg2_open_gop", "-c:v mpeg2video -bf 2 -g 24", 120},
        Case{"h264_open_gop_pyramid",
             "-c:v libx264 -x264-params keyint=30:open-gop=1:b-pyramid=normal:bframes=3 "
             "-pix_fmt yuv420p",
             100},
        // Frames the select filter leaves out become empty chunks.
        Case{"h264_drop_frames",
             "-vf select='not(eq(mod(n\\,5)\\,3))' -fps_mode passthrough "
             "-c:v libx264 -g 20 -pix_fmt yuv420p",
             90},
        Case{"h264_all_flagged_key", "-c:v libx264 -g 30 -pix_fmt yuv420p", 90, Damage::AllKeys, 1},
        Case{"mpeg4_scanned", "-c:v mpeg4 -bf 2 -g 30", 90, Damage::NoIndex},
        Case{"mjpeg", "-c:v mjpeg -q:v 3", 40, Damage::None, 0}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(ReverseDecodeBudget, EnvironmentAndSetterDecideTheBudgetOfNewReaders) {
    kmx::ClearDecodeCacheBudget();
    unsetenv("KADRIMIX_DECODE_CACHE_MB");
    EXPECT_EQ(kmx::DecodeCacheBudget(), std::uint64_t{256} << 20);
    setenv("KADRIMIX_DECODE_CACHE_MB", "12", 1);
    EXPECT_EQ(kmx::DecodeCacheBudget(), std::uint64_t{12} << 20);
    setenv("KADRIMIX_DECODE_CACHE_MB", "12x", 1);
    EXPECT_EQ(kmx::DecodeCacheBudget(), std::uint64_t{256} << 20);
    kmx::SetDecodeCacheBudget(5 * kFrameBytes);
    EXPECT_EQ(kmx::DecodeCacheBudget(), 5 * kFrameBytes);
    kmx::ClearDecodeCacheBudget();
    unsetenv("KADRIMIX_DECODE_CACHE_MB");
}

} // namespace

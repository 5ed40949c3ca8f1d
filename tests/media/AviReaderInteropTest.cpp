// Files that ffmpeg writes, read back and judged against ffmpeg's own
// decoding of the same file: lengths, every frame's pixels (first in jumps,
// then in order), and the PCM audio bytes. Both decode with libavcodec and
// convert with libswscale's defaults, so the pixels match exactly.
#include "media/AviReader.h"
#include "media/avi/AviChunkIds.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace avitest;

namespace {

constexpr int kFrames = 25;
constexpr int kHeight = 120;

enum class Damage { None, CutShort, AllKeys };

struct Case {
    const char* name;
    int width;               // 162: rows of 24 bits need padding
    const char* videoArgs;   // ffmpeg's output options, separated by spaces
    const char* pixelFormat; // as the reader's frames are laid out
    int bitCount;
    Damage damage = Damage::None;
};

class AviReaderInterop : public testing::TestWithParam<Case> {};

// ffmpeg's arguments for one second of the case's video and 44.1 kHz PCM.
std::vector<std::string> FfmpegArgs(const Case& c, const std::string& output) {
    std::vector<std::string> args =
        Words("-f lavfi -i testsrc=size=" + std::to_string(c.width) +
              "x120:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 -t 1 " + c.videoArgs);
    args.insert(args.end(), {"-c:a", "pcm_s16le", output});
    return args;
}

void Spoil(Bytes& bytes, Damage damage) {
    if (damage == Damage::CutShort) {
        bytes.resize(bytes.size() * 7 / 10);
    } else if (damage == Damage::AllKeys) {
        // An index that calls every frame a key frame sends the decoder to
        // frames it cannot start from; it has to find the real one before.
        const std::size_t idx1 = Find(bytes, "idx1");
        for (std::size_t e = 0; e < kmx::LoadU32(&bytes[idx1 + 4]) / 16; ++e) {
            kmx::StoreU32(&bytes[idx1 + 8 + 16 * e + 4], kmx::kAviIndexKeyFrame);
        }
    }
}

TEST_P(AviReaderInterop, FramesAndAudioMatchFfmpeg) {
    REQUIRE_TOOL("ffmpeg");
    const Case& c = GetParam();
    TempDir dir;
    const std::string made = dir.File("made.avi");
    std::string errors;
    ASSERT_TRUE(Ffmpeg(FfmpegArgs(c, made), &errors)) << errors;
    const Bytes video = FfmpegVideo(made, c.pixelFormat);
    const Bytes audio = FfmpegAudio(made);
    const std::size_t size =
        std::size_t{kHeight} * static_cast<std::size_t>(c.width * c.bitCount / 8);
    ASSERT_EQ(video.size(), size * kFrames);
    ASSERT_EQ(audio.size(), 88200u);

    Bytes bytes = ReadWholeFile(made);
    Spoil(bytes, c.damage);
    const std::string path = dir.File("read.avi");
    ASSERT_TRUE(WriteBytes(path, bytes));

    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    const std::int32_t frames = reader.GetVideoLength(0);
    if (c.damage == Damage::CutShort) {
        EXPECT_GT(frames, 10);
        EXPECT_LT(frames, kFrames);
    } else {
        EXPECT_EQ(frames, kFrames);
    }
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    std::vector<int> order = {17, 3, 24, 0, 12, 13, 11}; // jumps first, then in order
    for (int n = 0; n < frames; ++n) {
        order.push_back(n);
    }
    for (const int k : order) {
        const int n = k % frames;
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, n, &dib);
        ASSERT_NE(dib, nullptr) << "frame " << n;
        ASSERT_TRUE(dib->biWidth == c.width && dib->biHeight == kHeight);
        ASSERT_EQ(dib->biBitCount, c.bitCount);
        EXPECT_EQ(dib->biSizeImage, DibStride(dib) * kHeight);
        const auto at = video.begin() + static_cast<std::ptrdiff_t>(n * size);
        EXPECT_TRUE(DibRowsTopDown(dib) == Bytes(at, at + static_cast<std::ptrdiff_t>(size)))
            << "frame " << n;
    }
    // All of the audio, or in a file cut short what exists of it.
    const Bytes ours = ReadAllAudio(reader, 1000);
    EXPECT_EQ(ours.size(), static_cast<std::size_t>(reader.GetAudioLength(0)) * 2);
    EXPECT_GT(ours.size(), c.damage == Damage::CutShort ? 20000u : 88199u);
    EXPECT_TRUE(ours.size() <= audio.size() && std::equal(ours.begin(), ours.end(), audio.begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, AviReaderInterop,
    testing::Values(Case{"bgr24", 162, "-c:v rawvideo -pix_fmt bgr24", "bgr24", 24},
                    Case{"bottom_up", 160, "-c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1",
                         "bgr24", 24},
                    Case{"bgra", 160, "-c:v rawvideo -pix_fmt bgra", "bgra", 32},
                    Case{"rgb555le", 162, "-c:v rawvideo -pix_fmt rgb555le", "rgb555le", 16},
                    Case{"mjpeg", 160, "-c:v mjpeg -q:v 3", "bgr24", 24},
                    Case{"mpeg4_bframes", 160, "-c:v mpeg4 -g 12 -bf 2", "bgr24", 24},
                    Case{"huffyuv", 160, "-c:v huffyuv -pix_fmt bgra", "bgr24", 24},
                    Case{"ffv1", 160, "-c:v ffv1 -pix_fmt bgr0 -g 5", "bgr24", 24},
                    Case{"ffv1_all_flagged_key", 160, "-c:v ffv1 -pix_fmt bgr0 -g 6", "bgr24", 24,
                         Damage::AllKeys},
                    Case{"mpeg4_cut", 160, "-c:v mpeg4 -g 6", "bgr24", 24, Damage::CutShort}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

} // namespace

// Every available compressor, fed with 16-, 24- and 32-bit frames (of odd
// sizes where it takes them): one sample per frame, a key frame first and
// then at least every lKey frames, and an AVI file of the samples that our
// reader decodes again, forwards and backwards (which needs true key flags):
// exactly for lossless compressors, at 30 dB or better for lossy ones.
// ffprobe sees the encoder's key flags in the index; ffmpeg decodes the same.
#include "tests/codec/CodecTestSupport.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include "codec/CompressorInfo.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

namespace {

using codectest::Frame;

constexpr int kFrames = 8;

// Lossless: identical (16-bit input in its five bits per colour, however it
// was widened on the way); lossy: at least 30 dB.
void ExpectMatches(const kmx::CompressorEntry& entry, const Frame& expected, const Frame& actual,
                   int bits, const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    if (!entry.lossless) {
        EXPECT_GE(avitest::Psnr(expected, actual), 30.0) << what;
        return;
    }
    int wrong = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        wrong += bits == 16 ? (actual[i] >> 3) != (expected[i] >> 3) : actual[i] != expected[i];
    }
    EXPECT_EQ(wrong, 0) << what;
}

// The key flags of the video packets as ffprobe sees them.
std::vector<bool> FfprobeKeys(const std::string& path) {
    std::string flags;
    EXPECT_EQ(RunTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                       "packet=flags", "-of", "csv=p=0", path},
                      &flags),
              0);
    std::istringstream lines(flags);
    std::vector<bool> keys;
    for (std::string line; std::getline(lines, line);) {
        keys.push_back(line.rfind('K', 0) == 0);
    }
    return keys;
}

class Compressor : public testing::TestWithParam<const kmx::CompressorEntry*> {};

TEST_P(Compressor, FramesComeBackThroughAnAviFile) {
    const kmx::CompressorEntry& entry = *GetParam();
    // Odd sizes test unpadded input rows, padded DIB rows and rounded chroma planes.
    const bool odd = entry.widthMultiple == 1 && entry.heightMultiple == 1;
    const int w = odd ? 131 : 128;
    const int h = odd ? 97 : 96;
    TempDir dir;
    for (const int bits : {16, 32, 24}) {
        std::vector<Frame> frames;
        for (int i = 0; i < kFrames; ++i) {
            frames.push_back(codectest::MakePatternFrame(w, h, bits, i));
        }
        const codectest::Encoded out = codectest::CompressFrames(
            entry.fourcc, codectest::MakeSettings(entry.fourcc, -1, 4), w, h, bits, frames);
        ASSERT_TRUE(out.ok) << bits << " bits: " << out.error;
        ASSERT_EQ(out.samples.size(), frames.size());
        EXPECT_LE(static_cast<std::int32_t>(out.samples[0].size()), out.maxFrameSize);
        EXPECT_TRUE(out.keys[0]);
        int sinceKey = 0; // then a key frame at least every lKey (4) frames
        for (std::size_t i = 0; i < out.keys.size(); ++i) {
            sinceKey = out.keys[i] ? 0 : sinceKey + 1;
            EXPECT_LT(sinceKey, 4) << bits << " bits, frame " << i;
        }
        if (entry.encoderName == nullptr) { // uncompressed: DIB rows, padded to 4 bytes
            EXPECT_EQ(out.samples[0].size(),
                      static_cast<std::size_t>((w * bits + 31) / 32 * 4 * h));
        }
        const std::string path = dir.File(std::to_string(bits) + ".avi");
        ASSERT_TRUE(codectest::WriteAvi(path, entry.fourcc, w, h, out));
        const std::vector<Frame> read = codectest::ReadAvi(path);
        ASSERT_EQ(read.size(), frames.size());
        EXPECT_TRUE(codectest::ReadAvi(path, true) == read) << bits << " bits backwards";
        std::vector<Frame> expected;
        for (int i = 0; i < kFrames; ++i) {
            const auto row = static_cast<std::size_t>(w * bits / 8);
            expected.push_back(codectest::ToBgr(frames[i].data(), w, h, bits, row));
            ExpectMatches(entry, expected[i], read[i], bits,
                          std::to_string(bits) + " bits, frame " + std::to_string(i));
        }
        if (bits != 24) {
            continue;
        }
        // Other readers see the same.
        REQUIRE_TOOL("ffprobe");
        REQUIRE_TOOL("ffmpeg");
        EXPECT_EQ(FfprobeKeys(path), out.keys);
        const avitest::Bytes raw = avitest::FfmpegVideo(path, "bgr24");
        const std::size_t size = expected[0].size();
        ASSERT_EQ(raw.size(), size * kFrames);
        for (int i = 0; i < kFrames; ++i) {
            ExpectMatches(entry, expected[i], Frame(&raw[size * i], &raw[size * i] + size), 24,
                          "ffmpeg frame " + std::to_string(i));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Available, Compressor, testing::ValuesIn(codectest::AvailableEntries()),
                         [](const testing::TestParamInfo<const kmx::CompressorEntry*>& param) {
                             std::string name = kmx::FourccText(param.param->fourcc);
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

} // namespace

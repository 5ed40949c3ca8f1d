// The test pattern: frame numbers read back after ffmpeg converted a sample
// file between 16, 24 and 32 bits, and after lossy compression.
#include "pattern/TestPattern.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using namespace avitest;

constexpr int kWidth = 322; // rows with padding at 16 and 24 bits
constexpr int kHeight = 240;

// A sample file of the given depth with frames numbered from 1234560 on.
std::string SampleFile(const TempDir& dir, int bits, int frames) {
    const kmx::SampleAviOptions o{.width = kWidth,
                                  .height = kHeight,
                                  .bitsPerPixel = bits,
                                  .frames = frames,
                                  .patternOffset = 1234560};
    std::string error;
    EXPECT_TRUE(kmx::WriteSampleAvi(dir.File("sample.avi"), o, &error)) << error;
    return dir.File("sample.avi");
}

// The numbers of the frames ffmpeg decodes from a file into a pixel format.
std::vector<int> Numbers(const std::string& path, const std::string& format, int bits) {
    const Bytes raw = FfmpegVideo(path, format);
    const std::size_t size = std::size_t{kWidth} * kHeight * static_cast<std::size_t>(bits / 8);
    std::vector<int> numbers;
    for (std::size_t at = 0; at + size <= raw.size(); at += size) {
        const Bytes dib = TopDownToDib(&raw[at], kWidth, kHeight, bits);
        numbers.push_back(kmx::ReadTestPatternNumber(dib.data(), kWidth, kHeight, bits));
    }
    return numbers;
}

TEST(TestPattern, NumberReadsBackAfterDepthConversion) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    for (const int from : {16, 24, 32}) {
        const std::string path = SampleFile(dir, from, 2);
        const std::pair<const char*, int> formats[] = {
            {"rgb555le", 16}, {"bgr24", 24}, {"bgra", 32}};
        for (const auto& [format, bits] : formats) {
            EXPECT_EQ(Numbers(path, format, bits), (std::vector<int>{1234560, 1234561}))
                << from << " bits to " << format;
        }
    }
}

TEST(TestPattern, NumberReadsBackAfterLossyCompression) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string path = SampleFile(dir, 24, 30);
    std::vector<int> expected(30);
    std::iota(expected.begin(), expected.end(), 1234560);
    for (const char* codec : {"mjpeg", "mpeg4"}) { // at their default quality
        std::string errors;
        ASSERT_TRUE(Ffmpeg({"-i", path, "-c:v", codec, dir.File("coded.avi")}, &errors)) << errors;
        EXPECT_EQ(Numbers(dir.File("coded.avi"), "bgr24", 24), expected) << codec;
    }
}

} // namespace

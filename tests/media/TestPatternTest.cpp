// The test pattern: numbers survive depth conversions, noise and lossy
// codecs, damaged codes are refused, the audio values and per-frame audio
// split are exact, and the sample files have the promised layout.
#include "media/TestPattern.h"

#include "media/ByteOrder.h"

#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace avitest;

namespace {

using kmx::DibRowBytes;
using kmx::FillTestPatternFrame;
using kmx::ReadTestPatternNumber;
using kmx::TestPatternFrameBytes;

std::vector<std::uint8_t> Pattern(int width, int height, int bits, int number) {
    std::vector<std::uint8_t> f(TestPatternFrameBytes(width, height, bits), 0xEE);
    FillTestPatternFrame(f.data(), width, height, bits, number);
    return f;
}

struct Rgb {
    int r, g, b;
};

Rgb PixelAt(const std::vector<std::uint8_t>& f, int width, int bits, int x, int row) {
    const std::uint8_t* p = f.data() + static_cast<std::size_t>(row) * DibRowBytes(width, bits) +
                            static_cast<std::size_t>(x) * (bits / 8);
    if (bits == 16) {
        const int v = kmx::LoadU16(p);
        return {((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3};
    }
    return {p[2], p[1], p[0]};
}

void PutPixel(std::vector<std::uint8_t>& f, int width, int bits, int x, int row, Rgb c) {
    std::uint8_t* p = f.data() + static_cast<std::size_t>(row) * DibRowBytes(width, bits) +
                      static_cast<std::size_t>(x) * (bits / 8);
    if (bits == 16) {
        kmx::StoreU16(
            p, static_cast<std::uint16_t>(((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3)));
        return;
    }
    p[0] = static_cast<std::uint8_t>(c.b);
    p[1] = static_cast<std::uint8_t>(c.g);
    p[2] = static_cast<std::uint8_t>(c.r);
    if (bits == 32) {
        p[3] = 0;
    }
}

std::vector<std::uint8_t> Convert(const std::vector<std::uint8_t>& f, int width, int height,
                                  int from, int to) {
    std::vector<std::uint8_t> out(TestPatternFrameBytes(width, height, to), 0);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            PutPixel(out, width, to, x, row, PixelAt(f, width, from, x, row));
        }
    }
    return out;
}

TEST(TestPattern, NumbersReadBackInEveryDepthAndSize) {
    const std::vector<std::pair<int, int>> sizes = {{320, 240}, {322, 240}, {161, 90},
                                                    {640, 480}, {40, 12},   {1, 1}};
    for (int bits : {16, 24, 32}) {
        for (const auto& [w, h] : sizes) {
            for (int number : {0, 1, 2, 255, 4096, 65535, 1234567, 16777215}) {
                const auto f = Pattern(w, h, bits, number);
                const int expected = (w >= 20 && h >= 6) ? number : -1;
                EXPECT_EQ(ReadTestPatternNumber(f.data(), w, h, bits), expected)
                    << bits << " bits " << w << "x" << h << " number " << number;
            }
        }
    }
}

TEST(TestPattern, RowPaddingIsZeroAndEveryByteIsWritten) {
    for (int bits : {16, 24, 32}) {
        const int w = 163; // odd width: padded rows at 16 and 24 bits
        const int h = 50;
        const std::size_t stride = DibRowBytes(w, bits);
        EXPECT_EQ(stride % 4, 0u);
        EXPECT_GE(stride, static_cast<std::size_t>(w) * (bits / 8));
        // Whatever the buffer held before, the result is the same.
        std::vector<std::uint8_t> zeros(TestPatternFrameBytes(w, h, bits), 0x00);
        std::vector<std::uint8_t> ones(zeros.size(), 0xFF);
        FillTestPatternFrame(zeros.data(), w, h, bits, 77);
        FillTestPatternFrame(ones.data(), w, h, bits, 77);
        EXPECT_TRUE(zeros == ones) << bits;
        for (int row = 0; row < h; ++row) {
            for (std::size_t i = static_cast<std::size_t>(w) * (bits / 8); i < stride; ++i) {
                ASSERT_EQ(ones[row * stride + i], 0) << "padding of row " << row;
            }
        }
    }
}

TEST(TestPattern, LargeNumbersUseTheLow24Bits) {
    const auto f = Pattern(320, 240, 24, 0x1000005);
    EXPECT_EQ(ReadTestPatternNumber(f.data(), 320, 240, 24), 5);
}

TEST(TestPattern, SurvivesConversionBetweenDepths) {
    const int w = 322;
    const int h = 200;
    for (int from : {16, 24, 32}) {
        for (int to : {16, 24, 32}) {
            const auto f = Convert(Pattern(w, h, from, 4321), w, h, from, to);
            EXPECT_EQ(ReadTestPatternNumber(f.data(), w, h, to), 4321) << from << " -> " << to;
        }
    }
}

TEST(TestPattern, SurvivesNoiseAndBlur) {
    const int w = 320;
    const int h = 240;
    auto f = Pattern(w, h, 24, 98765);
    std::uint32_t seed = 12345;
    for (auto& byte : f) {
        seed = seed * 1103515245u + 12345u;
        const int noise = static_cast<int>((seed >> 16) % 61) - 30;
        byte = static_cast<std::uint8_t>(std::clamp(byte + noise, 0, 255));
    }
    // A horizontal box blur over 5 pixels smears the cell edges.
    std::vector<std::uint8_t> blurred = f;
    const std::size_t stride = DibRowBytes(w, 24);
    for (int row = 0; row < h; ++row) {
        for (int x = 2; x < w - 2; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int d = -2; d <= 2; ++d) {
                    sum += f[row * stride + static_cast<std::size_t>(x + d) * 3 + c];
                }
                blurred[row * stride + static_cast<std::size_t>(x) * 3 + c] =
                    static_cast<std::uint8_t>(sum / 5);
            }
        }
    }
    EXPECT_EQ(ReadTestPatternNumber(blurred.data(), w, h, 24), 98765);
}

TEST(TestPattern, DamagedOrMissingCodeIsRefused) {
    const int w = 320;
    const int h = 240;
    const auto good = Pattern(w, h, 24, 1000);
    // 1000 and 1000 + 65536 share their background and differ in bit 16 and
    // in their check bits. Copy over only the first differing cell, which is
    // bit 16 (the check bits come later in the same cell row): a single
    // wrong bit that the check must catch.
    const auto other = Pattern(w, h, 24, 1000 + 65536);
    const std::size_t stride = DibRowBytes(w, 24);
    auto differs = [&](int x, int row) {
        const Rgb a = PixelAt(good, w, 24, x, row);
        const Rgb b = PixelAt(other, w, 24, x, row);
        return a.r != b.r || a.g != b.g || a.b != b.b;
    };
    int top = -1;
    int left = -1;
    for (int row = h - 1; row >= 0 && top < 0; --row) { // rows are stored bottom-up
        for (int x = 0; x < w; ++x) {
            if (differs(x, row)) {
                top = row;
                left = x;
                break;
            }
        }
    }
    ASSERT_GE(top, 0);
    int right = left;
    while (right < w && differs(right, top)) {
        ++right;
    }
    auto damaged = good;
    int changedPixels = 0;
    for (int row = top; row >= 0 && differs(left, row); --row) {
        for (int x = left; x < right; ++x) {
            for (int c = 0; c < 3; ++c) {
                damaged[row * stride + static_cast<std::size_t>(x) * 3 + c] =
                    other[row * stride + static_cast<std::size_t>(x) * 3 + c];
            }
            ++changedPixels;
        }
    }
    EXPECT_GT(changedPixels, 0);
    EXPECT_EQ(ReadTestPatternNumber(damaged.data(), w, h, 24), -1);

    std::vector<std::uint8_t> flat(TestPatternFrameBytes(w, h, 24), 128);
    EXPECT_EQ(ReadTestPatternNumber(flat.data(), w, h, 24), -1);
    EXPECT_EQ(ReadTestPatternNumber(good.data(), w, h, 8), -1);
    EXPECT_EQ(ReadTestPatternNumber(nullptr, w, h, 24), -1);
}

TEST(TestPattern, BackgroundChangesWithTheNumber) {
    const auto a = Pattern(320, 240, 24, 10);
    const auto b = Pattern(320, 240, 24, 11);
    // Corner pixels lie outside the code cells.
    EXPECT_FALSE(PixelAt(a, 320, 24, 0, 0).r == PixelAt(b, 320, 24, 0, 0).r &&
                 PixelAt(a, 320, 24, 0, 0).g == PixelAt(b, 320, 24, 0, 0).g &&
                 PixelAt(a, 320, 24, 0, 0).b == PixelAt(b, 320, 24, 0, 0).b);
    // Smooth: neighbouring background pixels differ only a little.
    for (int x = 1; x < 320; ++x) {
        EXPECT_LE(std::abs(PixelAt(a, 320, 24, x, 0).r - PixelAt(a, 320, 24, x - 1, 0).r), 4) << x;
    }
}

TEST(TestAudio, ValuesIdentifyTheSampleAndTheChannel) {
    for (int channel = 0; channel < 2; ++channel) {
        std::set<std::int16_t> seen;
        for (std::int64_t s = 0; s < 65536; ++s) {
            seen.insert(kmx::TestAudioValue(s, channel));
        }
        EXPECT_EQ(seen.size(), 65536u) << "channel " << channel;
    }
    EXPECT_NE(kmx::TestAudioValue(100, 0), kmx::TestAudioValue(100, 1));
    EXPECT_EQ(kmx::TestAudioValue(70000, 1), kmx::TestAudioValue(70000 + 65536, 1));
}

TEST(TestAudio, FramesSplitTheSamplesExactly) {
    kmx::SampleAviOptions o;
    o.rate = 30000;
    o.scale = 1001;
    o.audioRate = 48000;
    EXPECT_EQ(kmx::TestAudioFirstSample(0, o), 0);
    EXPECT_EQ(kmx::TestAudioFirstSample(1, o), 1601); // 1601.6
    EXPECT_EQ(kmx::TestAudioFirstSample(5, o), 8008); // exactly 8008
    EXPECT_EQ(kmx::TestAudioFirstSample(30000, o), std::int64_t{48048000});
    // Large frame numbers need 64 bits on the way.
    o.rate = 25;
    o.scale = 1;
    o.audioRate = 96000;
    EXPECT_EQ(kmx::TestAudioFirstSample(2000000000, o), std::int64_t{7680000000000});
}

TEST(SampleAvi, FileHasOneAudioChunkPerFrameWithTheRightSamples) {
    TempDir dir;
    const std::string path = dir.File("s.avi");
    kmx::SampleAviOptions o;
    o.width = 322;
    o.height = 60;
    o.frames = 7;
    o.rate = 30000;
    o.scale = 1001;
    o.audio = true;
    o.audioRate = 48000;
    o.audioChannels = 2;
    std::string error;
    ASSERT_TRUE(kmx::WriteSampleAvi(path, o, &error)) << error;

    RiffFile f;
    std::string problem;
    ASSERT_TRUE(f.Load(path, &problem)) << problem;
    const Chunk* movi =
        f.Riffs()[0].Child(MakeFourcc('L', 'I', 'S', 'T'), MakeFourcc('m', 'o', 'v', 'i'));
    ASSERT_NE(movi, nullptr);
    ASSERT_EQ(movi->children.size(), 14u);
    std::int64_t sample = 0;
    for (int k = 0; k < 7; ++k) {
        const Chunk& video = movi->children[2 * k];
        const Chunk& audio = movi->children[2 * k + 1];
        EXPECT_EQ(video.id, MakeFourcc('0', '0', 'd', 'b'));
        EXPECT_EQ(video.size, TestPatternFrameBytes(322, 60, 24));
        const auto pixels = f.Data(video);
        EXPECT_EQ(ReadTestPatternNumber(pixels.data(), 322, 60, 24), k);
        ASSERT_EQ(audio.id, MakeFourcc('0', '1', 'w', 'b'));
        const std::int64_t first = kmx::TestAudioFirstSample(k, o);
        const std::int64_t count = kmx::TestAudioFirstSample(k + 1, o) - first;
        EXPECT_EQ(first, sample);
        ASSERT_EQ(audio.size, static_cast<std::uint32_t>(count * 4));
        const auto data = f.Data(audio);
        for (std::int64_t i = 0; i < count; ++i) {
            for (int c = 0; c < 2; ++c) {
                ASSERT_EQ(kmx::LoadI16(data.data() + i * 4 + c * 2),
                          kmx::TestAudioValue(first + i, c));
            }
        }
        sample += count;
    }
    const AVISTREAMINFOA strh =
        ParseStrh(f.Data(*f.StreamChunk(1, MakeFourcc('s', 't', 'r', 'h'))));
    EXPECT_EQ(strh.dwLength, static_cast<std::uint32_t>(sample));
}

TEST(SampleAvi, RefusesImpossibleOptions) {
    TempDir dir;
    std::string error;
    kmx::SampleAviOptions o;
    o.bitsPerPixel = 8;
    EXPECT_FALSE(kmx::WriteSampleAvi(dir.File("a.avi"), o, &error));
    EXPECT_FALSE(error.empty());
    o = {};
    o.width = 0;
    EXPECT_FALSE(kmx::WriteSampleAvi(dir.File("a.avi"), o, nullptr));
    o = {};
    o.scale = 0;
    EXPECT_FALSE(kmx::WriteSampleAvi(dir.File("a.avi"), o, &error));
    o = {};
    o.audio = true;
    o.audioChannels = 0;
    EXPECT_FALSE(kmx::WriteSampleAvi(dir.File("a.avi"), o, &error));
    o = {};
    o.width = 1 << 20;
    o.height = 1 << 20;
    EXPECT_FALSE(kmx::WriteSampleAvi(dir.File("a.avi"), o, &error));
    o = {};
    EXPECT_FALSE(kmx::WriteSampleAvi(dir.File("missing/a.avi"), o, &error));
}

// Encodes a pattern file with an ffmpeg codec at its default settings and
// reads every number back from the decoded frames.
void ExpectNumbersSurviveCodec(const std::string& codec, int width, int height) {
    TempDir dir;
    const std::string source = dir.File("source.avi");
    const std::string coded = dir.File("coded.avi");
    kmx::SampleAviOptions o;
    o.width = width;
    o.height = height;
    o.frames = 40;
    o.patternOffset = 500;
    std::string error;
    ASSERT_TRUE(kmx::WriteSampleAvi(source, o, &error)) << error;
    std::string errors;
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-nostdin", "-i", source, "-c:v", codec, coded},
                      nullptr, &errors),
              0)
        << errors;
    std::vector<std::uint8_t> raw;
    ASSERT_TRUE(DecodeVideo(coded, &raw, {"-pix_fmt", "bgr24"}));
    const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 3;
    ASSERT_EQ(raw.size(), 40 * frameBytes);
    for (int k = 0; k < 40; ++k) {
        const auto dib =
            TopDownToDib(raw.data() + static_cast<std::size_t>(k) * frameBytes, width, height, 24);
        EXPECT_EQ(ReadTestPatternNumber(dib.data(), width, height, 24), k + 500)
            << codec << " frame " << k;
    }
}

TEST(TestPatternInterop, SurvivesMjpegAtDefaultQuality) {
    REQUIRE_TOOL("ffmpeg");
    ExpectNumbersSurviveCodec("mjpeg", 320, 240);
}

TEST(TestPatternInterop, SurvivesMpeg4AtDefaultQuality) {
    REQUIRE_TOOL("ffmpeg");
    ExpectNumbersSurviveCodec("mpeg4", 320, 240);
    ExpectNumbersSurviveCodec("mpeg4", 640, 480);
}

} // namespace

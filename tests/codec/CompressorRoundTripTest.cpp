// Every available compressor, fed with 16-, 24- and 32-bit frames, decoded
// again by libavcodec the way an AVI reader finds the decoder: lossless
// compressors give back the input, lossy ones stay close to it, and every
// frame gives exactly one sample whose key flag tells the truth.
#include "tests/codec/CodecTestSupport.h"

#include "media/ByteOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

using codectest::Frame;

constexpr int kWidth = 128;
constexpr int kHeight = 96;
constexpr int kFrames = 8;

std::vector<Frame> PatternFrames(int width, int height, int bits, int count) {
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(codectest::MakePatternFrame(width, height, bits, i));
    }
    return frames;
}

// Checks one decoded picture against its input frame: lossless compressors
// must give it back exactly, lossy ones at least minPsnr dB.
void ExpectPictureMatches(const kmx::CompressorEntry& entry, const Frame& input,
                          const Frame& decoded, int width, int height, int bits, int index,
                          double minPsnr = 30.0) {
    const Frame expected = codectest::ToBgr(input, width, height, bits);
    ASSERT_EQ(decoded.size(), expected.size());
    if (!entry.lossless) {
        EXPECT_GE(codectest::Psnr(expected, decoded), minPsnr) << "frame " << index;
        return;
    }
    if (bits != 16) {
        EXPECT_EQ(decoded, expected) << "frame " << index;
        return;
    }
    // 16-bit input may be widened on the way; its five bits must survive.
    int wrong = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        wrong += (decoded[i] >> 3) != (expected[i] >> 3);
    }
    EXPECT_EQ(wrong, 0) << "frame " << index;
}

class CompressorRoundTrip
    : public testing::TestWithParam<std::tuple<const kmx::CompressorEntry*, int>> {};

TEST_P(CompressorRoundTrip, DecodesToTheInputWithOneKeyFlaggedSamplePerFrame) {
    const kmx::CompressorEntry& entry = *std::get<0>(GetParam());
    const int bits = std::get<1>(GetParam());
    const std::vector<Frame> frames = PatternFrames(kWidth, kHeight, bits, kFrames);
    const codectest::Encoded out = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc), kWidth, kHeight, bits, frames);
    ASSERT_TRUE(out.ok) << out.error;
    ASSERT_EQ(out.samples.size(), frames.size());

    BITMAPINFOHEADER format{};
    kmx::LoadRecord(out.format.data(), format);
    EXPECT_EQ(format.biSize, out.format.size());
    EXPECT_EQ(format.biWidth, kWidth);
    EXPECT_EQ(format.biHeight, kHeight);
    EXPECT_EQ(format.biPlanes, 1);
    EXPECT_EQ(format.biSizeImage, static_cast<std::uint32_t>(out.maxFrameSize));
    EXPECT_TRUE(out.samples.front().key);
    for (const codectest::Sample& s : out.samples) {
        EXPECT_LE(static_cast<std::int64_t>(s.data.size()), out.maxFrameSize);
    }

    if (entry.encoderName == nullptr) {
        // Uncompressed: the frames themselves, as DIB rows.
        EXPECT_EQ(format.biCompression, BI_RGB);
        EXPECT_EQ(format.biBitCount, bits);
        for (int i = 0; i < kFrames; ++i) {
            EXPECT_EQ(out.samples[i].data, frames[i]);
            EXPECT_TRUE(out.samples[i].key);
        }
        return;
    }
    EXPECT_EQ(format.biCompression, entry.fourcc);

    std::vector<Frame> pictures;
    ASSERT_TRUE(codectest::DecodeAll(out, 0, out.samples.size(), &pictures));
    ASSERT_EQ(pictures.size(), frames.size());
    for (int i = 0; i < kFrames; ++i) {
        ExpectPictureMatches(entry, frames[i], pictures[i], kWidth, kHeight, bits, i);
    }
}

std::string
RoundTripName(const testing::TestParamInfo<std::tuple<const kmx::CompressorEntry*, int>>& info) {
    return codectest::EntryName(*std::get<0>(info.param)) + "_" +
           std::to_string(std::get<1>(info.param)) + "bit";
}

INSTANTIATE_TEST_SUITE_P(Available, CompressorRoundTrip,
                         testing::Combine(testing::ValuesIn(codectest::AvailableEntries(true)),
                                          testing::Values(16, 24, 32)),
                         RoundTripName);

// Sizes that are no multiple of 2 or 4: the compressors that take them must
// still round-trip (rows are unpadded, chroma planes round up).
class CompressorOddSize : public testing::TestWithParam<const kmx::CompressorEntry*> {};

TEST_P(CompressorOddSize, TakesOrRefusesOddSizesCleanly) {
    const kmx::CompressorEntry& entry = *GetParam();
    constexpr int kOddWidth = 37;
    constexpr int kOddHeight = 29;
    const std::vector<Frame> frames = PatternFrames(kOddWidth, kOddHeight, 24, 3);
    const codectest::Encoded out = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc), kOddWidth, kOddHeight, 24, frames);
    if (entry.widthMultiple > 1 || entry.heightMultiple > 1) {
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.error, "format size refused");
        return;
    }
    ASSERT_TRUE(out.ok) << out.error;
    if (entry.encoderName == nullptr) {
        // Uncompressed rows are padded to whole 32-bit words, as DIB rows are.
        const std::size_t stride = (kOddWidth * 3 + 3) / 4 * 4;
        ASSERT_EQ(out.samples[0].data.size(), stride * kOddHeight);
        for (int y = 0; y < kOddHeight; ++y) {
            EXPECT_EQ(0, std::memcmp(out.samples[0].data.data() + y * stride,
                                     frames[0].data() + y * kOddWidth * 3, kOddWidth * 3));
        }
        return;
    }
    codectest::CTestDecoder decoder;
    ASSERT_TRUE(decoder.Open(out.format));
    for (const codectest::Sample& s : out.samples) {
        ASSERT_TRUE(decoder.Decode(s.data));
    }
    ASSERT_TRUE(decoder.Finish());
    ASSERT_EQ(decoder.Pictures().size(), frames.size());
    // Small odd frames are hard on lossy codecs; a picture that is shifted or
    // garbled would still be far below this.
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ExpectPictureMatches(entry, frames[i], decoder.Pictures()[i], kOddWidth, kOddHeight, 24,
                             static_cast<int>(i), 25.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Available, CompressorOddSize,
                         testing::ValuesIn(codectest::AvailableEntries(true)),
                         [](const testing::TestParamInfo<const kmx::CompressorEntry*>& info) {
                             return codectest::EntryName(*info.param);
                         });

} // namespace

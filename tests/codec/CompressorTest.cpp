// Every available compressor, fed with 16-, 24- and 32-bit frames (of odd
// sizes where it takes them): one sample per frame, a key frame first and
// then at least every lKey frames (and, but for intra-only compressors, frames
// that are no key frames), and an AVI file of the samples that our reader
// decodes again, forwards and backwards, and from each key frame on alone:
// exactly for lossless compressors, at 30 dB or better for lossy ones.
// ffprobe sees the encoder's key flags in the index; ffmpeg decodes the same.
// A data rate steers the size. Input no compressor can take is refused, and
// compressor names turn into narrow text.
#include "tests/codec/CodecTestSupport.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include "codec/CompressorInfo.h"
#include "codec/WideToNarrow.h"
#include "media/io/ByteOrder.h"
#include "pattern/TestPattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

using avitest::Fourcc;
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
            frames.push_back(kmx::PackedTestPatternFrame(w, h, bits, i));
        }
        const codectest::Encoded out = codectest::CompressFrames(
            entry.fourcc, codectest::MakeSettings(entry.fourcc, -1, 4), w, h, bits, frames);
        ASSERT_TRUE(out.ok) << bits << " bits: " << out.error;
        ASSERT_EQ(out.samples.size(), frames.size());
        EXPECT_LE(static_cast<std::int32_t>(out.samples[0].size()), out.maxFrameSize);
        EXPECT_TRUE(out.keys[0]);
        int sinceKey = 0; // then a key frame at least every lKey (4) frames
        int keys = 0;
        for (std::size_t i = 0; i < out.keys.size(); ++i) {
            sinceKey = out.keys[i] ? 0 : sinceKey + 1;
            keys += out.keys[i] ? 1 : 0;
            EXPECT_LT(sinceKey, 4) << bits << " bits, frame " << i;
        }
        EXPECT_EQ(keys == kFrames, entry.key == kmx::KeyControl::IntraOnly) << bits << " bits";
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
        // A file that starts at a key frame shows the same pictures from there.
        for (std::size_t k = 1; k < out.keys.size(); ++k) {
            if (out.keys[k] && entry.key != kmx::KeyControl::IntraOnly) {
                ASSERT_TRUE(codectest::WriteAvi(dir.File("part.avi"), entry.fourcc, w, h, out, k));
                const std::vector<Frame> part = codectest::ReadAvi(dir.File("part.avi"));
                EXPECT_TRUE(!part.empty() && part[0] == read[k]) << "from key frame " << k;
            }
        }
        // Other readers see the same.
        REQUIRE_TOOL("ffprobe");
        REQUIRE_TOOL("ffmpeg");
        std::map<std::string, std::string> probed = avitest::ProbeStreams(path);
        std::vector<bool> probedKeys; // of the video packets, its only stream
        for (int i = 0; probed.count("packets.packet." + std::to_string(i) + ".flags") > 0; ++i) {
            probedKeys.push_back(probed["packets.packet." + std::to_string(i) + ".flags"][0] ==
                                 'K');
        }
        EXPECT_EQ(probedKeys, out.keys);
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

// A higher quality gives larger frames: the console's quality test. The
// key-frame rate: the test of every compressor.
TEST(CompressorSettings, DataRateSteersTheSize) {
    // Two seconds at 25 frames per second, at 5 and at 20 kilobytes per second.
    const std::uint32_t xvid = Fourcc("XVID");
    std::vector<Frame> frames;
    for (int i = 0; i < 50; ++i) {
        frames.push_back(kmx::PackedTestPatternFrame(160, 120, 24, i));
    }
    const codectest::Encoded slow = codectest::CompressFrames(
        xvid, codectest::MakeSettings(xvid, -1, 0, 5), 160, 120, 24, frames);
    const codectest::Encoded fast = codectest::CompressFrames(
        xvid, codectest::MakeSettings(xvid, -1, 0, 20), 160, 120, 24, frames);
    ASSERT_TRUE(slow.ok && fast.ok);
    EXPECT_LT(codectest::TotalSize(slow) * 5, codectest::TotalSize(fast) * 4);
    // Once rate control has settled, the second second is within a factor of two.
    EXPECT_LT(codectest::TotalSize(fast, 25), 2 * 20 * 1024);
    EXPECT_GT(codectest::TotalSize(fast, 25), 20 * 1024 / 2);
}

TEST(CompressorBadInput, WhatNoCompressorTakesIsRefused) {
    EXPECT_EQ(CCompressor::Open(ICTYPE_VIDEO, Fourcc("xyzw")), nullptr); // not in the table
    EXPECT_EQ(CCompressor::Open(ICTYPE_VIDEO, 0), nullptr);
    EXPECT_EQ(CCompressor::Open(Fourcc("auds"), Fourcc("MJPG")), nullptr);
    for (const kmx::CompressorEntry& entry : kmx::CompressorTable()) { // unavailable ones too
        EXPECT_EQ(CCompressor::Open(ICTYPE_VIDEO, entry.fourcc) != nullptr,
                  kmx::IsCompressorAvailable(entry))
            << entry.shortName;
    }
    EXPECT_EQ(kmx::ListCompressors(false).size(),
              static_cast<std::size_t>(std::count_if(kmx::CompressorTable().begin(),
                                                     kmx::CompressorTable().end(),
                                                     kmx::IsCompressorAvailable)));

    const Frame frame = kmx::PackedTestPatternFrame(64, 48, 24, 0);
    const auto frameSize = static_cast<std::int64_t>(frame.size());
    for (const kmx::CompressorEntry* entry : codectest::AvailableEntries()) {
        const std::unique_ptr<CCompressor> c = CCompressor::Open(ICTYPE_VIDEO, entry->fourcc);
        ASSERT_TRUE(c);
        const COMPVARS settings = codectest::MakeSettings(entry->fourcc);
        const BITMAPINFOHEADER input = codectest::MakeInputFormat(64, 48, 24);
        BITMAPINFOHEADER topDown = input;
        topDown.biHeight = -48;
        for (const BITMAPINFOHEADER& bad :
             {codectest::MakeInputFormat(64, 48, 8), codectest::MakeInputFormat(0, 48, 24),
              codectest::MakeInputFormat(-64, 48, 24), topDown}) {
            EXPECT_LE(c->GetFormatSize(&bad), 0) << entry->shortName;
            EXPECT_FALSE(c->SeqCompressFrameStart(settings, &bad)) << entry->shortName;
        }
        EXPECT_LE(c->GetFormatSize(nullptr), 0);
        EXPECT_FALSE(c->SeqCompressFrameStart(settings, nullptr));
        // Sizes that are no multiple of what the encoder needs.
        for (const auto& [w, h] : {std::pair{63, 48}, std::pair{64, 47}, std::pair{66, 50}}) {
            const BITMAPINFOHEADER odd = codectest::MakeInputFormat(w, h, 24);
            const bool fits = w % entry->widthMultiple == 0 && h % entry->heightMultiple == 0;
            EXPECT_EQ(c->GetFormatSize(&odd) > 0, fits) << entry->shortName << " " << w << "x" << h;
            EXPECT_EQ(c->SeqCompressFrameStart(settings, &odd), fits) << entry->shortName;
            c->SeqCompressFrameEnd();
        }
        // The format is not written past the size asked for.
        const std::int32_t needed = c->GetFormatSize(&input);
        std::vector<std::uint8_t> format(static_cast<std::size_t>(needed) + 8, 0xEE);
        EXPECT_EQ(c->GetFormat(&input, format.data(), needed - 1), ICERR_BADSIZE);
        ASSERT_EQ(c->GetFormat(&input, format.data(), needed + 8), ICERR_OK);
        EXPECT_EQ(kmx::LoadU32(format.data()), static_cast<std::uint32_t>(needed));
        EXPECT_EQ(std::vector<std::uint8_t>(format.end() - 8, format.end()),
                  std::vector<std::uint8_t>(8, 0xEE));
        // Frames outside a sequence or with short data fail without reaching
        // the encoder: the first real frame is still a key frame.
        bool key = false;
        std::int32_t size = 0;
        EXPECT_EQ(c->SeqCompressFrame(frame.data(), frameSize, &key, &size), nullptr);
        ASSERT_TRUE(c->SeqCompressFrameStart(settings, &input));
        EXPECT_EQ(c->SeqCompressFrame(frame.data(), frameSize - 1, &key, &size), nullptr);
        EXPECT_EQ(c->SeqCompressFrame(nullptr, frameSize, &key, &size), nullptr);
        EXPECT_NE(c->SeqCompressFrame(frame.data(), frameSize, &key, &size), nullptr);
        EXPECT_TRUE(key) << entry->shortName;
        c->SeqCompressFrameEnd();
        EXPECT_EQ(c->SeqCompressFrame(frame.data(), frameSize, &key, &size), nullptr);
    }
}

TEST(WideToNarrow, KeepsLowBytesUpToTheFirstZeroOrTheLimit) {
    const char16_t text[] = {u'M', u'J', 0x00E9, 0x4E2D, u'x', 0, u'y', 0};
    EXPECT_EQ(std::string(kmx::WideToNarrow(text)), std::string("MJ\xE9\x2Dx"));
    EXPECT_STREQ(kmx::WideToNarrow(nullptr), "");
    std::vector<char16_t> unterminated(300, u'a');
    EXPECT_EQ(std::string(kmx::WideToNarrow(unterminated.data())), std::string(128, 'a'));
    unterminated[127] = 0x0142;
    EXPECT_EQ(std::string(kmx::WideToNarrow(unterminated.data())), std::string(127, 'a') + "B");
}

} // namespace

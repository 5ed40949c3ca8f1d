// The user's settings take effect (each checked on one or two compressors):
// the key-frame rate bounds the distance of key frames, which decode on their
// own; a higher quality gives larger frames; a data rate steers the size.
// Input no compressor can take is refused, and compressor names turn into
// narrow text.
#include "tests/codec/CodecTestSupport.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/TempDir.h"

#include "codec/CompressorInfo.h"
#include "codec/WideToNarrow.h"
#include "media/io/ByteOrder.h"

#include <gtest/gtest.h>

namespace {

using avitest::Fourcc;
using codectest::Frame;

std::vector<Frame> Frames(int width, int height, int count) {
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(codectest::MakePatternFrame(width, height, 24, i));
    }
    return frames;
}

TEST(CompressorSettings, KeyRateTenGivesAKeyFrameAtLeastEveryTenFramesThatDecodesAlone) {
    TempDir dir;
    for (const char* name : {"XVID", "MSVC"}) { // a GOP size, and a minimum key-frame interval
        const codectest::Encoded out =
            codectest::CompressFrames(Fourcc(name), codectest::MakeSettings(Fourcc(name), -1, 10),
                                      64, 48, 24, Frames(64, 48, 32));
        ASSERT_TRUE(out.ok) << name << ": " << out.error;
        int sinceKey = 0;
        int keys = 0;
        for (std::size_t i = 0; i < out.keys.size(); ++i) {
            sinceKey = out.keys[i] ? 0 : sinceKey + 1;
            keys += out.keys[i] ? 1 : 0;
            EXPECT_LT(sinceKey, 10) << name << " frame " << i;
        }
        EXPECT_LT(keys, 32) << name; // there are frames that depend on earlier ones
        // A file that starts at a key frame shows the same pictures from there.
        ASSERT_TRUE(codectest::WriteAvi(dir.File("all.avi"), Fourcc(name), 64, 48, out));
        const std::vector<Frame> all = codectest::ReadAvi(dir.File("all.avi"));
        ASSERT_EQ(all.size(), 32u);
        for (std::size_t k = 1; k < out.keys.size(); ++k) {
            if (out.keys[k]) {
                ASSERT_TRUE(
                    codectest::WriteAvi(dir.File("part.avi"), Fourcc(name), 64, 48, out, k));
                const std::vector<Frame> part = codectest::ReadAvi(dir.File("part.avi"));
                EXPECT_TRUE(!part.empty() && !all[k].empty() && part[0] == all[k])
                    << name << " from key frame " << k;
            }
        }
    }
}

TEST(CompressorSettings, HigherQualityGivesLargerFrames) {
    for (const char* name : {"MJPG", "H264"}) { // a quantiser scale and a rate factor
        const kmx::CompressorEntry* entry = kmx::FindCompressorEntry(Fourcc(name));
        if (entry == nullptr || !kmx::IsCompressorAvailable(*entry)) {
            continue; // libx264 may be missing from a libavcodec
        }
        std::int64_t last = 0;
        for (const int quality : {1000, 5000, 10000}) {
            const codectest::Encoded out = codectest::CompressFrames(
                Fourcc(name), codectest::MakeSettings(Fourcc(name), quality), 64, 48, 24,
                Frames(64, 48, 4));
            ASSERT_TRUE(out.ok) << name << ": " << out.error;
            EXPECT_GT(codectest::TotalSize(out), last) << name << " at quality " << quality;
            last = codectest::TotalSize(out);
        }
    }
}

TEST(CompressorSettings, DataRateSteersTheSize) {
    // Two seconds at 25 frames per second, at 5 and at 20 kilobytes per second.
    const std::uint32_t xvid = Fourcc("XVID");
    const std::vector<Frame> frames = Frames(160, 120, 50);
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
    EXPECT_EQ(kmx::ListCompressors(false).size(), codectest::AvailableEntries().size());

    const Frame frame = codectest::MakePatternFrame(64, 48, 24, 0);
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

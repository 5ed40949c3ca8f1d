// The compressor table, opening, information for the chooser, and how every
// call copes with input it cannot take.
#include "tests/codec/CodecTestSupport.h"

#include "codec/CompressorInfo.h"
#include "codec/WideToNarrow.h"
#include "media/ByteOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

using codectest::Frame;
using kmx::MakeFourcc;

TEST(CompressorTable, HoldsTheOfferedFourccsOnce) {
    const char* const wanted[] = {"DIB ", "MJPG", "HFYU", "FFVH", "FFV1", "ULRG",
                                  "MAGY", "XVID", "DIV3", "H264", "cvid", "MSVC"};
    for (const char* w : wanted) {
        EXPECT_NE(kmx::FindCompressorEntry(MakeFourcc(w[0], w[1], w[2], w[3])), nullptr) << w;
    }
    std::set<std::uint32_t> seen;
    for (const kmx::CompressorEntry& e : kmx::CompressorTable()) {
        EXPECT_TRUE(seen.insert(e.fourcc).second) << kmx::FourccText(e.fourcc);
        EXPECT_LE(std::string(e.shortName).size(), 15u) << e.shortName;
        EXPECT_LT(std::string(e.description).size(), 128u) << e.description;
        EXPECT_GE(e.widthMultiple, 1);
        EXPECT_GE(e.heightMultiple, 1);
    }
    EXPECT_EQ(kmx::FindCompressorEntry(MakeFourcc('x', 'x', 'x', 'x')), nullptr);
    EXPECT_EQ(kmx::FindCompressorEntry(0), nullptr);
}

TEST(CompressorTable, LosslessEntriesAreTheExpectedOnes) {
    for (const char* w : {"HFYU", "FFVH", "FFV1", "ULRG", "MAGY"}) {
        const kmx::CompressorEntry* e =
            kmx::FindCompressorEntry(MakeFourcc(w[0], w[1], w[2], w[3]));
        ASSERT_NE(e, nullptr);
        EXPECT_TRUE(e->lossless) << w;
    }
    for (const char* w : {"MJPG", "XVID", "DIV3", "H264", "cvid", "MSVC"}) {
        const kmx::CompressorEntry* e =
            kmx::FindCompressorEntry(MakeFourcc(w[0], w[1], w[2], w[3]));
        ASSERT_NE(e, nullptr);
        EXPECT_FALSE(e->lossless) << w;
    }
}

TEST(CompressorListing, OffersOnlyAvailableCompressorsUnlessAllAreAsked) {
    const std::vector<kmx::CompressorListing> offered = kmx::ListCompressors(false);
    const std::vector<kmx::CompressorListing> all = kmx::ListCompressors(true);
    EXPECT_EQ(all.size(), kmx::CompressorTable().size());
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered.front().fourcc, FOURCC_DIB);
    std::size_t available = 0;
    for (const kmx::CompressorListing& item : all) {
        const kmx::CompressorEntry* e = kmx::FindCompressorEntry(item.fourcc);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(item.available, kmx::IsCompressorAvailable(*e));
        EXPECT_EQ(item.available, CCompressor::Open(ICTYPE_VIDEO, item.fourcc) != nullptr);
        available += item.available ? 1 : 0;
    }
    EXPECT_EQ(offered.size(), available);
    for (const kmx::CompressorListing& item : offered) {
        EXPECT_TRUE(item.available);
    }
}

TEST(CompressorOpen, RefusesWhatIsNoVideoCompressorOfTheTable) {
    EXPECT_EQ(CCompressor::Open(ICTYPE_VIDEO, MakeFourcc('x', 'y', 'z', 'w')), nullptr);
    EXPECT_EQ(CCompressor::Open(ICTYPE_VIDEO, 0), nullptr);
    EXPECT_EQ(CCompressor::Open(MakeFourcc('a', 'u', 'd', 's'), MakeFourcc('M', 'J', 'P', 'G')),
              nullptr);
    EXPECT_EQ(CCompressor::Open(ICTYPE_VIDEO, MakeFourcc('M', 'J', 'P', 'G'), 2), nullptr);
    EXPECT_NE(CCompressor::Open(0, FOURCC_DIB), nullptr);
    EXPECT_NE(CCompressor::Open(ICTYPE_VIDEO, FOURCC_DIB), nullptr);
}

TEST(CompressorOpen, HandlesAreNonZeroAndDistinct) {
    std::vector<std::unique_ptr<CCompressor>> open;
    std::set<std::uint32_t> handles;
    for (int i = 0; i < 20; ++i) {
        open.push_back(CCompressor::Open(ICTYPE_VIDEO, FOURCC_DIB));
        ASSERT_TRUE(open.back());
        EXPECT_NE(open.back()->Handle(), 0u);
        EXPECT_TRUE(handles.insert(open.back()->Handle()).second);
    }
}

class CompressorInfo : public testing::TestWithParam<const kmx::CompressorEntry*> {};

TEST_P(CompressorInfo, FillsTheChooserRecord) {
    const kmx::CompressorEntry& entry = *GetParam();
    std::unique_ptr<CCompressor> c = CCompressor::Open(ICTYPE_VIDEO, entry.fourcc);
    ASSERT_TRUE(c);
    ICINFO info{};
    EXPECT_EQ(c->GetInfo(&info, 100), 0);
    EXPECT_EQ(c->GetInfo(nullptr, 568), 0);
    ASSERT_EQ(c->GetInfo(&info, 568), 568);
    EXPECT_EQ(info.dwSize, 568u);
    EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(info.fccHandler, entry.fourcc);
    EXPECT_EQ(info.dwFlags, kmx::CompressorCapabilities(entry));
    EXPECT_EQ(info.dwVersionICM, ICVERSION);
    EXPECT_STREQ(kmx::WideToNarrow(info.szName), entry.shortName);
    EXPECT_STREQ(kmx::WideToNarrow(info.szDescription), entry.description);
    EXPECT_STREQ(kmx::WideToNarrow(info.szDriver), "libavcodec");
    EXPECT_EQ(info.szName[15], 0);
}

INSTANTIATE_TEST_SUITE_P(Available, CompressorInfo,
                         testing::ValuesIn(codectest::AvailableEntries(true)),
                         [](const testing::TestParamInfo<const kmx::CompressorEntry*>& info) {
                             return codectest::EntryName(*info.param);
                         });

// Input formats no compressor takes.
std::vector<BITMAPINFOHEADER> UnusableFormats() {
    std::vector<BITMAPINFOHEADER> list;
    BITMAPINFOHEADER h = codectest::MakeInputFormat(64, 48, 8); // palettised
    list.push_back(h);
    h = codectest::MakeInputFormat(64, 48, 24);
    h.biCompression = 3; // BI_BITFIELDS
    list.push_back(h);
    h = codectest::MakeInputFormat(64, 48, 24);
    h.biCompression = MakeFourcc('M', 'J', 'P', 'G');
    list.push_back(h);
    h = codectest::MakeInputFormat(64, -48, 24); // top-down
    list.push_back(h);
    h = codectest::MakeInputFormat(0, 48, 24);
    list.push_back(h);
    h = codectest::MakeInputFormat(64, 0, 24);
    list.push_back(h);
    h = codectest::MakeInputFormat(-64, 48, 24);
    list.push_back(h);
    h = codectest::MakeInputFormat(100000, 48, 24);
    list.push_back(h);
    h = codectest::MakeInputFormat(64, 48, 24);
    h.biSize = 12; // an old OS/2 header size
    list.push_back(h);
    h = codectest::MakeInputFormat(64, 48, 15);
    list.push_back(h);
    h = codectest::MakeInputFormat(0x7FFFFFFF, 0x7FFFFFFF, 32);
    list.push_back(h);
    return list;
}

class CompressorBadInput : public testing::TestWithParam<const kmx::CompressorEntry*> {};

TEST_P(CompressorBadInput, RefusesUnusableFormatsWithItsResult) {
    const kmx::CompressorEntry& entry = *GetParam();
    std::unique_ptr<CCompressor> c = CCompressor::Open(ICTYPE_VIDEO, entry.fourcc);
    ASSERT_TRUE(c);
    const COMPVARS settings = codectest::MakeSettings(entry.fourcc);
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_LE(c->GetFormatSize(nullptr), 0);
    EXPECT_NE(c->GetFormat(nullptr, buffer.data(), 4096), ICERR_OK);
    EXPECT_LE(c->GetSize(nullptr), 0);
    EXPECT_FALSE(c->SeqCompressFrameStart(settings, nullptr));
    int index = 0;
    for (const BITMAPINFOHEADER& h : UnusableFormats()) {
        EXPECT_LE(c->GetFormatSize(&h), 0) << "format " << index;
        EXPECT_NE(c->GetFormat(&h, buffer.data(), 4096), ICERR_OK) << "format " << index;
        EXPECT_FALSE(c->SeqCompressFrameStart(settings, &h)) << "format " << index;
        ++index;
    }
}

TEST_P(CompressorBadInput, RefusesSizesTheEncoderCannotTake) {
    const kmx::CompressorEntry& entry = *GetParam();
    std::unique_ptr<CCompressor> c = CCompressor::Open(ICTYPE_VIDEO, entry.fourcc);
    ASSERT_TRUE(c);
    const COMPVARS settings = codectest::MakeSettings(entry.fourcc);
    for (const auto& [w, h] : {std::pair{63, 48}, std::pair{64, 47}, std::pair{66, 50}}) {
        const BITMAPINFOHEADER format = codectest::MakeInputFormat(w, h, 24);
        const bool fits = w % entry.widthMultiple == 0 && h % entry.heightMultiple == 0;
        EXPECT_EQ(c->GetFormatSize(&format) > 0, fits) << w << "x" << h;
        EXPECT_EQ(c->SeqCompressFrameStart(settings, &format), fits) << w << "x" << h;
        c->SeqCompressFrameEnd();
    }
}

TEST_P(CompressorBadInput, FrameCallsOutsideASequenceOrWithShortDataFail) {
    const kmx::CompressorEntry& entry = *GetParam();
    std::unique_ptr<CCompressor> c = CCompressor::Open(ICTYPE_VIDEO, entry.fourcc);
    ASSERT_TRUE(c);
    const BITMAPINFOHEADER input = codectest::MakeInputFormat(64, 48, 24);
    const Frame frame = codectest::MakePatternFrame(64, 48, 24, 0);
    const auto frameSize = static_cast<std::int64_t>(frame.size());
    bool key = false;
    std::int32_t size = 0;
    EXPECT_EQ(c->SeqCompressFrame(frame.data(), frameSize, &key, &size), nullptr);

    ASSERT_TRUE(c->SeqCompressFrameStart(codectest::MakeSettings(entry.fourcc), &input));
    EXPECT_EQ(c->SeqCompressFrame(nullptr, frameSize, &key, &size), nullptr);
    EXPECT_EQ(c->SeqCompressFrame(frame.data(), frameSize, nullptr, &size), nullptr);
    EXPECT_EQ(c->SeqCompressFrame(frame.data(), frameSize, &key, nullptr), nullptr);
    EXPECT_EQ(c->SeqCompressFrame(frame.data(), frameSize - 1, &key, &size), nullptr);
    // None of the refused calls reached the encoder: the first real frame is
    // still the sequence's first, a key frame.
    EXPECT_NE(c->SeqCompressFrame(frame.data(), frameSize, &key, &size), nullptr);
    EXPECT_TRUE(key);
    EXPECT_GT(size, 0);
    c->SeqCompressFrameEnd();
    EXPECT_EQ(c->SeqCompressFrame(frame.data(), frameSize, &key, &size), nullptr);
    c->SeqCompressFrameEnd();
}

TEST_P(CompressorBadInput, FormatNeedsABufferOfTheAnnouncedSize) {
    const kmx::CompressorEntry& entry = *GetParam();
    std::unique_ptr<CCompressor> c = CCompressor::Open(ICTYPE_VIDEO, entry.fourcc);
    ASSERT_TRUE(c);
    const BITMAPINFOHEADER input = codectest::MakeInputFormat(64, 48, 24);
    const std::int32_t needed = c->GetFormatSize(&input);
    ASSERT_GE(needed, 40);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(needed) + 8, 0xEE);
    EXPECT_EQ(c->GetFormat(&input, buffer.data(), needed - 1), ICERR_BADSIZE);
    EXPECT_EQ(c->GetFormat(&input, nullptr, needed), ICERR_BADSIZE);
    ASSERT_EQ(c->GetFormat(&input, buffer.data(), needed + 8), ICERR_OK);
    EXPECT_EQ(kmx::LoadU32(buffer.data()), static_cast<std::uint32_t>(needed));
    for (std::size_t i = static_cast<std::size_t>(needed); i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xEE) << "byte " << i << " written past the format";
    }
}

INSTANTIATE_TEST_SUITE_P(Available, CompressorBadInput,
                         testing::ValuesIn(codectest::AvailableEntries(true)),
                         [](const testing::TestParamInfo<const kmx::CompressorEntry*>& info) {
                             return codectest::EntryName(*info.param);
                         });

// Finds the NAL unit types of an Annex B byte stream.
std::vector<int> AnnexBUnitTypes(const std::vector<std::uint8_t>& data) {
    std::vector<int> types;
    for (std::size_t i = 0; i + 3 < data.size(); ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            types.push_back(data[i + 3] & 0x1F);
            i += 2;
        }
    }
    return types;
}

TEST(CompressorStream, H264IsAnnexBWithParameterSetsInEveryKeyFrame) {
    const std::uint32_t h264 = MakeFourcc('H', '2', '6', '4');
    const kmx::CompressorEntry* entry = kmx::FindCompressorEntry(h264);
    ASSERT_NE(entry, nullptr);
    if (!kmx::IsCompressorAvailable(*entry)) {
        GTEST_SKIP() << "libx264 is not part of this libavcodec";
    }
    std::vector<Frame> frames;
    for (int i = 0; i < 6; ++i) {
        frames.push_back(codectest::MakePatternFrame(64, 48, 24, i));
    }
    const codectest::Encoded out =
        codectest::CompressFrames(h264, codectest::MakeSettings(h264, -1, 3), 64, 48, 24, frames);
    ASSERT_TRUE(out.ok) << out.error;
    // No global header: the format is the bare BITMAPINFOHEADER.
    EXPECT_EQ(out.format.size(), 40u);
    for (std::size_t i = 0; i < out.samples.size(); ++i) {
        const std::vector<std::uint8_t>& data = out.samples[i].data;
        ASSERT_GE(data.size(), 4u);
        EXPECT_TRUE((data[0] == 0 && data[1] == 0 && data[2] == 1) ||
                    (data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1))
            << "sample " << i << " does not start with a start code";
        const std::vector<int> types = AnnexBUnitTypes(data);
        const bool hasSps = std::find(types.begin(), types.end(), 7) != types.end();
        const bool hasIdr = std::find(types.begin(), types.end(), 5) != types.end();
        EXPECT_EQ(hasIdr, out.samples[i].key) << "sample " << i;
        if (out.samples[i].key) {
            EXPECT_TRUE(hasSps) << "key sample " << i << " lacks its parameter sets";
        }
    }
}

TEST(CompressorStream, LosslessFormatsCarryTheCodecExtraData) {
    for (const char* w : {"HFYU", "FFVH", "ULRG", "MAGY"}) {
        const std::uint32_t fourcc = MakeFourcc(w[0], w[1], w[2], w[3]);
        std::unique_ptr<CCompressor> c = CCompressor::Open(ICTYPE_VIDEO, fourcc);
        if (!c) {
            continue;
        }
        const BITMAPINFOHEADER input = codectest::MakeInputFormat(64, 48, 24);
        const std::int32_t size = c->GetFormatSize(&input);
        EXPECT_GT(size, 40) << w;
        std::vector<std::uint8_t> format(static_cast<std::size_t>(std::max(size, 40)));
        ASSERT_EQ(c->GetFormat(&input, format.data(), size), ICERR_OK) << w;
        EXPECT_EQ(kmx::LoadU32(format.data()), static_cast<std::uint32_t>(size)) << w;
        EXPECT_EQ(kmx::LoadU32(format.data() + 16), fourcc) << w;
    }
}

TEST(WideToNarrow, KeepsLowBytesUpToTheFirstZeroUnit) {
    const char16_t text[] = {u'M', u'J', 0x00E9, 0x4E2D, u'x', 0, u'y', 0};
    const char* narrow = kmx::WideToNarrow(text);
    EXPECT_EQ(std::string(narrow), std::string("MJ\xE9\x2Dx"));
    EXPECT_STREQ(kmx::WideToNarrow(u""), "");
    EXPECT_STREQ(kmx::WideToNarrow(nullptr), "");
}

TEST(WideToNarrow, StopsAfter128UnitsWithoutATerminator) {
    std::vector<char16_t> text(300, u'a');
    const char* narrow = kmx::WideToNarrow(text.data());
    EXPECT_EQ(std::string(narrow), std::string(128, 'a'));
    text[127] = 0x0142; // low byte 0x42
    EXPECT_EQ(std::string(kmx::WideToNarrow(text.data())), std::string(127, 'a') + "B");
}

TEST(FourccText, ShowsPrintableCharacters) {
    EXPECT_EQ(kmx::FourccText(MakeFourcc('c', 'v', 'i', 'd')), "cvid");
    EXPECT_EQ(kmx::FourccText(FOURCC_DIB), "DIB ");
    EXPECT_EQ(kmx::FourccText(0), "....");
}

} // namespace

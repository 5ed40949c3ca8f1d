#include "engine/ConvertJob.h"
#include "engine/TextFormatting.h"
#include "media/AviRecords.h"
#include "media/io/ByteOrder.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

namespace {

TEST(Records, CompVarsSerialisesSixteenLittleEndianMembersInOrder) {
    COMPVARS cv = kmx::MakeEmptyCompVars();
    cv.dwFlags = 1;
    cv.hic = 0x11223344;
    cv.fccType = kmx::MakeFourcc('v', 'i', 'd', 'c');
    cv.fccHandler = kmx::MakeFourcc('M', 'J', 'P', 'G');
    cv.lpbiOut = 0xDEADBEEF;
    cv.lKey = 15;
    cv.lDataRate = 300;
    cv.lQ = 7500;
    cv.cbState = -1;
    std::array<std::uint8_t, 64> bytes{};
    kmx::StoreRecord(bytes.data(), cv);
    EXPECT_EQ(bytes[0], 64);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "\x44\x33\x22\x11", 4), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 12, "vidc", 4), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 16, "MJPG", 4), 0);
    EXPECT_EQ(kmx::LoadU32(bytes.data() + 24), 0xDEADBEEFu);
    EXPECT_EQ(kmx::LoadI32(bytes.data() + 40), 15);
    EXPECT_EQ(kmx::LoadI32(bytes.data() + 44), 300);
    EXPECT_EQ(kmx::LoadI32(bytes.data() + 48), 7500);
    EXPECT_EQ(kmx::LoadU32(bytes.data() + 60), 0xFFFFFFFFu);

    COMPVARS back{};
    kmx::LoadRecord(bytes.data(), back);
    EXPECT_EQ(std::memcmp(&back, &cv, sizeof cv), 0);

    kmx::ClearRunState(back);
    EXPECT_EQ(back.hic, 0u);
    EXPECT_EQ(back.lpbiOut, 0u);
    EXPECT_EQ(back.fccHandler, cv.fccHandler);
    EXPECT_EQ(back.lQ, 7500);
}

TEST(Records, UncompressedMeansNoHandlerOrDib) {
    COMPVARS cv = kmx::MakeEmptyCompVars();
    EXPECT_TRUE(kmx::IsUncompressed(cv));
    cv.fccHandler = FOURCC_DIB;
    EXPECT_TRUE(kmx::IsUncompressed(cv));
    EXPECT_EQ(cv.fccHandler, kmx::MakeFourcc('D', 'I', 'B', ' '));
    cv.fccHandler = kmx::MakeFourcc('H', 'F', 'Y', 'U');
    EXPECT_FALSE(kmx::IsUncompressed(cv));
}

TEST(Records, IcInfoKeepsUtf16TextsAtTheirOffsets) {
    ICINFO info = kmx::MakeEmptyIcInfo();
    EXPECT_EQ(info.dwSize, 568u);
    EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
    info.szName[0] = u'H';
    info.szDescription[0] = u'\u00e9';
    info.szDescription[1] = u'\u4e2d';
    info.szDriver[127] = u'z';
    std::array<std::uint8_t, 568> bytes{};
    kmx::StoreRecord(bytes.data(), info);
    EXPECT_EQ(std::memcmp(bytes.data(), "\x38\x02\x00\x00vidc", 8), 0);
    EXPECT_EQ(kmx::LoadU16(bytes.data() + 24), u'H');
    EXPECT_EQ(kmx::LoadU16(bytes.data() + 56), 0xe9);
    EXPECT_EQ(kmx::LoadU16(bytes.data() + 58), 0x4e2d);
    EXPECT_EQ(kmx::LoadU16(bytes.data() + 566), u'z');
    ICINFO back{};
    kmx::LoadRecord(bytes.data(), back);
    EXPECT_EQ(std::memcmp(&back, &info, sizeof info), 0);
}

TEST(Records, BitmapHeaderStreamInfoAndWaveFormatRoundTrip) {
    BITMAPINFOHEADER h{40, 720, -576, 1, 24, BI_RGB, 720 * 576 * 3, 0, 0, 0, 0};
    std::array<std::uint8_t, 40> hb{};
    kmx::StoreRecord(hb.data(), h);
    EXPECT_EQ(kmx::LoadI32(hb.data() + 8), -576);
    EXPECT_EQ(kmx::LoadU16(hb.data() + 14), 24);
    BITMAPINFOHEADER hBack{};
    kmx::LoadRecord(hb.data(), hBack);
    EXPECT_EQ(std::memcmp(&hBack, &h, sizeof h), 0);

    AVISTREAMINFOA s{};
    s.fccType = kmx::MakeFourcc('v', 'i', 'd', 's');
    s.wPriority = 3;
    s.wLanguage = 0x0407;
    s.dwScale = 1;
    s.dwRate = 25;
    s.dwLength = 300;
    s.rcFrame = RECT{0, 0, 720, 576};
    std::strcpy(s.szName, "Video #1");
    std::array<std::uint8_t, 140> sb{};
    kmx::StoreRecord(sb.data(), s);
    EXPECT_EQ(kmx::LoadU16(sb.data() + 18), 0x0407);
    EXPECT_EQ(kmx::LoadI32(sb.data() + 60), 720);
    EXPECT_EQ(std::memcmp(sb.data() + 76, "Video #1", 9), 0);
    AVISTREAMINFOA sBack{};
    kmx::LoadRecord(sb.data(), sBack);
    EXPECT_EQ(std::memcmp(&sBack, &s, sizeof s), 0);

    WAVEFORMATEX w{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    std::array<std::uint8_t, 18> wb{};
    kmx::StoreRecord(wb.data(), w);
    EXPECT_EQ(kmx::LoadU32(wb.data() + 4), 44100u);
    EXPECT_EQ(kmx::LoadU16(wb.data() + 12), 4);
    WAVEFORMATEX wBack{};
    kmx::LoadRecord(wb.data(), wBack);
    EXPECT_EQ(std::memcmp(&wBack, &w, sizeof w), 0);
}

TEST(TextFormatting, TimesAndCodes) {
    EXPECT_EQ(FormatTime(75.5), "1:15,500");
    EXPECT_EQ(FormatTime(0.0), "0,000");
    EXPECT_EQ(FormatTime(9.0405), "9,040");
    EXPECT_EQ(FormatTime(3600.25), "1:00:00,250");
    EXPECT_EQ(FormatTime(360061.5), "100:01:01,500");
    EXPECT_EQ(FormatTime(59.9995), "59,999"); // truncated, not rounded
    EXPECT_EQ(FormatTime(60.0), "1:00,000");
    EXPECT_EQ(FormatTime(36307.25), "10:05:07,250");
    EXPECT_EQ(FormatTime(-0.001), "---");
    EXPECT_EQ(FormatTime(std::nan("")), "---");
    EXPECT_EQ(FourccToText(0), "----");
    EXPECT_EQ(FourccToText(kmx::MakeFourcc('M', 'J', 'P', 'G')), "MJPG");
    EXPECT_EQ(FourccToText(FOURCC_DIB), "DIB ");
}

} // namespace

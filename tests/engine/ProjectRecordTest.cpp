// The records with the platform's layout (COMPVARS, ICINFO, BITMAPINFOHEADER,
// AVISTREAMINFOA, WAVEFORMATEX) in one table, the texts of times and codes, and the
// project file record.
#include "engine/ProjectRecord.h"
#include "engine/TextFormatting.h"
#include "media/AviRecords.h"
#include "media/io/ByteOrder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace {

ProjectRecord SampleProject() {
    ProjectRecord p;
    p.inputPath = "/videos/Grüße/base.avi";
    p.outputPath = "/videos/out.avi";
    p.compressorSettings = kmx::MakeEmptyCompVars();
    p.compressorSettings.fccType = ICTYPE_VIDEO;
    p.compressorSettings.fccHandler = kmx::MakeFourcc('M', 'J', 'P', 'G');
    p.compressorSettings.lpbiOut = 0x12345678; // kept as it stands
    p.compressorSettings.lQ = 8500;
    p.compressorName = "Motion JPEG";
    p.checks = {1, 0, 1, 0, 3, 0, 1, 0, 1}; // unmasked values survive
    for (int i = 0; i < kOverlaySlotCount; ++i) {
        ProjectOverlay& o = p.overlays[static_cast<std::size_t>(i)];
        o.path = i == 2 ? "" : "/videos/overlay" + std::to_string(i) + ".avi";
        o.x = 10 * i - 5;
        o.y = 20 * i;
        o.width = 100 + i;
        o.height = 80 + i;
        o.borderWidth = i;
        o.borderColor = {static_cast<std::uint8_t>(i), 128, 255};
        o.crop = 50 - i;
        o.overlayStart = i;
        o.overlayEnd = 100 * i;
        o.baseStart = 7 * i;
        o.noResize = i % 2;
    }
    return p;
}

TEST(ProjectRecord, LayoutMatchesTheFileFormat) {
    const ProjectBytes bytes = EncodeProject(SampleProject());
    const std::uint8_t* b = bytes.data();
    EXPECT_EQ(kmx::LoadU32(b), 6556u);
    EXPECT_EQ(kmx::LoadU32(b + 4), 100u);
    EXPECT_STREQ(reinterpret_cast<const char*>(b + 8), "/videos/Grüße/base.avi");
    EXPECT_STREQ(reinterpret_cast<const char*>(b + 268), "/videos/out.avi");
    EXPECT_EQ(kmx::LoadI32(b + 528), 64);
    EXPECT_EQ(std::memcmp(b + 528 + 16, "MJPG", 4), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(b + 592), "Motion JPEG");
    EXPECT_EQ(kmx::LoadI32(b + 720), 1);                   // preview
    EXPECT_EQ(kmx::LoadI32(b + 736), 3);                   // mirror horizontal, unmasked
    EXPECT_EQ(kmx::LoadI32(b + 752), 1);                   // lower half
    EXPECT_EQ(std::count(b + 756, b + 996, 0), 996 - 756); // reserved bytes
    const std::uint8_t* slot4 = b + 996 + 556 * 4;
    EXPECT_STREQ(reinterpret_cast<const char*>(slot4), "/videos/overlay4.avi");
    EXPECT_EQ(kmx::LoadI32(slot4 + 260), 35);
    EXPECT_EQ(std::vector<int>(slot4 + 280, slot4 + 284), (std::vector<int>{4, 128, 255, 0}));
    EXPECT_EQ(kmx::LoadI32(slot4 + 284), 46);
    EXPECT_EQ(kmx::LoadI32(slot4 + 300), 0);
    EXPECT_EQ(std::count(slot4 + 304, slot4 + 556, 0), 556 - 304);
    EXPECT_EQ(b[996 + 556 * 2], 0); // the empty slot's path
}

TEST(ProjectRecord, ReadChecksLengthSizeAndVersionAndChangesNothingOnFailure) {
    TempDir dir;
    const ProjectBytes good = EncodeProject(SampleProject());
    auto writeBytes = [&](const std::string& name, std::span<const std::uint8_t> bytes) {
        EXPECT_TRUE(WriteBytes(dir.File(name), bytes));
        return dir.File(name);
    };

    ProjectRecord target;
    target.inputPath = "untouched";
    EXPECT_EQ(ReadProjectFile(dir.File("missing.kmx"), target), ProjectFileResult::OpenFailed);
    EXPECT_EQ(ReadProjectFile(writeBytes("short.kmx", std::span(good).first(6555)), target),
              ProjectFileResult::ReadFailed);

    ProjectBytes bad = good;
    kmx::StoreU32(bad.data(), 6555);
    EXPECT_EQ(ReadProjectFile(writeBytes("size.kmx", bad), target), ProjectFileResult::WrongSize);
    bad = good;
    kmx::StoreU32(bad.data() + 4, 101);
    EXPECT_EQ(ReadProjectFile(writeBytes("version.kmx", bad), target),
              ProjectFileResult::WrongVersion);
    EXPECT_EQ(target.inputPath, "untouched");

    // Bytes after the record are ignored.
    std::vector<std::uint8_t> longer(good.begin(), good.end());
    longer.push_back(0x55);
    EXPECT_EQ(ReadProjectFile(writeBytes("longer.kmx", longer), target), ProjectFileResult::Ok);
    EXPECT_EQ(target.outputPath, "/videos/out.avi");
}

TEST(ProjectRecord, TextsNeverOverrunTheirFields) {
    ProjectRecord p;
    p.inputPath = std::string(300, 'a');
    p.compressorName = std::string(126, 'b') + "é"; // the two-byte letter does not fit
    p.overlays[9].path = std::string(500, 'c');
    const ProjectBytes bytes = EncodeProject(p);
    EXPECT_EQ(bytes[8 + 258], 'a');
    EXPECT_EQ(bytes[8 + 259], 0);   // terminator kept
    EXPECT_EQ(bytes[592 + 126], 0); // cut before the letter, not inside it
    EXPECT_EQ(bytes[996 + 556 * 9 + 259], 0);
    EXPECT_EQ(kmx::LoadI32(bytes.data() + 996 + 556 * 9 + 260), 0);

    ProjectRecord back;
    ASSERT_EQ(DecodeProject(bytes, back), ProjectDecodeResult::Ok);
    EXPECT_EQ(back.inputPath, std::string(259, 'a'));
    EXPECT_EQ(back.compressorName, std::string(126, 'b'));

    // A file whose texts fill their fields without terminator is read only up
    // to each field's end.
    ProjectBytes unterminated = bytes;
    std::memset(unterminated.data() + 8, 'x', 260);
    std::memset(unterminated.data() + 592, 'y', 128);
    ASSERT_EQ(DecodeProject(unterminated, back), ProjectDecodeResult::Ok);
    EXPECT_EQ(back.inputPath, std::string(260, 'x'));
    EXPECT_EQ(back.compressorName, std::string(128, 'y'));
    EXPECT_TRUE(back.outputPath.empty());
}

// Also the round trip of every field through a file.
TEST(ProjectRecord, SavingReplacesOnlyWholeFilesHonoursTheUmaskKeepsTheModeAndFollowsLinks) {
    TempDir dir;
    namespace fs = std::filesystem;
    const ProjectRecord project = SampleProject();
    const auto mode = [](const std::string& p) {
        return fs::status(p).permissions() & fs::perms::mask;
    };

    // A new project under umask 077 is private.
    const std::string path = dir.File("keep.kmx");
    const mode_t old = ::umask(077);
    const ProjectFileResult saved = WriteProjectFile(path, project);
    ::umask(old);
    ASSERT_EQ(saved, ProjectFileResult::Ok);
    EXPECT_EQ(fs::file_size(path), 6556u);
    EXPECT_EQ(mode(path), fs::perms::owner_read | fs::perms::owner_write);
    // A project saved again keeps the mode it had.
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(WriteProjectFile(path, project), ProjectFileResult::Ok);
    EXPECT_EQ(mode(path), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    EXPECT_EQ(WriteProjectFile(dir.File("no-such-folder/p.kmx"), project),
              ProjectFileResult::OpenFailed);
    // A folder in the way of the rename makes the write fail after the data
    // were written; the folder and the old project are untouched.
    const std::string blocked = dir.File("blocked.kmx");
    fs::create_directory(blocked);
    EXPECT_EQ(WriteProjectFile(blocked, project), ProjectFileResult::WriteFailed);
    EXPECT_TRUE(fs::is_directory(blocked));
    ProjectRecord loaded;
    ASSERT_EQ(ReadProjectFile(path, loaded), ProjectFileResult::Ok);
    // Every field came back: the record it gives is the same byte for byte.
    EXPECT_TRUE(EncodeProject(loaded) == EncodeProject(project));
    // keep.kmx and the folder: no temporary files left
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);

    // Through a link, the link stays and its target gets the new project.
    fs::create_directory(dir.File("real"));
    const std::string target = dir.File("real/p.kmx");
    ASSERT_EQ(WriteProjectFile(target, project), ProjectFileResult::Ok);
    fs::create_symlink("real/p.kmx", dir.File("link.kmx"));
    ProjectRecord changed = project;
    changed.inputPath = "changed.avi";
    ASSERT_EQ(WriteProjectFile(dir.File("link.kmx"), changed), ProjectFileResult::Ok);
    EXPECT_TRUE(fs::is_symlink(dir.File("link.kmx")));
    ASSERT_EQ(ReadProjectFile(target, loaded), ProjectFileResult::Ok);
    EXPECT_EQ(loaded.inputPath, "changed.avi");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("real")), fs::directory_iterator()), 1);
}

// (Slot numbers, paths and settings through a file: the command line's project test.)
TEST(ProjectRecord, JobConversionMasksChecks) {
    ConvertJob job = MakeInitialJob();
    ApplyProjectToJob(SampleProject(), job);
    EXPECT_EQ(job.mirrorHorizontal, 1); // 3 masked to 1
    EXPECT_EQ(job.reverse, 0);
    EXPECT_EQ(job.overlays[4].x, 35);
    EXPECT_EQ(job.overlays[4].borderColor[2], 255);
    EXPECT_TRUE(job.overlays[2].path.empty());

    const ProjectRecord back = ProjectFromJob(job, "Motion JPEG");
    EXPECT_EQ(back.checks[kCheckMirrorHorizontal], 1);
    EXPECT_EQ(back.compressorName, "Motion JPEG");
}

// The record as StoreRecord writes it, checked to come back whole through LoadRecord.
template <std::size_t N, typename Record> std::array<std::uint8_t, N> Stored(const Record& r) {
    std::array<std::uint8_t, N> bytes{};
    kmx::StoreRecord(bytes.data(), r);
    Record back{};
    kmx::LoadRecord(bytes.data(), back);
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0) << N << "-byte record";
    return bytes;
}

// Little-endian members at the platform's offsets; a compressor without
// handler, or "DIB ", is no compressor; clearing the run state keeps the choice.
TEST(Records, MembersAreStoredAtTheirOffsetsAndCompVarsKeepTheChoice) {
    COMPVARS cv = kmx::MakeEmptyCompVars();
    EXPECT_TRUE(kmx::IsUncompressed(cv));
    cv.fccHandler = FOURCC_DIB;
    EXPECT_TRUE(kmx::IsUncompressed(cv));
    cv.hic = 0x11223344;
    cv.fccType = ICTYPE_VIDEO;
    cv.fccHandler = kmx::MakeFourcc('M', 'J', 'P', 'G');
    EXPECT_FALSE(kmx::IsUncompressed(cv));
    cv.lpbiOut = 0xDEADBEEF;
    cv.lQ = 7500;
    cv.cbState = -1;
    ICINFO info = kmx::MakeEmptyIcInfo();
    info.szDescription[1] = u'\u4e2d';
    info.szDriver[127] = u'z';
    AVISTREAMINFOA s{};
    s.wLanguage = 0x0407;
    s.rcFrame = RECT{0, 0, 720, 576};
    std::strcpy(s.szName, "Video #1");
    const auto c = Stored<64>(cv);
    const auto i = Stored<568>(info);
    const auto a = Stored<140>(s);
    const auto h =
        Stored<40>(BITMAPINFOHEADER{40, 720, -576, 1, 24, BI_RGB, 720 * 576 * 3, 0, 0, 0, 0});
    const auto w = Stored<18>(WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0});
    EXPECT_EQ(kmx::LoadU32(c.data()), 64u);
    EXPECT_EQ(kmx::LoadU32(c.data() + 8), 0x11223344u);
    EXPECT_EQ(kmx::LoadU32(c.data() + 12), ICTYPE_VIDEO);
    EXPECT_EQ(kmx::LoadU32(c.data() + 16), cv.fccHandler);
    EXPECT_EQ(kmx::LoadU32(c.data() + 24), 0xDEADBEEFu);
    EXPECT_EQ(kmx::LoadU32(c.data() + 48), 7500u);
    EXPECT_EQ(kmx::LoadU32(c.data() + 60), 0xFFFFFFFFu);
    EXPECT_EQ(kmx::LoadU32(i.data()), 568u);
    EXPECT_EQ(kmx::LoadU32(i.data() + 4), ICTYPE_VIDEO);
    EXPECT_EQ(kmx::LoadU16(i.data() + 58), 0x4e2du);
    EXPECT_EQ(kmx::LoadU16(i.data() + 566), u'z');
    EXPECT_EQ(kmx::LoadU16(a.data() + 18), 0x0407u);
    EXPECT_EQ(kmx::LoadU32(a.data() + 60), 720u);
    EXPECT_EQ(kmx::LoadU32(a.data() + 76), kmx::MakeFourcc('V', 'i', 'd', 'e'));
    EXPECT_EQ(kmx::LoadU32(h.data() + 8), std::uint32_t(-576));
    EXPECT_EQ(kmx::LoadU16(h.data() + 14), 24u);
    EXPECT_EQ(kmx::LoadU32(w.data() + 4), 44100u);
    EXPECT_EQ(kmx::LoadU16(w.data() + 12), 4u);

    kmx::ClearRunState(cv);
    EXPECT_EQ(cv.hic, 0u);
    EXPECT_EQ(cv.lpbiOut, 0u);
    EXPECT_EQ(cv.fccHandler, kmx::MakeFourcc('M', 'J', 'P', 'G'));
    EXPECT_EQ(cv.lQ, 7500);
}

TEST(TextFormatting, TimesAndCodes) {
    EXPECT_EQ(FormatTime(0.0), "0,000");
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

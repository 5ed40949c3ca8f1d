#include "engine/ProjectRecord.h"
#include "media/io/ByteOrder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

void ExpectSame(const ProjectRecord& a, const ProjectRecord& b) {
    EXPECT_EQ(a.inputPath, b.inputPath);
    EXPECT_EQ(a.outputPath, b.outputPath);
    EXPECT_EQ(std::memcmp(&a.compressorSettings, &b.compressorSettings, sizeof(COMPVARS)), 0);
    EXPECT_EQ(a.compressorName, b.compressorName);
    EXPECT_EQ(a.checks, b.checks);
    for (std::size_t i = 0; i < a.overlays.size(); ++i) {
        const ProjectOverlay& x = a.overlays[i];
        const ProjectOverlay& y = b.overlays[i];
        EXPECT_EQ(x.path, y.path) << i;
        EXPECT_EQ(std::tie(x.x, x.y, x.width, x.height, x.borderWidth, x.crop, x.overlayStart,
                           x.overlayEnd, x.baseStart, x.noResize),
                  std::tie(y.x, y.y, y.width, y.height, y.borderWidth, y.crop, y.overlayStart,
                           y.overlayEnd, y.baseStart, y.noResize))
            << i;
        EXPECT_EQ(x.borderColor, y.borderColor) << i;
    }
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
    EXPECT_EQ(kmx::LoadI32(b + 720), 1); // preview
    EXPECT_EQ(kmx::LoadI32(b + 736), 3); // mirror horizontal, unmasked
    EXPECT_EQ(kmx::LoadI32(b + 752), 1); // lower half
    for (std::size_t i = 756; i < 996; ++i) {
        ASSERT_EQ(b[i], 0) << "reserved byte " << i;
    }
    const std::uint8_t* slot4 = b + 996 + 556 * 4;
    EXPECT_STREQ(reinterpret_cast<const char*>(slot4), "/videos/overlay4.avi");
    EXPECT_EQ(kmx::LoadI32(slot4 + 260), 35);
    EXPECT_EQ(slot4[280], 4);
    EXPECT_EQ(slot4[281], 128);
    EXPECT_EQ(slot4[282], 255);
    EXPECT_EQ(slot4[283], 0);
    EXPECT_EQ(kmx::LoadI32(slot4 + 284), 46);
    EXPECT_EQ(kmx::LoadI32(slot4 + 300), 0);
    for (std::size_t i = 304; i < 556; ++i) {
        ASSERT_EQ(slot4[i], 0);
    }
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
    EXPECT_EQ(bytes[268], 0);       // the output path field is untouched
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
TEST(ProjectRecord, FailedWriteKeepsThePreviousProject) {
    TempDir dir;
    const std::string path = dir.File("keep.kmx");
    ProjectRecord first = SampleProject();
    ASSERT_EQ(WriteProjectFile(path, first), ProjectFileResult::Ok);
    EXPECT_EQ(std::filesystem::file_size(path), 6556u);

    EXPECT_EQ(WriteProjectFile(dir.File("no-such-folder/p.kmx"), first),
              ProjectFileResult::OpenFailed);

    // A folder in the way of the rename makes the write fail after the data
    // were written; the folder and the old project are untouched.
    const std::string blocked = dir.File("blocked.kmx");
    std::filesystem::create_directory(blocked);
    EXPECT_EQ(WriteProjectFile(blocked, first), ProjectFileResult::WriteFailed);
    EXPECT_TRUE(std::filesystem::is_directory(blocked));

    ProjectRecord loaded;
    ASSERT_EQ(ReadProjectFile(path, loaded), ProjectFileResult::Ok);
    ExpectSame(loaded, first);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              2); // keep.kmx and the folder: no temporary files left
}

TEST(ProjectRecord, SavingHonoursTheUmaskKeepsTheModeAndWritesThroughLinks) {
    TempDir dir;
    const ProjectRecord project = SampleProject();
    namespace fs = std::filesystem;
    const auto mode = [](const std::string& p) {
        return fs::status(p).permissions() & fs::perms::mask;
    };

    // A new project under umask 077 is private.
    const mode_t old = ::umask(077);
    const ProjectFileResult saved = WriteProjectFile(dir.File("private.kmx"), project);
    ::umask(old);
    ASSERT_EQ(saved, ProjectFileResult::Ok);
    EXPECT_EQ(mode(dir.File("private.kmx")), fs::perms::owner_read | fs::perms::owner_write);

    // A project saved again keeps the mode it had.
    const std::string shared = dir.File("shared.kmx");
    ASSERT_EQ(WriteProjectFile(shared, project), ProjectFileResult::Ok);
    fs::permissions(shared, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(WriteProjectFile(shared, project), ProjectFileResult::Ok);
    EXPECT_EQ(mode(shared), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Through a link, the link stays and its target gets the new project.
    fs::create_directory(dir.File("real"));
    const std::string target = dir.File("real/p.kmx");
    ASSERT_EQ(WriteProjectFile(target, SampleProject()), ProjectFileResult::Ok);
    fs::create_symlink("real/p.kmx", dir.File("link.kmx"));
    ProjectRecord changed = project;
    changed.inputPath = "changed.avi";
    ASSERT_EQ(WriteProjectFile(dir.File("link.kmx"), changed), ProjectFileResult::Ok);
    EXPECT_TRUE(fs::is_symlink(dir.File("link.kmx")));
    ProjectRecord loaded;
    ASSERT_EQ(ReadProjectFile(target, loaded), ProjectFileResult::Ok);
    EXPECT_EQ(loaded.inputPath, "changed.avi");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("real")), fs::directory_iterator()), 1);
}

TEST(ProjectRecord, JobConversionMasksChecksAndKeepsSlotNumbers) {
    ConvertJob job = MakeInitialJob();
    ApplyProjectToJob(SampleProject(), job);
    EXPECT_EQ(job.mirrorHorizontal, 1); // 3 masked to 1
    EXPECT_EQ(job.interlaced, 1);
    EXPECT_EQ(job.reverse, 0);
    EXPECT_EQ(job.overlays[4].number, 5);
    EXPECT_EQ(job.overlays[4].x, 35);
    EXPECT_EQ(job.overlays[4].borderColor[2], 255);
    EXPECT_TRUE(job.overlays[2].path.empty());
    EXPECT_EQ(job.compressorSettings.lQ, 8500);

    const ProjectRecord back = ProjectFromJob(job, "Motion JPEG");
    EXPECT_EQ(back.overlays[7].path, "/videos/overlay7.avi");
    EXPECT_EQ(back.checks[kCheckMirrorHorizontal], 1);
    EXPECT_EQ(back.compressorName, "Motion JPEG");
}

} // namespace

#include "cli/ConvertCommand.h"
#include "cli/OverlayOption.h"
#include "engine/ProjectRecord.h"
#include "media/io/ByteOrder.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

ConvertJob Build(const std::vector<std::string>& args, std::string* error = nullptr) {
    ConvertJob job;
    bool help = false;
    std::string reason;
    const bool ok = BuildJobFromArguments(args, job, &help, &reason);
    if (error != nullptr) {
        *error = ok ? std::string() : reason;
    }
    return job;
}

TEST(CliOptions, OverlayTextFillsEveryField) {
    ConvertJob job = MakeInitialJob();
    std::string error;
    ASSERT_TRUE(ParseOverlayOption(
        "3:/v/a:b.avi:10,20,300,200,border=4,color=FF8000,crop=12,start=5,end=50,"
        "base=7,noresize",
        job, &error))
        << error;
    const OverlaySettings& s = job.overlays[2];
    EXPECT_EQ(s.number, 3);
    EXPECT_EQ(s.path, "/v/a:b.avi"); // the file may hold a colon
    EXPECT_EQ(std::tie(s.x, s.y, s.width, s.height), std::make_tuple(10, 20, 300, 200));
    EXPECT_EQ(s.borderWidth, 4);
    EXPECT_EQ(s.borderColor,
              (std::array<std::uint8_t, 4>{0x00, 0x80, 0xFF, 0})); // blue, green, red
    EXPECT_EQ(s.crop, 12);
    EXPECT_EQ(std::tie(s.overlayStart, s.overlayEnd, s.baseStart), std::make_tuple(5, 50, 7));
    EXPECT_EQ(s.noResize, 1);

    ASSERT_TRUE(ParseOverlayOption("10:o.avi:0,0,10,10", job, &error));
    EXPECT_EQ(job.overlays[9].overlayEnd, INT_MAX); // to the overlay's last frame
    EXPECT_EQ(job.overlays[9].number, 10);
}

TEST(CliOptions, BadOverlayTextsAreRefusedWithAReason) {
    ConvertJob job = MakeInitialJob();
    for (const char* bad :
         {"0:o.avi:0,0,10,10", "11:o.avi:0,0,10,10", "1:o.avi", "1::0,0,10,10", "1:o.avi:0,0,10",
          "1:o.avi:0,0,x,10", "1:o.avi:-1,0,10,10", "1:o.avi:0,0,0,10",
          "1:o.avi:0,0,10,10,start=9,end=3", "1:o.avi:0,0,10,10,color=red",
          "1:o.avi:0,0,10,10,size=3", "1:o.avi:0,0,10,10,border=-2"}) {
        std::string error;
        EXPECT_FALSE(ParseOverlayOption(bad, job, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_TRUE(job.overlays[0].path.empty()); // nothing half-filled
}

TEST(CliOptions, FlagsBuildTheJob) {
    std::string error;
    ConvertJob job = Build({"-i", "in.avi", "-o", "out.avi", "--reverse", "--interlaced",
                            "--mirror-horizontal=lower", "--mirror-vertical", "--codec", "MJPG",
                            "--quality", "85", "--keyframes", "10", "--datarate", "500"},
                           &error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(job.inputPath, "in.avi");
    EXPECT_EQ(job.outputPath, "out.avi");
    EXPECT_EQ(job.reverse + job.interlaced + job.mirrorHorizontal + job.mirrorVertical, 4);
    EXPECT_EQ(job.mirrorLowerHalf, 1);
    EXPECT_EQ(job.mirrorUpperHalf + job.mirrorLeftHalf + job.mirrorRightHalf, 0);
    EXPECT_EQ(job.compressorSettings.fccHandler, kmx::MakeFourcc('M', 'J', 'P', 'G'));
    EXPECT_EQ(job.compressorSettings.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(job.compressorSettings.lQ, 8500);
    EXPECT_EQ(job.compressorSettings.lKey, 10);
    EXPECT_EQ(job.compressorSettings.lDataRate, 500);
    EXPECT_EQ(job.preview, 0);

    job = Build({"-i", "a.avi", "-o", "b.avi", "--codec", "cvid"}, &error);
    EXPECT_EQ(job.compressorSettings.fccHandler, kmx::MakeFourcc('c', 'v', 'i', 'd'));
    EXPECT_EQ(job.compressorSettings.lQ, ICQUALITY_DEFAULT);

    for (const char* bad :
         {"-o b.avi", "-i a.avi", "-i a.avi -o b.avi --quality 101",
          "-i a.avi -o b.avi --codec TOOLONG", "-i a.avi -o b.avi --bogus", "-i a.avi -o",
          "-i a.avi -o b.avi --jobs 2", "-i a.avi -o b.avi --format gif",
          "-i a.avi -o b.avi --mirror-horizontal=middle", "-i a.avi -o b.avi --progress=xml"}) {
        Build(Words(bad), &error);
        EXPECT_FALSE(error.empty()) << bad;
    }
    Build(Words("-i a.avi -o b.avi --cache-mb lots"), &error);
    EXPECT_NE(error.find("--cache-mb"), std::string::npos) << error;
}

TEST(CliOptions, ProjectGivesTheJobGivenOptionsOverrideItContradictionsAreRefused) {
    TempDir dir;
    ConvertJob saved = MakeInitialJob();
    saved.inputPath = "/videos/in.avi";
    saved.outputPath = "/videos/out.avi";
    saved.interlaced = 1;
    saved.mirrorHorizontal = saved.mirrorUpperHalf = 1;
    saved.compressorSettings.fccType = ICTYPE_VIDEO;
    saved.compressorSettings.fccHandler = kmx::MakeFourcc('M', 'J', 'P', 'G');
    saved.compressorSettings.lQ = 5000;
    saved.overlays[1].path = "/videos/logo.avi";
    saved.overlays[1].noResize = 1;
    saved.overlays[2].path = "/videos/kept.avi";
    const std::string project = dir.File("p.kmx");
    ASSERT_EQ(WriteProjectFile(project, ProjectFromJob(saved, "MJPEG")), ProjectFileResult::Ok);

    std::string error;
    ConvertJob job = Build({project}, &error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(job.inputPath, "/videos/in.avi");
    EXPECT_EQ(job.outputPath, "/videos/out.avi");
    EXPECT_EQ(std::tie(job.interlaced, job.mirrorHorizontal, job.mirrorUpperHalf),
              std::make_tuple(1, 1, 1));
    EXPECT_EQ(job.overlays[1].path, "/videos/logo.avi");
    EXPECT_EQ(job.overlays[1].number, 2);
    Build({dir.File("missing.kmx")}, &error);
    EXPECT_NE(error.find("ERROR File Open"), std::string::npos);

    // Options before the project count as much as those after it.
    job =
        Build({"--reverse", project, "-i", "/clips/a.mp4", "--no-interlaced",
               "--mirror-horizontal=lower", "--overlay", "2:/o.avi:1,2,30,40", "--keyframes", "7"},
              &error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(job.reverse, 1);
    EXPECT_EQ(job.inputPath, "/clips/a.mp4");
    EXPECT_EQ(job.outputPath, "/videos/out.avi");
    EXPECT_EQ(job.interlaced, 0);
    EXPECT_EQ(std::tie(job.mirrorHorizontal, job.mirrorUpperHalf, job.mirrorLowerHalf),
              std::make_tuple(1, 0, 1));
    EXPECT_EQ(job.overlays[1].path, "/o.avi");
    EXPECT_EQ(std::tie(job.overlays[1].width, job.overlays[1].noResize), std::make_tuple(30, 0));
    EXPECT_EQ(job.overlays[2].path, "/videos/kept.avi");
    EXPECT_EQ(job.compressorSettings.fccHandler, kmx::MakeFourcc('M', 'J', 'P', 'G'));
    EXPECT_EQ(job.compressorSettings.lQ, 5000); // no --quality: the project's
    EXPECT_EQ(job.compressorSettings.lKey, 7);

    for (const std::string bad :
         {"--reverse --no-reverse", "--mirror-vertical=left --mirror-vertical=right",
          "-o /a.avi --output /b.avi", "--quiet --quiet",
          "--overlay 4:/a.avi:0,0,8,8 --overlay 4:/b.avi:0,0,8,8", "--preview"}) {
        std::vector<std::string> args = Words(bad);
        args.insert(args.begin(), project);
        Build(args, &error);
        EXPECT_FALSE(error.empty()) << bad;
    }
    Build({project, project}, &error);
    EXPECT_NE(error.find("one project file at most"), std::string::npos) << error;
    Build({project, "--mirror-vertical=left", "--no-mirror-vertical"}, &error);
    EXPECT_EQ(error, "--mirror-vertical=left and --no-mirror-vertical cannot be combined");
}

} // namespace

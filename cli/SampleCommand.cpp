#include "cli/SampleCommand.h"
#include "cli/CommandTable.h"
#include "cli/TerminalText.h"

#include "cli/ConversionRunner.h"
#include "cli/InfoCommand.h"
#include "cli/OverlayOption.h"
#include "pattern/TestPattern.h"

#include <cstdio>
#include <filesystem>

int RunSampleCommand(const SampleValues& values) {
    kmx::SampleAviOptions options;
    ParseSize(values.size, options.width, options.height); // checked by the table
    options.frames = values.frames;
    options.bitsPerPixel = values.bits;
    options.rate = static_cast<std::uint32_t>(values.rate);
    options.audio = values.audio;
    const std::string& path = values.path;
    std::string error;
    if (!kmx::WriteSampleAvi(path, options, &error)) {
        PrintLine(stderr, "kadrimix-cli sample: %s", error.c_str());
        return 1;
    }
    PrintLine(stdout, "Wrote %s: %d x %d x %d bits, %d frames%s", path.c_str(), options.width,
              options.height, options.bitsPerPixel, options.frames,
              options.audio ? ", with audio" : "");
    return 0;
}

namespace {

struct DemoFiles {
    std::string base;
    std::string first;
    std::string second;
    std::string output;
};

// The base video with audio and the two overlays: 16 and 32 bits, the second
// one shorter, each with its own frame numbers.
bool WriteDemoFiles(const DemoFiles& files) {
    kmx::SampleAviOptions o;
    o.width = 320;
    o.height = 240;
    o.frames = 75;
    o.audio = true;
    kmx::SampleAviOptions o1 = o;
    o1.audio = false;
    o1.bitsPerPixel = 16;
    o1.patternOffset = 1000;
    kmx::SampleAviOptions o2 = o1;
    o2.bitsPerPixel = 32;
    o2.frames = 40;
    o2.patternOffset = 2000;
    std::string error;
    if (!kmx::WriteSampleAvi(files.base, o, &error) ||
        !kmx::WriteSampleAvi(files.first, o1, &error) ||
        !kmx::WriteSampleAvi(files.second, o2, &error)) {
        PrintLine(stderr, "kadrimix-cli demo: %s", error.c_str());
        return false;
    }
    PrintLine(stdout, "Sample files: %s, %s, %s", files.base.c_str(), files.first.c_str(),
              files.second.c_str());
    return true;
}

// Backwards, mirrored left to right, with both overlays framed.
bool BuildDemoJob(const DemoFiles& files, ConvertJob& job) {
    job = MakeInitialJob();
    job.inputPath = files.base;
    job.outputPath = files.output;
    job.reverse = 1;
    job.mirrorVertical = 1;
    std::string reason;
    // Overlay 1 on top in the upper left corner with a red border; overlay 2
    // from output frame 10 on, lower right, with a yellow border.
    if (!ParseOverlayOption("1:" + files.first + ":16,16,120,90,border=3,color=FF0000", job,
                            &reason) ||
        !ParseOverlayOption("2:" + files.second +
                                ":176,130,128,96,border=2,color=FFD700,base=10,end=39",
                            job, &reason)) {
        PrintLine(stderr, "kadrimix-cli demo: %s", reason.c_str());
        return false;
    }
    return true;
}

} // namespace

int RunDemoCommand(const std::string& folder) {
    const std::filesystem::path dir(folder);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        PrintLine(stderr, "kadrimix-cli demo: cannot create %s: %s", dir.string().c_str(),
                  ec.message().c_str());
        return 1;
    }
    const DemoFiles files{(dir / "base.avi").string(), (dir / "overlay1.avi").string(),
                          (dir / "overlay2.avi").string(), (dir / "output.avi").string()};
    ConvertJob job;
    if (!WriteDemoFiles(files) || !BuildDemoJob(files, job)) {
        return 1;
    }
    std::printf("Converting: reverse, mirror vertical, two overlays with borders\n");
    const int status = RunConversion(job);
    if (status != 0) {
        return status;
    }
    std::printf("\nOutput:\n");
    return PrintFileInfo(files.output) ? 0 : 1;
}

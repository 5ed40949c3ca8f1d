#include "cli/SampleCommand.h"
#include "cli/TerminalText.h"

#include "cli/ConversionRunner.h"
#include "cli/InfoCommand.h"
#include "cli/OverlayOption.h"
#include "pattern/TestPattern.h"

#include <cstdio>
#include <filesystem>

namespace {

const char* const kSampleUsage =
    "Usage: kadrimix-cli sample OUT.avi [--size WxH] [--frames N] [--bits B] [--rate FPS] "
    "[--audio]\n"
    "Writes an uncompressed test-pattern video (default 320x240, 75 frames, 24 bits,\n"
    "25 frames/sec.) whose frames show their own numbers; --audio adds 16-bit stereo\n"
    "PCM at 44100 Hz.\n";

bool ParseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    return x != std::string::npos && ParseInt(text.substr(0, x), width) &&
           ParseInt(text.substr(x + 1), height);
}

} // namespace

int RunSampleCommand(const std::vector<std::string>& args) {
    kmx::SampleAviOptions options;
    options.frames = 75;
    std::string path;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int rate = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(kSampleUsage, stdout);
            return 0;
        } else if (a == "--audio") {
            options.audio = true;
        } else if (a == "--size" && hasValue &&
                   ParseSize(args[i + 1], options.width, options.height)) {
            ++i;
        } else if (a == "--frames" && hasValue && ParseInt(args[i + 1], options.frames) &&
                   options.frames >= 0) {
            ++i;
        } else if (a == "--bits" && hasValue && ParseInt(args[i + 1], options.bitsPerPixel)) {
            ++i;
        } else if (a == "--rate" && hasValue && ParseInt(args[i + 1], rate) && rate > 0) {
            options.rate = static_cast<std::uint32_t>(rate);
            ++i;
        } else if (!a.empty() && a[0] != '-' && path.empty()) {
            path = a;
        } else {
            PrintLine(stderr, "kadrimix-cli sample: cannot use '%s'", a.c_str());
            std::fputc('\n', stderr);
            std::fputs(kSampleUsage, stderr);
            return 2;
        }
    }
    if (path.empty()) {
        std::fputs(kSampleUsage, stderr);
        return 2;
    }
    if (options.width < 1 || options.height < 1 || options.width > 8192 || options.height > 8192 ||
        (options.bitsPerPixel != 16 && options.bitsPerPixel != 24 && options.bitsPerPixel != 32)) {
        std::fprintf(stderr, "kadrimix-cli sample: sizes 1..8192 and 16, 24 or 32 bits only\n");
        return 2;
    }
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

int RunDemoCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::printf("Usage: kadrimix-cli demo [DIR]\n"
                    "Writes a sample base video with audio and two sample overlays into DIR\n"
                    "(default: kadrimix-demo), converts them backwards, mirrored left to right,\n"
                    "with both overlays framed by a border, and shows what the output holds.\n");
        return 0;
    }
    const std::filesystem::path dir =
        args.empty() ? std::filesystem::path("kadrimix-demo") : std::filesystem::path(args[0]);
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

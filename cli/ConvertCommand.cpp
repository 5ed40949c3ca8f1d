#include "cli/ConvertCommand.h"

#include "cli/ConversionRunner.h"
#include "cli/OverlayOption.h"
#include "codec/Compressor.h"
#include "engine/ProjectRecord.h"
#include "media/ByteOrder.h"

#include <cstdio>

namespace {

const char* const kUsage =
    "Usage: kadrimix-cli convert PROJECT.kmx [-o OUT.avi]\n"
    "       kadrimix-cli convert -i IN.avi -o OUT.avi [options]\n"
    "\n"
    "Options:\n"
    "  --reverse                         write the video (and its audio) backwards\n"
    "  --interlaced                      the video is interlaced (fields kept apart)\n"
    "  --mirror-horizontal[=upper|lower] turn upside down, or mirror the upper/lower\n"
    "                                    half onto the other\n"
    "  --mirror-vertical[=left|right]    swap left and right, or mirror the left/right\n"
    "                                    half onto the other\n"
    "  --codec FOURCC                    compressor (see 'kadrimix-cli codecs'); default:\n"
    "                                    no compression\n"
    "  --quality N                       quality 0..100 (lossy compressors)\n"
    "  --keyframes N                     a key frame at least every N frames\n"
    "  --datarate KB                     data rate in kilobytes per second\n"
    "  --overlay SLOT:FILE:X,Y,W,H[,options]\n"
    "                                    lay FILE over the video in slot 1..10 (1 is on\n"
    "                                    top) into the rectangle X,Y,W,H; options:\n"
    "                                    border=WIDTH, color=RRGGBB, crop=N, start=N,\n"
    "                                    end=N, base=N (frames from 0), noresize\n"
    "  --quiet                           no progress line\n";

bool Fail(std::string* error, const std::string& reason) {
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

const char* ProjectError(ProjectFileResult result) {
    switch (result) {
    case ProjectFileResult::OpenFailed:
        return "ERROR File Open: Project could not be read";
    case ProjectFileResult::ReadFailed:
        return "ERROR File Read: Project could not be read";
    case ProjectFileResult::WrongSize:
        return "ERROR File Read: Project file corrupt";
    case ProjectFileResult::WrongVersion:
        return "ERROR File Read: Project file wrong version";
    default:
        return "ERROR: Project could not be read";
    }
}

} // namespace

bool BuildJobFromArguments(const std::vector<std::string>& args, ConvertJob& job, bool* help,
                           std::string* error) {
    job = MakeInitialJob();
    std::string project;
    bool quality = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                return Fail(error, "option " + a + " needs a value");
            }
            out = args[++i];
            return true;
        };
        auto number = [&](int& out, int low, int high) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!ParseInt(text, out) || out < low || out > high) {
                return Fail(error, "option " + a + " needs a number from " + std::to_string(low) +
                                       " to " + std::to_string(high));
            }
            return true;
        };
        int n = 0;
        std::string text;
        if (a == "--help" || a == "-h") {
            *help = true;
            return true;
        } else if (a == "-i" || a == "--input") {
            if (!value(job.inputPath)) {
                return false;
            }
        } else if (a == "-o" || a == "--output") {
            if (!value(job.outputPath)) {
                return false;
            }
        } else if (a == "--reverse") {
            job.reverse = 1;
        } else if (a == "--interlaced") {
            job.interlaced = 1;
        } else if (a == "--mirror-horizontal" || a == "--mirror-horizontal=upper" ||
                   a == "--mirror-horizontal=lower") {
            job.mirrorHorizontal = 1;
            job.mirrorUpperHalf = a.ends_with("=upper") ? 1 : 0;
            job.mirrorLowerHalf = a.ends_with("=lower") ? 1 : 0;
        } else if (a == "--mirror-vertical" || a == "--mirror-vertical=left" ||
                   a == "--mirror-vertical=right") {
            job.mirrorVertical = 1;
            job.mirrorLeftHalf = a.ends_with("=left") ? 1 : 0;
            job.mirrorRightHalf = a.ends_with("=right") ? 1 : 0;
        } else if (a == "--codec") {
            if (!value(text)) {
                return false;
            }
            if (text.size() > 4 || text.empty()) {
                return Fail(error, "a compressor is named by its four-character code, e.g. MJPG");
            }
            text.resize(4, ' ');
            job.compressorSettings.fccType = ICTYPE_VIDEO;
            job.compressorSettings.fccHandler = kmx::MakeFourcc(text[0], text[1], text[2], text[3]);
        } else if (a == "--quality") {
            if (!number(n, 0, 100)) {
                return false;
            }
            job.compressorSettings.lQ = n * 100;
            quality = true;
        } else if (a == "--keyframes") {
            if (!number(n, 0, 1000000)) {
                return false;
            }
            job.compressorSettings.lKey = n;
        } else if (a == "--datarate") {
            if (!number(n, 0, 2000000)) {
                return false;
            }
            job.compressorSettings.lDataRate = n;
        } else if (a == "--overlay") {
            if (!value(text)) {
                return false;
            }
            std::string reason;
            if (!ParseOverlayOption(text, job, &reason)) {
                return Fail(error, "--overlay " + text + ": " + reason);
            }
        } else if (a == "--preview" || a == "--quiet") {
            // Handled by the caller.
        } else if (!a.empty() && a[0] != '-' && project.empty()) {
            project = a;
        } else {
            return Fail(error, "unknown option '" + a + "'");
        }
    }
    if (!quality) {
        job.compressorSettings.lQ = ICQUALITY_DEFAULT;
    }
    if (!project.empty()) {
        const std::string outputOverride = job.outputPath;
        ProjectRecord record;
        const ProjectFileResult result = ReadProjectFile(project, record);
        if (result != ProjectFileResult::Ok) {
            return Fail(error, std::string(ProjectError(result)) + " (" + project + ")");
        }
        ApplyProjectToJob(record, job);
        if (!outputOverride.empty()) {
            job.outputPath = outputOverride;
        }
    }
    if (job.inputPath.empty()) {
        return Fail(error, "no input file (-i IN.avi or a project file)");
    }
    if (job.outputPath.empty()) {
        return Fail(error, "no output file (-o OUT.avi)");
    }
    return true;
}

int RunConvertCommand(const std::vector<std::string>& args) {
    ConvertJob job;
    bool help = false;
    std::string error;
    if (!BuildJobFromArguments(args, job, &help, &error)) {
        std::fprintf(stderr, "kadrimix-cli convert: %s\n\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    bool quiet = false;
    for (const std::string& a : args) {
        quiet = quiet || a == "--quiet";
    }
    return RunConversion(job, !quiet);
}

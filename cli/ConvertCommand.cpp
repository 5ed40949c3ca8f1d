#include "cli/ConvertCommand.h"

#include "cli/ConversionRunner.h"
#include "cli/OverlayOption.h"
#include "codec/Compressor.h"
#include "engine/ProjectRecord.h"
#include "media/ByteOrder.h"
#include "media/ReverseFrameCache.h"

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
    "  --cache-mb N                      memory in MiB for frames read backwards, per\n"
    "                                    input (default 256)\n"
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

// The arguments read one by one; an option's value is the argument after it.
struct ArgumentCursor {
    const std::vector<std::string>& args;
    std::string* error;
    std::size_t index = 0;

    // The value of option, taken from the next argument.
    bool Value(const std::string& option, std::string& out) {
        if (index + 1 >= args.size()) {
            return Fail(error, "option " + option + " needs a value");
        }
        out = args[++index];
        return true;
    }
    bool Number(const std::string& option, int& out, int low, int high) {
        std::string text;
        if (!Value(option, text)) {
            return false;
        }
        if (!ParseInt(text, out) || out < low || out > high) {
            return Fail(error, "option " + option + " needs a number from " + std::to_string(low) +
                                   " to " + std::to_string(high));
        }
        return true;
    }
};

enum class Parsed { kNotThisOption, kOk, kFailed };

Parsed Result(bool ok) {
    return ok ? Parsed::kOk : Parsed::kFailed;
}

// The files, the direction and the mirrors.
Parsed ParseFileAndFrameOption(const std::string& a, ArgumentCursor& c, ConvertJob& job) {
    if (a == "-i" || a == "--input") {
        return Result(c.Value(a, job.inputPath));
    }
    if (a == "-o" || a == "--output") {
        return Result(c.Value(a, job.outputPath));
    }
    if (a == "--reverse") {
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
    } else {
        return Parsed::kNotThisOption;
    }
    return Parsed::kOk;
}

// The compressor and its settings; quality tells whether --quality was given.
Parsed ParseCompressorOption(const std::string& a, ArgumentCursor& c, COMPVARS& settings,
                             bool& quality) {
    int n = 0;
    if (a == "--codec") {
        std::string text;
        if (!c.Value(a, text)) {
            return Parsed::kFailed;
        }
        if (text.size() > 4 || text.empty()) {
            Fail(c.error, "a compressor is named by its four-character code, e.g. MJPG");
            return Parsed::kFailed;
        }
        text.resize(4, ' ');
        settings.fccType = ICTYPE_VIDEO;
        settings.fccHandler = kmx::MakeFourcc(text[0], text[1], text[2], text[3]);
    } else if (a == "--quality") {
        if (!c.Number(a, n, 0, 100)) {
            return Parsed::kFailed;
        }
        settings.lQ = n * 100;
        quality = true;
    } else if (a == "--keyframes") {
        if (!c.Number(a, n, 0, 1000000)) {
            return Parsed::kFailed;
        }
        settings.lKey = n;
    } else if (a == "--datarate") {
        if (!c.Number(a, n, 0, 2000000)) {
            return Parsed::kFailed;
        }
        settings.lDataRate = n;
    } else {
        return Parsed::kNotThisOption;
    }
    return Parsed::kOk;
}

// The memory for frames read backwards: the budget of every reader opened
// from now on in this process.
Parsed ParseCacheOption(const std::string& a, ArgumentCursor& c) {
    int megabytes = 0;
    if (a != "--cache-mb") {
        return Parsed::kNotThisOption;
    }
    if (!c.Number(a, megabytes, 0, 1048576)) {
        return Parsed::kFailed;
    }
    kmx::SetDecodeCacheBudget(static_cast<std::uint64_t>(megabytes) << 20);
    return Parsed::kOk;
}

Parsed ParseOverlayArgument(const std::string& a, ArgumentCursor& c, ConvertJob& job) {
    if (a != "--overlay") {
        return Parsed::kNotThisOption;
    }
    std::string text;
    if (!c.Value(a, text)) {
        return Parsed::kFailed;
    }
    std::string reason;
    if (!ParseOverlayOption(text, job, &reason)) {
        Fail(c.error, "--overlay " + text + ": " + reason);
        return Parsed::kFailed;
    }
    return Parsed::kOk;
}

// Takes the project's settings into the job; an output given on the command
// line wins over the project's.
bool ApplyProjectFile(const std::string& project, ConvertJob& job, std::string* error) {
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
    return true;
}

} // namespace

bool BuildJobFromArguments(const std::vector<std::string>& args, ConvertJob& job, bool* help,
                           std::string* error) {
    job = MakeInitialJob();
    std::string project;
    bool quality = false;
    for (ArgumentCursor c{args, error}; c.index < args.size(); ++c.index) {
        const std::string& a = args[c.index];
        if (a == "--help" || a == "-h") {
            *help = true;
            return true;
        }
        Parsed parsed = ParseFileAndFrameOption(a, c, job);
        if (parsed == Parsed::kNotThisOption) {
            parsed = ParseCompressorOption(a, c, job.compressorSettings, quality);
        }
        if (parsed == Parsed::kNotThisOption) {
            parsed = ParseOverlayArgument(a, c, job);
        }
        if (parsed == Parsed::kNotThisOption) {
            parsed = ParseCacheOption(a, c);
        }
        if (parsed == Parsed::kFailed) {
            return false;
        }
        if (parsed == Parsed::kOk || a == "--preview" || a == "--quiet") {
            continue; // --preview and --quiet are handled by the caller
        }
        if (!a.empty() && a[0] != '-' && project.empty()) {
            project = a;
        } else {
            return Fail(error, "unknown option '" + a + "'");
        }
    }
    if (!quality) {
        job.compressorSettings.lQ = ICQUALITY_DEFAULT;
    }
    if (!project.empty() && !ApplyProjectFile(project, job, error)) {
        return false;
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

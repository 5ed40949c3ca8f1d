#include "cli/ConvertCommand.h"
#include "cli/TerminalText.h"

#include "cli/ConversionRunner.h"
#include "cli/OverlayOption.h"
#include "codec/Compressor.h"
#include "engine/InputCheck.h"
#include "engine/ProjectRecord.h"
#include "media/AviReader.h"
#include "media/OutputContainer.h"
#include "media/decode/ReverseFrameCache.h"
#include "media/io/ByteOrder.h"
#include "media/io/WorkThreads.h"

#include <cstdio>
#include <map>

namespace {

const char* const kUsage =
    "Usage: kadrimix-cli convert PROJECT.kmx [-i IN.avi] [-o OUT.avi] [options]\n"
    "       kadrimix-cli convert -i IN.avi -o OUT.avi [options]\n"
    "\n"
    "With a project file, the options given override the project's values and\n"
    "everything else comes from the project, so one project serves many files:\n"
    "  for f in *.mp4; do kadrimix-cli convert look.kmx -i \"$f\" -o \"${f%.*}.avi\"; done\n"
    "Each option may be given once (--overlay once per slot); options that\n"
    "contradict each other, such as --reverse with --no-reverse, are refused.\n"
    "\n"
    "Options:\n"
    "  -i, --input FILE                  the base video (AVI or any other video file)\n"
    "  -o, --output FILE                 the file to write (replaced if it exists): AVI,\n"
    "                                    or by its extension MP4 (.mp4, .m4v), MOV,\n"
    "                                    MKV or WebM\n"
    "  --format avi|mp4|mov|mkv|webm     the output's container, whatever its name\n"
    "  --reverse                         write the video (and its audio) backwards\n"
    "  --interlaced                      the video is interlaced (fields kept apart)\n"
    "  --mirror-horizontal[=upper|lower] turn upside down, or mirror the upper/lower\n"
    "                                    half onto the other\n"
    "  --mirror-vertical[=left|right]    swap left and right, or mirror the left/right\n"
    "                                    half onto the other\n"
    "  --no-reverse, --no-interlaced, --no-mirror-horizontal, --no-mirror-vertical\n"
    "                                    switch off what a project switched on\n"
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
    "  --threads N                       threads to decode, convert and compress with\n"
    "                                    (1..64; default: the machine's cores)\n"
    "  --quiet                           no progress line\n"
    "\n"
    "Exit status: 0 finished, 1 failed, 130 interrupted, 2 bad options. A second\n"
    "Ctrl-C ends the program at once; the output keeps the frames written so far.\n";

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
    std::map<std::string, std::string> given; // option family -> spelling used

    // Each option is taken once: a repeat or a contradiction (--reverse with
    // --no-reverse, --mirror-horizontal=upper with =lower) is refused rather
    // than one of them silently winning.
    bool Once(const std::string& family, const std::string& spelling) {
        const auto [it, added] = given.emplace(family, spelling);
        if (added) {
            return true;
        }
        if (it->second == spelling) {
            return Fail(error, spelling + " given more than once");
        }
        return Fail(error, it->second + " and " + spelling + " cannot be combined");
    }

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
    if (a == "--format") {
        if (!c.Value(a, job.outputFormat)) {
            return Parsed::kFailed;
        }
        if (!kmx::ContainerForName(job.outputFormat)) {
            Fail(c.error, "--format takes avi, mp4, mov, mkv or webm");
            return Parsed::kFailed;
        }
        return Parsed::kOk;
    }
    if (a == "--reverse" || a == "--no-reverse") {
        job.reverse = a == "--reverse" ? 1 : 0;
    } else if (a == "--interlaced" || a == "--no-interlaced") {
        job.interlaced = a == "--interlaced" ? 1 : 0;
    } else if (a == "--no-mirror-horizontal") {
        job.mirrorHorizontal = job.mirrorUpperHalf = job.mirrorLowerHalf = 0;
    } else if (a == "--no-mirror-vertical") {
        job.mirrorVertical = job.mirrorLeftHalf = job.mirrorRightHalf = 0;
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

// The settings of the process rather than of the job: the memory for frames
// read backwards (the budget of every reader opened from now on) and the
// threads to work with.
Parsed ParseProcessOption(const std::string& a, ArgumentCursor& c) {
    int n = 0;
    if (a == "--cache-mb") {
        if (!c.Number(a, n, 0, 1048576)) {
            return Parsed::kFailed;
        }
        kmx::SetDecodeCacheBudget(static_cast<std::uint64_t>(n) << 20);
    } else if (a == "--threads") {
        if (!c.Number(a, n, 1, kmx::kMaxWorkThreads)) {
            return Parsed::kFailed;
        }
        kmx::SetWorkThreads(n);
    } else {
        return Parsed::kNotThisOption;
    }
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

// The option family an argument belongs to, for ArgumentCursor::Once: the
// long name without "no-" and without "=value"; an overlay counts per slot.
std::string OptionFamily(const std::string& a, const ArgumentCursor& c) {
    if (a == "-i") {
        return "--input";
    }
    if (a == "-o") {
        return "--output";
    }
    if (a == "--overlay") {
        const std::string& text = c.args[c.index]; // the value, already taken
        return a + " " + text.substr(0, text.find(':'));
    }
    std::string family = a.starts_with("--no-") ? "--" + a.substr(5) : a;
    return family.substr(0, family.find('='));
}

// One pass over the arguments into job; *project is set to the project file
// named, if any.
bool ParseArguments(const std::vector<std::string>& args, ConvertJob& job, std::string* project,
                    bool* quality, bool* help, std::string* error) {
    for (ArgumentCursor c{args, error, 0, {}}; c.index < args.size(); ++c.index) {
        const std::string& a = args[c.index];
        if (a == "--help" || a == "-h") {
            *help = true;
            return true;
        }
        Parsed parsed = ParseFileAndFrameOption(a, c, job);
        if (parsed == Parsed::kNotThisOption) {
            parsed = ParseCompressorOption(a, c, job.compressorSettings, *quality);
        }
        if (parsed == Parsed::kNotThisOption) {
            parsed = ParseOverlayArgument(a, c, job);
        }
        if (parsed == Parsed::kNotThisOption) {
            parsed = ParseProcessOption(a, c);
        }
        if (parsed == Parsed::kNotThisOption && a == "--quiet") {
            parsed = Parsed::kOk; // handled by the caller
        }
        if (parsed == Parsed::kFailed) {
            return false;
        }
        if (parsed == Parsed::kOk) {
            if (!c.Once(OptionFamily(a, c), a)) {
                return false;
            }
        } else if (a.empty() || a[0] == '-') {
            return Fail(error, "unknown option '" + a + "'");
        } else if (!project->empty()) {
            return Fail(error, "one project file at most ('" + *project + "' and '" + a + "')");
        } else {
            *project = a;
        }
    }
    return true;
}

// The base video and each overlay checked as the main window and the overlay
// dialog check a file chosen, before anything is written; each refusal is
// told in the words of the file information. A file that cannot be opened is
// left to the run, which reports it in its own words.
bool InputsUsable(const ConvertJob& job) {
    const auto usable = [](const std::string& path, const std::string& role) {
        CAviReader reader;
        if (!reader.Open(path.c_str())) {
            return true;
        }
        const std::string refusal = InputRefusal(reader);
        if (!refusal.empty()) {
            PrintLine(stderr, "ERROR: %s %s cannot be used: %s", role.c_str(), path.c_str(),
                      refusal.c_str());
        }
        return refusal.empty();
    };
    bool ok = usable(job.inputPath, "Input");
    for (const OverlaySettings& slot : job.overlays) {
        if (!slot.path.empty()) {
            ok = usable(slot.path, "Overlay " + std::to_string(slot.number)) && ok;
        }
    }
    return ok;
}

} // namespace

bool BuildJobFromArguments(const std::vector<std::string>& args, ConvertJob& job, bool* help,
                           std::string* error) {
    job = MakeInitialJob();
    std::string project;
    bool quality = false;
    if (!ParseArguments(args, job, &project, &quality, help, error) || *help) {
        return *help;
    }
    if (!project.empty()) {
        // The project first, then the options once more over it: what the
        // command line gives wins, the rest is the project's.
        ProjectRecord record;
        const ProjectFileResult result = ReadProjectFile(project, record);
        if (result != ProjectFileResult::Ok) {
            return Fail(error, std::string(ProjectError(result)) + " (" + project + ")");
        }
        job = MakeInitialJob();
        ApplyProjectToJob(record, job);
        std::string again;
        ParseArguments(args, job, &again, &quality, help, error);
    } else if (!quality) {
        job.compressorSettings.lQ = ICQUALITY_DEFAULT;
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
        PrintLine(stderr, "kadrimix-cli convert: %s", error.c_str());
        std::fputc('\n', stderr);
        std::fputs(kUsage, stderr);
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
    if (!InputsUsable(job)) {
        return 1;
    }
    return RunConversion(job, !quiet);
}

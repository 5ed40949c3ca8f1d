#include "cli/ConvertOptions.h"

#include "cli/OverlayOption.h"
#include "codec/Compressor.h"
#include "engine/ProjectRecord.h"
#include "media/decode/ReverseFrameCache.h"
#include "media/io/ByteOrder.h"
#include "media/io/WorkThreads.h"

#include <algorithm>
#include <map>

namespace {

// A whole number from low to high; the range is told in the help text.
CLI::Option* AddNumber(CLI::App& command, const std::string& name, int& value, int low, int high,
                       const std::string& help) {
    return command.add_option(name, value, help)
        ->type_name("N")
        ->check(CLI::Range(low, high).description(""));
}

void AddFileAndFrameOptions(CLI::App& c, ConvertOptions& o) {
    c.add_option("FILE", o.files,
                 "the project file (.kmx); with --output-dir also the videos\n"
                 "to convert")
        ->type_name("PROJECT|VIDEO");
    c.add_option("-i,--input", o.input, "the base video (AVI or any other video file)")
        ->type_name("VIDEO");
    c.add_option("-o,--output", o.output,
                 "the file to write (replaced if it exists): AVI, or by its\n"
                 "extension MP4 (.mp4, .m4v), MOV, MKV or WebM")
        ->type_name("FILE");
    c.add_option("--format", o.format, "the output's container, whatever its name")
        ->type_name("avi|mp4|mov|mkv|webm")
        ->check(
            CLI::IsMember({"avi", "mp4", "mov", "mkv", "webm"}, CLI::ignore_case).description(""));
    c.add_flag("--reverse", o.reverse, "write the video (and its audio) backwards");
    c.add_flag("--interlaced", o.interlaced, "the video is interlaced (fields kept apart)");
    c.add_flag("--mirror-horizontal", o.mirrorHorizontal,
               "turn upside down, or mirror the upper/lower half onto\nthe other")
        ->type_name("[=upper|lower]");
    c.add_flag("--mirror-vertical", o.mirrorVertical,
               "swap left and right, or mirror the left/right half onto\nthe other")
        ->type_name("[=left|right]");
    c.add_flag("--no-reverse", o.noReverse, "switch off what a project switched on");
    c.add_flag("--no-interlaced", o.noInterlaced, "switch off what a project switched on");
    c.add_flag("--no-mirror-horizontal", o.noMirrorHorizontal,
               "switch off what a project switched on");
    c.add_flag("--no-mirror-vertical", o.noMirrorVertical, "switch off what a project switched on");
}

void AddCompressorOptions(CLI::App& c, ConvertOptions& o) {
    c.add_option("--codec", o.codec, "compressor (see 'kadrimix-cli codecs'); default: none")
        ->type_name("FOURCC");
    AddNumber(c, "--quality", o.quality, 0, 100, "quality 0..100 (lossy compressors)");
    AddNumber(c, "--keyframes", o.keyframes, 0, 1000000, "a key frame at least every N frames");
    AddNumber(c, "--datarate", o.datarate, 0, 2000000, "data rate in kilobytes per second");
    c.add_option("--overlay", o.overlays,
                 "lay FILE over the video in slot 1..10 (1 is on top) into\n"
                 "the rectangle X,Y,W,H; options: border=WIDTH,\n"
                 "color=RRGGBB, crop=N, start=N, end=N, base=N (frames\n"
                 "from 0), noresize")
        ->type_name("SLOT:FILE:X,Y,W,H[,options]")
        ->allow_extra_args(false);
}

void AddRunOptions(CLI::App& c, ConvertOptions& o) {
    AddNumber(c, "--cache-mb", o.cacheMb, 0, 1048576,
              "memory in MiB for frames read backwards, per input\n(default 256)");
    AddNumber(c, "--threads", o.threads, 1, kmx::kMaxWorkThreads,
              "threads to decode, convert and compress with (1..64;\n"
              "default: the machine's cores); a batch shares them out");
    c.add_flag("--quiet", o.quiet, "no progress display on standard error");
    c.add_option("--progress", o.progress,
                 "--progress=json: a JSON object per line on standard\n"
                 "output, 2 to 10 a second, while converting")
        ->type_name("json")
        ->check(CLI::IsMember({"json"}).description(""));
    c.add_option("--output-dir", o.outputDir,
                 "a batch: convert each FILE into DIR under its own name,\n"
                 "with the extension of --format (.avi without)")
        ->type_name("DIR");
    AddNumber(c, "--jobs", o.jobs, 1, kmx::kMaxWorkThreads,
              "a batch runs N conversions at once (1..64, default 1)");
    c.add_flag("--skip-existing", o.skipExisting,
               "a batch skips the files whose output is complete");
}

// A flag is a value that takes no word of its own ("--reverse", or
// "--mirror-horizontal=upper").
bool IsFlag(const CLI::Option& option) {
    return option.get_expected_max() == 0;
}

// How the n-th use of option was written.
std::string Spelling(const CLI::Option& option, std::size_t n) {
    const std::string name = option.get_name();
    const std::string value = n < option.results().size() ? option.results()[n] : "";
    if (IsFlag(option)) {
        return value == "true" ? name : name + "=" + value;
    }
    return name;
}

// The long name without "no-"; an overlay counts per slot.
std::string Family(const CLI::Option& option, std::size_t n) {
    std::string name = option.get_name();
    if (name == "--overlay" && n < option.results().size()) {
        return name + " " + option.results()[n].substr(0, option.results()[n].find(':'));
    }
    return name.starts_with("--no-") ? "--" + name.substr(5) : name;
}

bool Given(const CLI::App& command, const std::string& name) {
    return command.count(name) > 0;
}

// The halves a mirror flag may name after '='.
bool MirrorHalfKnown(const std::string& value, const char* one, const char* other) {
    return value.empty() || value == "true" || value == one || value == other;
}

void ApplyFlags(const CLI::App& c, const ConvertOptions& o, ConvertJob& job) {
    if (Given(c, "--reverse") || Given(c, "--no-reverse")) {
        job.reverse = o.reverse ? 1 : 0;
    }
    if (Given(c, "--interlaced") || Given(c, "--no-interlaced")) {
        job.interlaced = o.interlaced ? 1 : 0;
    }
    if (Given(c, "--no-mirror-horizontal")) {
        job.mirrorHorizontal = job.mirrorUpperHalf = job.mirrorLowerHalf = 0;
    }
    if (Given(c, "--no-mirror-vertical")) {
        job.mirrorVertical = job.mirrorLeftHalf = job.mirrorRightHalf = 0;
    }
    if (Given(c, "--mirror-horizontal")) {
        job.mirrorHorizontal = 1;
        job.mirrorUpperHalf = o.mirrorHorizontal == "upper" ? 1 : 0;
        job.mirrorLowerHalf = o.mirrorHorizontal == "lower" ? 1 : 0;
    }
    if (Given(c, "--mirror-vertical")) {
        job.mirrorVertical = 1;
        job.mirrorLeftHalf = o.mirrorVertical == "left" ? 1 : 0;
        job.mirrorRightHalf = o.mirrorVertical == "right" ? 1 : 0;
    }
}

void ApplyCompressor(const CLI::App& c, const ConvertOptions& o, COMPVARS& settings) {
    if (Given(c, "--codec")) {
        std::string code = o.codec;
        code.resize(4, ' ');
        settings.fccType = ICTYPE_VIDEO;
        settings.fccHandler = kmx::MakeFourcc(code[0], code[1], code[2], code[3]);
    }
    if (Given(c, "--quality")) {
        settings.lQ = o.quality * 100;
    }
    if (Given(c, "--keyframes")) {
        settings.lKey = o.keyframes;
    }
    if (Given(c, "--datarate")) {
        settings.lDataRate = o.datarate;
    }
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

void AddConvertOptions(CLI::App& command, ConvertOptions& options) {
    AddFileAndFrameOptions(command, options);
    AddCompressorOptions(command, options);
    AddRunOptions(command, options);
}

bool CheckConvertOptions(const CLI::App& command, const ConvertOptions& options,
                         std::string* error) {
    // Each option is taken once: a repeat or a contradiction is refused
    // rather than one of them silently winning.
    std::map<std::string, std::string> given; // family -> spelling used
    std::map<const CLI::Option*, std::size_t> uses;
    for (const CLI::Option* option : command.parse_order()) {
        if (option->get_positional()) {
            continue;
        }
        const std::size_t n = uses[option]++;
        const std::string spelling = Spelling(*option, n);
        const auto [it, added] = given.emplace(Family(*option, n), spelling);
        if (!added) {
            return Fail(error, it->second == spelling
                                   ? spelling + " given more than once"
                                   : it->second + " and " + spelling + " cannot be combined");
        }
    }
    if (!MirrorHalfKnown(options.mirrorHorizontal, "upper", "lower")) {
        return Fail(error, "--mirror-horizontal takes =upper or =lower");
    }
    if (!MirrorHalfKnown(options.mirrorVertical, "left", "right")) {
        return Fail(error, "--mirror-vertical takes =left or =right");
    }
    if (Given(command, "--codec") && (options.codec.empty() || options.codec.size() > 4)) {
        return Fail(error, "a compressor is named by its four-character code, e.g. MJPG");
    }
    return true;
}

bool MakeJobFromOptions(const CLI::App& command, const ConvertOptions& options,
                        const std::string& project, ConvertJob& job, std::string* error) {
    job = MakeInitialJob();
    if (!project.empty()) {
        // The project first, then the options over it: what the command line
        // gives wins, the rest is the project's.
        ProjectRecord record;
        const ProjectFileResult result = ReadProjectFile(project, record);
        if (result != ProjectFileResult::Ok) {
            return Fail(error, std::string(ProjectError(result)) + " (" + project + ")");
        }
        ApplyProjectToJob(record, job);
    } else if (!Given(command, "--quality")) {
        job.compressorSettings.lQ = ICQUALITY_DEFAULT;
    }
    if (Given(command, "--input")) {
        job.inputPath = options.input;
    }
    if (Given(command, "--output")) {
        job.outputPath = options.output;
    }
    if (Given(command, "--format")) {
        job.outputFormat = options.format;
    }
    ApplyFlags(command, options, job);
    ApplyCompressor(command, options, job.compressorSettings);
    for (const std::string& text : options.overlays) {
        std::string reason;
        if (!ParseOverlayOption(text, job, &reason)) {
            return Fail(error, "--overlay " + text + ": " + reason);
        }
    }
    // The settings of the process rather than of the job: the memory for
    // frames read backwards (the budget of every reader opened from now on)
    // and the threads to work with.
    if (Given(command, "--cache-mb")) {
        kmx::SetDecodeCacheBudget(static_cast<std::uint64_t>(options.cacheMb) << 20);
    }
    if (Given(command, "--threads")) {
        kmx::SetWorkThreads(options.threads);
    }
    return true;
}

std::vector<std::string> GivenOptions(const CLI::App& command,
                                      const std::vector<std::string>& leaveOut) {
    std::vector<std::string> args;
    std::map<const CLI::Option*, std::size_t> uses;
    for (const CLI::Option* option : command.parse_order()) {
        const std::size_t n = uses[option]++;
        if (option->get_positional() || n >= option->results().size() ||
            std::find(leaveOut.begin(), leaveOut.end(), option->get_name()) != leaveOut.end()) {
            continue;
        }
        // "--name=value" in one word, so that a value beginning with '-'
        // stays a value.
        args.push_back(IsFlag(*option) ? Spelling(*option, n)
                                       : option->get_name() + "=" + option->results()[n]);
    }
    return args;
}

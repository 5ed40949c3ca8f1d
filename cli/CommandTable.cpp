#include "cli/CommandTable.h"

#include "cli/OverlayOption.h"
#include "cli/TerminalText.h"

#include <algorithm>
#include <climits>

namespace {

const char* const kConvertFooter =
    "With a project file, the options given override the project's values and\n"
    "everything else comes from the project, so one project serves many files:\n"
    "  kadrimix-cli convert look.kmx --output-dir out --jobs 2 *.mp4\n"
    "Each option may be given once (--overlay once per slot); options that\n"
    "contradict each other, such as --reverse with --no-reverse, are refused.\n"
    "A batch (--output-dir) names its project by the extension .kmx; every\n"
    "other FILE is a video to convert.\n"
    "\n"
    "Exit status: 0 finished, 1 failed (in a batch: any file failed), 130\n"
    "interrupted, 2 bad options. A second Ctrl-C ends the program at once; the\n"
    "output keeps the frames written so far.";

// "WxH" with both from 1 to 8192.
const CLI::Validator kPictureSize(
    [](std::string& text) {
        int width = 0;
        int height = 0;
        const bool ok = ParseSize(text, width, height) && width >= 1 && height >= 1 &&
                        width <= 8192 && height <= 8192;
        return ok ? std::string() : "sizes are WxH from 1x1 to 8192x8192";
    },
    "", "picture size");

void AddInfoAndCodecs(CLI::App& table, CommandValues& v) {
    CLI::App* info = table.add_subcommand(
        "info", "show what video files hold: container, format, frames, duration, streams");
    info->add_option("FILE", v.infoFiles, "the files to look at")->type_name("VIDEO")->required();
    info->add_flag("--json", v.infoJson,
                   "one JSON array with an object per file (keys: see the manual page)");
    CLI::App* codecs = table.add_subcommand(
        "codecs", "list the video compressors: FOURCC, name, kind, containers, description");
    codecs->add_flag("--all", v.codecsAll, "also list the compressors not available here");
}

void AddSampleDemoAndSelfcheck(CLI::App& table, CommandValues& v) {
    CLI::App* sample = table.add_subcommand(
        "sample", "write an uncompressed test-pattern video whose frames show their numbers");
    sample->add_option("OUT", v.sample.path, "the AVI file to write")
        ->type_name("FILE")
        ->required();
    sample->add_option("--size", v.sample.size, "picture size (default 320x240)")
        ->type_name("WxH")
        ->check(kPictureSize);
    sample->add_option("--frames", v.sample.frames, "frame count (default 75)")
        ->type_name("N")
        ->check(CLI::Range(0, INT_MAX).description(""));
    sample->add_option("--bits", v.sample.bits, "bits per pixel (default 24)")
        ->type_name("16|24|32")
        ->check(CLI::IsMember({16, 24, 32}).description(""));
    sample->add_option("--rate", v.sample.rate, "frames per second (default 25)")
        ->type_name("FPS")
        ->check(CLI::Range(1, INT_MAX).description(""));
    sample->add_flag("--audio", v.sample.audio, "add 16-bit stereo PCM at 44100 Hz");
    CLI::App* demo = table.add_subcommand(
        "demo", "make sample videos and convert them backwards, mirrored, with two overlays");
    demo->add_option("DIR", v.demoDir, "the folder for the files (default kadrimix-demo)")
        ->type_name("DIR");
    table.add_subcommand("selfcheck", "check the engine's building blocks on this machine");
}

// The name a command goes by in messages: "kadrimix-cli convert".
std::string CommandName(const CLI::App& command) {
    return command.get_parent() != nullptr ? "kadrimix-cli " + command.get_name()
                                           : command.get_name();
}

} // namespace

bool ParseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    return x != std::string::npos && ParseInt(text.substr(0, x), width) &&
           ParseInt(text.substr(x + 1), height);
}

std::unique_ptr<CLI::App> MakeCommandTable(CommandValues& values) {
    auto table = std::make_unique<CLI::App>(
        "Kadrimix re-encodes videos backwards, mirrored and with overlays.", "kadrimix-cli");
    table->footer("'kadrimix-cli COMMAND --help' shows a command's options.");
    table->add_flag("--version", values.version, "print the program's name and version");
    table->require_subcommand(0, 1);
    table->get_formatter()->column_width(34);
    CLI::App* convert =
        table->add_subcommand("convert", "convert a video (a project file, or options), or a "
                                         "batch of videos into a folder");
    AddConvertOptions(*convert, values.convert);
    convert->footer(kConvertFooter);
    AddInfoAndCodecs(*table, values);
    AddSampleDemoAndSelfcheck(*table, values);
    return table;
}

int ParseCommandLine(CLI::App& table, std::vector<std::string> args) {
    std::reverse(args.begin(), args.end()); // CLI11 takes them last first
    try {
        table.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(table.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& error) {
        const std::vector<CLI::App*> chosen = table.get_subcommands();
        return RefuseOptions(chosen.empty() ? table : *chosen.front(), error.what());
    }
    if (table.get_subcommands().empty() && table.count("--version") == 0) {
        return RefuseOptions(table, "a command is needed");
    }
    return -1;
}

int RefuseOptions(const CLI::App& command, const std::string& reason) {
    PrintLine(stderr, "%s: %s", CommandName(command).c_str(), reason.c_str());
    if (command.get_parent() == nullptr) {
        std::fputc('\n', stderr);
        std::fputs(command.help().c_str(), stderr);
    } else {
        std::fprintf(stderr, "'%s --help' shows the options.\n", CommandName(command).c_str());
    }
    return 2;
}

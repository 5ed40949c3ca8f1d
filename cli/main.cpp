// kadrimix-cli: the conversion engine without a display.
#include "cli/CodecsCommand.h"
#include "cli/ConvertCommand.h"
#include "cli/InfoCommand.h"
#include "cli/SampleCommand.h"
#include "cli/SelfCheck.h"
#include "cli/TerminalText.h"
#include "engine/Product.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: kadrimix-cli COMMAND [OPTIONS]\n"
                 "\n"
                 "Commands:\n"
                 "  convert       convert a video (a project file, or options)\n"
                 "  info          show what an AVI file holds\n"
                 "  codecs        list the video compressors (--all: also those not available)\n"
                 "  sample        write a test-pattern video\n"
                 "  demo          make sample videos and convert them, as a first look\n"
                 "  selfcheck     check the engine's building blocks on this machine\n"
                 "\n"
                 "Options:\n"
                 "  --version     print the program's name and version\n"
                 "  --help        print this help; 'COMMAND --help' for a command's options\n");
}

} // namespace

int main(int argc, char** argv) {
    // Damaged input is reported by our own messages; libav's notes about it
    // (even those it calls fatal, such as a JPEG without data) would only
    // clutter the terminal.
    av_log_set_level(AV_LOG_QUIET);
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "--version" || command == "version") {
        std::printf("%s %s\n", kProductName, kProductVersion);
        return 0;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (command == "convert") {
        return RunConvertCommand(args);
    }
    if (command == "info") {
        return RunInfoCommand(args);
    }
    if (command == "codecs") {
        return RunCodecsCommand(argc - 1, argv + 1);
    }
    if (command == "sample") {
        return RunSampleCommand(args);
    }
    if (command == "demo") {
        return RunDemoCommand(args);
    }
    if (command == "selfcheck") {
        if (!args.empty()) {
            const bool help = args[0] == "--help" || args[0] == "-h";
            std::fputs("Usage: kadrimix-cli selfcheck\n"
                       "Checks the engine's building blocks on this machine.\n",
                       help ? stdout : stderr);
            return help ? 0 : 2;
        }
        return RunSelfCheck();
    }
    PrintLine(stderr, "kadrimix-cli: unknown command '%s'", command.c_str());
    std::fputc('\n', stderr);
    PrintUsage(stderr);
    return 2;
}

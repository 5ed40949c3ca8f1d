// kadrimix-cli: the conversion engine without a display.
#include "cli/CodecsCommand.h"
#include "cli/CommandTable.h"
#include "cli/Completion.h"
#include "cli/ConvertCommand.h"
#include "cli/InfoCommand.h"
#include "cli/SampleCommand.h"
#include "cli/SelfCheck.h"
#include "engine/Product.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Damaged input is reported by our own messages; libav's notes about it
    // (even those it calls fatal, such as a JPEG without data) would only
    // clutter the terminal.
    av_log_set_level(AV_LOG_QUIET);
    std::vector<std::string> args(argv + 1, argv + argc);
    CommandValues values;
    const std::unique_ptr<CLI::App> table = MakeCommandTable(values);
    if (!args.empty() && args[0] == kCompletionCommand) {
        return RunCompletion(*table, {args.begin() + 1, args.end()});
    }
    if (args.size() == 1 && (args[0] == "version" || args[0] == "help")) {
        args[0] = args[0] == "help" ? "--help" : "--version"; // the old spellings
    }
    const int status = ParseCommandLine(*table, args);
    if (status >= 0) {
        return status;
    }
    if (values.version) {
        std::printf("%s %s\n", kProductName, kProductVersion);
        return 0;
    }
    const CLI::App& command = *table->get_subcommands().front();
    const std::string name = command.get_name();
    if (name == "convert") {
        return RunConvertCommand(command, values.convert);
    }
    if (name == "info") {
        return RunInfoCommand(values.infoFiles, values.infoJson);
    }
    if (name == "codecs") {
        return RunCodecsCommand(values.codecsAll);
    }
    if (name == "sample") {
        return RunSampleCommand(values.sample);
    }
    if (name == "demo") {
        return RunDemoCommand(values.demoDir);
    }
    return RunSelfCheck();
}

#include "cli/ConvertCommand.h"

#include "cli/BatchRunner.h"
#include "cli/CommandTable.h"
#include "cli/ConversionRunner.h"
#include "cli/JsonProgress.h"
#include "cli/OverlayOption.h"
#include "cli/TerminalText.h"
#include "engine/InputCheck.h"
#include "media/AviReader.h"

#include <cstdio>

namespace {

// The job of a single run: the options checked, at most one project file,
// an input and an output.
bool BuildSingleJob(const CLI::App& command, const ConvertOptions& options, ConvertJob& job,
                    std::string* error) {
    if (!CheckConvertOptions(command, options, error)) {
        return false;
    }
    for (const char* batchOnly : {"--jobs", "--skip-existing"}) {
        if (command.count(batchOnly) > 0) {
            return Fail(error, std::string(batchOnly) + " is for a batch (--output-dir)");
        }
    }
    if (options.files.size() > 1) {
        return Fail(error, "one project file at most ('" + options.files[0] + "' and '" +
                               options.files[1] + "')");
    }
    const std::string project = options.files.empty() ? "" : options.files[0];
    if (!MakeJobFromOptions(command, options, project, job, error)) {
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

} // namespace

bool InputsUsable(const ConvertJob& job, std::vector<std::string>* refusals) {
    const auto usable = [refusals](const std::string& path, const std::string& role) {
        CAviReader reader;
        if (!reader.Open(path.c_str())) {
            return true;
        }
        const std::string refusal = InputRefusal(reader);
        if (!refusal.empty()) {
            refusals->push_back("ERROR: " + role + " " + path + " cannot be used: " + refusal);
            PrintLine(stderr, "%s", refusals->back().c_str());
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

bool BuildJobFromArguments(const std::vector<std::string>& args, ConvertJob& job, bool* help,
                           std::string* error) {
    CommandValues values;
    const std::unique_ptr<CLI::App> table = MakeCommandTable(values);
    std::vector<std::string> line(args.rbegin(), args.rend()); // CLI11 takes them last first
    line.push_back("convert");
    try {
        table->parse(line);
    } catch (const CLI::CallForHelp&) {
        *help = true;
        return true;
    } catch (const CLI::ParseError& e) {
        return Fail(error, e.what());
    }
    return BuildSingleJob(*table->get_subcommand("convert"), values.convert, job, error);
}

int RunConvertCommand(const CLI::App& command, const ConvertOptions& options) {
    if (command.count("--output-dir") > 0) {
        return RunBatch(command, options);
    }
    ConvertJob job;
    std::string error;
    if (!BuildSingleJob(command, options, job, &error)) {
        return RefuseOptions(command, error);
    }
    CJsonProgress json(stdout, job.inputPath, job.outputPath);
    CJsonProgress* progress = options.progress == "json" ? &json : nullptr;
    std::vector<std::string> refusals;
    if (!InputsUsable(job, &refusals)) {
        if (progress != nullptr) {
            progress->Finish("failed", refusals);
        }
        return 1;
    }
    return RunConversion(job, !options.quiet, progress);
}

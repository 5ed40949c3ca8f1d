// "kadrimix-cli convert": runs a project file's job, or a job built from
// command-line options, or a batch of them (--output-dir).
#pragma once

#include "cli/ConvertOptions.h"
#include "engine/ConvertJob.h"

#include <string>
#include <vector>

// command is convert's row of the command table, parsed into options.
int RunConvertCommand(const CLI::App& command, const ConvertOptions& options);

// Builds the job from the options (everything after "convert"); false with a
// reason in *error for options that cannot be used. *help is set for --help.
bool BuildJobFromArguments(const std::vector<std::string>& args, ConvertJob& job, bool* help,
                           std::string* error);

// The base video and each overlay checked as the main window checks a file
// chosen, before anything is written; each refusal is printed and added to
// *refusals. A file that cannot be opened is left to the run.
bool InputsUsable(const ConvertJob& job, std::vector<std::string>* refusals);

// "kadrimix-cli convert": runs a project file's job, or a job built from
// command-line options.
#pragma once

#include "engine/ConvertJob.h"

#include <string>
#include <vector>

int RunConvertCommand(const std::vector<std::string>& args);

// Builds the job from the options (everything after "convert"); false with a
// reason in *error for options that cannot be used. *help is set for --help.
bool BuildJobFromArguments(const std::vector<std::string>& args, ConvertJob& job, bool* help,
                           std::string* error);

// The options of "kadrimix-cli convert" as rows of the command table: their
// names, value names, ranges and help texts, and how the values given make
// the job (over a project's values, when a project file is named).
#pragma once

#include "engine/ConvertJob.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

struct ConvertOptions {
    std::vector<std::string> files; // the project file; with --output-dir also the inputs
    std::string input, output, format, codec;
    std::string mirrorHorizontal, mirrorVertical; // "true", or the half given after '='
    bool reverse = false, noReverse = false, interlaced = false, noInterlaced = false;
    bool noMirrorHorizontal = false, noMirrorVertical = false;
    int quality = 0, keyframes = 0, datarate = 0, cacheMb = 0, threads = 0;
    std::vector<std::string> overlays;
    bool quiet = false;
    std::string progress; // "json": progress lines on standard output
    // A batch: the inputs converted into this folder, so many at once.
    std::string outputDir;
    int jobs = 1;
    bool skipExisting = false;
};

// Adds the rows of convert's options to command, bound to options.
void AddConvertOptions(CLI::App& command, ConvertOptions& options);

// The checks the table cannot make: each option once (--overlay once per
// slot), no contradictions (--reverse with --no-reverse), the mirror halves
// and the compressor's code; false with the reason in *error.
bool CheckConvertOptions(const CLI::App& command, const ConvertOptions& options,
                         std::string* error);

// The job: the project's (when project is not empty) or the initial one, with
// the options given over it; false with a reason in *error. Sets the process's
// decode cache and thread count when given.
bool MakeJobFromOptions(const CLI::App& command, const ConvertOptions& options,
                        const std::string& project, ConvertJob& job, std::string* error);

// The options given, as arguments again (in their order), leaving out those
// named in leaveOut and the positional files: what a batch hands each of
// its conversions.
std::vector<std::string> GivenOptions(const CLI::App& command,
                                      const std::vector<std::string>& leaveOut);

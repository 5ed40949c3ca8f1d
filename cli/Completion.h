// The shell completion's questions: "kadrimix-cli __complete WORD..." names
// the candidates for the last WORD (the one being typed, maybe empty) after
// the earlier ones, all taken from the command table: the commands, a
// command's options, and an option's values by its value name (FOURCC: the
// compressors as "codecs" lists them; avi|mp4|...: those words; VIDEO,
// PROJECT, FILE, DIR: file names of that kind). One candidate a line, then
// at most one line for the file names, for the shell to fill in:
// "::files EXT..." (files with these extensions, and folders), "::files"
// (any file) or "::dirs". The scripts in dist/completion ask it.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

inline const std::string kCompletionCommand = "__complete";

int RunCompletion(const CLI::App& table, const std::vector<std::string>& words);

// The console's commands and options as one table (CLI11): it parses the
// command line, checks the values' ranges, writes the help texts and gives
// the shell completion its lists.
#pragma once

#include "cli/ConvertOptions.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

struct SampleValues {
    std::string path;
    std::string size = "320x240";
    int frames = 75;
    int bits = 24;
    int rate = 25;
    bool audio = false;
};

// Where the table puts what it parses.
struct CommandValues {
    bool version = false;
    ConvertOptions convert;
    std::vector<std::string> infoFiles;
    bool infoJson = false;
    bool codecsAll = false;
    SampleValues sample;
    std::string demoDir = "kadrimix-demo";
};

std::unique_ptr<CLI::App> MakeCommandTable(CommandValues& values);

// Parses args (the words after the program's name) into the table's values.
// Returns -1 when a command is to run (table.get_subcommands() names it) or
// --version was given; otherwise the help was printed (0), or the options
// were bad and the reason printed with the usage (2).
int ParseCommandLine(CLI::App& table, std::vector<std::string> args);

// Prints why the options of command cannot be used, and where to find its
// options, to standard error; returns 2, the exit status for bad options.
int RefuseOptions(const CLI::App& command, const std::string& reason);

// Width x height from "WxH"; false when text is not such a pair.
bool ParseSize(const std::string& text, int& width, int& height);

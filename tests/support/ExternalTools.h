// Running Debian's ffmpeg and ffprobe from tests, as an independent judge of
// the files we write and a source of files we did not write.
#pragma once

#include <string>
#include <vector>

// True when the program can be found on PATH.
bool HaveTool(const std::string& name);

// Runs a program with arguments (no shell), collects its standard output, and
// returns its exit status (-1 when it could not be started). Standard error is
// collected into *errors when given, else discarded.
int RunTool(const std::vector<std::string>& argv, std::string* output = nullptr,
            std::string* errors = nullptr);

// Shorthand for tests: skip when the tool is missing.
#define REQUIRE_TOOL(name)                                                                         \
    do {                                                                                           \
        if (!HaveTool(name)) {                                                                     \
            GTEST_SKIP() << name << " is not installed; this interoperability test needs it";      \
        }                                                                                          \
    } while (false)

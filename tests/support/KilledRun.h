// A conversion killed by SIGKILL as soon as it has reported a frame count,
// for the tests of what a killed run leaves behind.
#pragma once

#include <string>
#include <vector>

// Runs the program (arguments after its path) with standard error read line
// by line, and kills it once a progress line "frame F / N" shows at least
// `frames`. Returns the last F shown: the frames the run said were in its
// file; smaller than `frames` when the run ended first.
long KillAtFrame(const std::string& program, const std::vector<std::string>& args, long frames);

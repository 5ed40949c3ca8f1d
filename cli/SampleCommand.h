// "kadrimix-cli sample" writes a test-pattern AVI; "kadrimix-cli demo" makes
// a base video and two overlays and converts them, as a first look at what
// Kadrimix does.
#pragma once

#include <string>
#include <vector>

int RunSampleCommand(const std::vector<std::string>& args);
int RunDemoCommand(const std::vector<std::string>& args);

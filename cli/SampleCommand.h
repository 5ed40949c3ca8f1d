// "kadrimix-cli sample" writes a test-pattern AVI; "kadrimix-cli demo" makes
// a base video and two overlays and converts them, as a first look at what
// Kadrimix does.
#pragma once

#include <string>

struct SampleValues;

int RunSampleCommand(const SampleValues& values);
// Writes the sample files into dir, converts them and shows the output.
int RunDemoCommand(const std::string& dir);

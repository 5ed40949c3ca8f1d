// Running Debian's ffmpeg and ffprobe from tests, as an independent judge of
// the files we write and a source of files we did not write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// True when the program can be found on PATH.
bool HaveTool(const std::string& name);

// The words of a text, as separated by white space.
std::vector<std::string> Words(const std::string& text);

// Runs a program with arguments (no shell), collects its standard output, and
// returns its exit status (-1 when it could not be started). Standard error is
// collected into *errors when given, else discarded.
int RunTool(const std::vector<std::string>& argv, std::string* output = nullptr,
            std::string* errors = nullptr);

// ffmpeg's decoding of a file's first audio stream into interleaved signed
// 16-bit samples (its own conversion from whatever the decoder gives).
struct FfmpegSound {
    bool ok = false; // ffmpeg ran and succeeded
    // What it said at level warning and above, except "Guessed Channel
    // Layout", which it says of every WAVEFORMATEX without a channel mask (in
    // AVI files it writes itself too) and which says nothing about the file.
    std::string warnings;
    std::vector<std::int16_t> samples;
};
FfmpegSound DecodeAudioWithFfmpeg(const std::string& path);

// The checksum of every video frame ffmpeg decodes (framemd5), in order.
std::vector<std::string> FfmpegFrameMd5s(const std::string& path);

// ffprobe's count of the packets of the first video stream; -1 on failure.
int ProbeVideoPackets(const std::string& path);

// One entry (codec_name, channels, duration, ...) of ffprobe's description of
// a file's first audio stream; empty when there is none.
std::string ProbeAudioStream(const std::string& path, const std::string& entry);

// Shorthand for tests: skip when the tool is missing.
#define REQUIRE_TOOL(name)                                                                         \
    do {                                                                                           \
        if (!HaveTool(name)) {                                                                     \
            GTEST_SKIP() << name << " is not installed; this interoperability test needs it";      \
        }                                                                                          \
    } while (false)

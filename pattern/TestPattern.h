// Test-pattern video and audio: every frame carries its own frame number in
// its pixels, and every audio sample its own index, so tests, benchmarks and
// the console front end can make input files and recognise what came out.
#pragma once

#include "media/AviRecords.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kmx {

struct SampleAviOptions {
    int width = 320;
    int height = 240;
    int bitsPerPixel = 24; // 16 (5-5-5), 24 or 32
    int frames = 25;
    std::uint32_t rate = 25; // frames per second = rate / scale
    std::uint32_t scale = 1;
    bool audio = false; // 16-bit PCM
    std::uint32_t audioRate = 44100;
    int audioChannels = 2;
    int patternOffset = 0; // frame k shows the number k + patternOffset
};

// Largest number a frame can carry; FillTestPatternFrame uses the number's
// low 24 bits.
inline constexpr std::uint32_t kMaxTestPatternNumber = 0xFFFFFF;

// Bytes of one DIB row (padded to 4 bytes) and of a whole frame; 0 for
// sizes that are not positive.
std::size_t DibRowBytes(int width, int bitsPerPixel);
std::size_t TestPatternFrameBytes(int width, int height, int bitsPerPixel);

// Fills one frame's pixel rows (bottom-up, rows padded to 4 bytes as DIB rows
// are) with the pattern for the given number: a colour background that moves
// with the number, and the number itself in large blocks that survive lossy
// compression.
void FillTestPatternFrame(std::uint8_t* pixels, int width, int height, int bitsPerPixel,
                          int number);

// The same frame with rows not padded, as the conversion hands frames to the
// compressors; empty for a size or depth FillTestPatternFrame refuses, or
// when the memory cannot be had.
std::vector<std::uint8_t> PackedTestPatternFrame(int width, int height, int bitsPerPixel,
                                                 int number);

// Reads the number back from pixels made by FillTestPatternFrame (also after
// lossy compression, scaling to the same size, or a 16/24/32-bit conversion);
// -1 when no number can be recognised.
int ReadTestPatternNumber(const std::uint8_t* pixels, int width, int height, int bitsPerPixel);

// The 16-bit PCM value of channel c of audio sample s: tests recognise the
// sample index from it.
std::int16_t TestAudioValue(std::int64_t sample, int channel);

// Index of the first audio sample that belongs to frame `frame` in files
// made by WriteSampleAvi: floor(frame * audioRate * scale / rate).
std::int64_t TestAudioFirstSample(std::int64_t frame, const SampleAviOptions& options);

// The format of uncompressed test-pattern frames: BI_RGB, bottom-up rows,
// biSizeImage the size of a frame with rows padded to 4 bytes.
BITMAPINFOHEADER TestPatternFormat(int width, int height, int bitsPerPixel);

// Writes an uncompressed AVI with the pattern and optional audio interleaved
// one frame at a time. False (and a reason in *error when given) on failure.
bool WriteSampleAvi(const std::string& path, const SampleAviOptions& options,
                    std::string* error = nullptr);

} // namespace kmx

// Shared helpers of the AVI reader tests: writing hand-made files into a
// temporary folder, reading whole files, looking into the DIBs the reader
// hands out, and making input files with ffmpeg.
#pragma once

#include "media/AviReader.h"
#include "tests/media/AviRiffBuilder.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <string>
#include <vector>

namespace readertest {

// Builds the file, writes it into dir under name and returns its path.
std::string WriteAvi(const TempDir& dir, const std::string& name,
                     const std::vector<TestStream>& streams, const BuildOptions& options = {});

Bytes ReadWholeFile(const std::string& path);

// The pixel rows of a DIB (after header and colour table) and one row's
// bytes including the padding to 4.
const std::uint8_t* DibPixels(const BITMAPINFOHEADER* header);
std::size_t DibStride(const BITMAPINFOHEADER* header);

// A DIB's rows top-down without padding, in the layout of ffmpeg's
// "-f rawvideo" output: 16, 24 and 32 bits as they are (rgb555le, bgr24,
// bgra), 8 bits looked up in the colour table as bgr24.
Bytes DibRowsTopDown(const BITMAPINFOHEADER* header);

// Reads every sample of audio stream 0 through ReadAudio in pieces of
// pieceSamples samples.
Bytes ReadAllAudio(CAviReader& reader, std::int32_t pieceSamples);

// Runs ffmpeg with the arguments after "-v error -y"; true on success. The
// error text is in *errors.
bool Ffmpeg(const std::vector<std::string>& args, std::string* errors = nullptr);

// Decodes the file's video with ffmpeg into top-down packed frames of the
// given pixel format (bgr24, bgra, rgb555le) and bytes per pixel.
std::vector<Bytes> FfmpegFrames(const std::string& path, const std::string& pixelFormat,
                                int bytesPerPixel, int width, int height);

// Peak signal-to-noise ratio of two equal-sized byte pictures, in dB
// (1000 for identical ones).
double Psnr(const Bytes& a, const Bytes& b);

} // namespace readertest

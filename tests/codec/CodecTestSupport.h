// Helpers of the compressor tests: input frames, compressing a run of frames
// the way the conversion does, and an AVI file of the samples that our reader
// decodes again.
#pragma once

#include "codec/Compressor.h"
#include "codec/CompressorTable.h"

#include <cstdint>
#include <string>
#include <vector>

namespace codectest {

using Frame = std::vector<std::uint8_t>;

BITMAPINFOHEADER MakeInputFormat(int width, int height, int bitsPerPixel);

// The B, G, R bytes of bottom-up rows of `stride` bytes, top row first;
// 16-bit pixels are widened as v << 3 | v >> 2.
Frame ToBgr(const std::uint8_t* rows, int width, int height, int bitsPerPixel, std::size_t stride);

COMPVARS MakeSettings(std::uint32_t fourcc, std::int32_t quality = -1, std::int32_t keyRate = 0,
                      std::int32_t dataRate = 0);

struct Encoded {
    bool ok = false;
    std::string error;
    std::vector<std::uint8_t> format; // the output format block
    std::int32_t maxFrameSize = 0;
    std::vector<Frame> samples;
    std::vector<bool> keys;
};

// Opens the compressor, asks for the output format and the largest frame size
// as the conversion does, and compresses the frames (at rate frames per
// second when rate is not 0).
Encoded CompressFrames(std::uint32_t fourcc, const COMPVARS& settings, int width, int height,
                       int bitsPerPixel, const std::vector<Frame>& frames, std::uint32_t rate = 0);

// Bytes of the samples from number first on.
std::int64_t TotalSize(const Encoded& encoded, std::size_t first = 0);

// Writes the samples from number first on into an AVI file as its video.
bool WriteAvi(const std::string& path, std::uint32_t fourcc, int width, int height,
              const Encoded& encoded, std::size_t first = 0);

// Every frame of the file as our reader decodes it (ToBgr, empty for a frame
// it cannot give), read forwards or backwards.
std::vector<Frame> ReadAvi(const std::string& path, bool backwards = false);

// The table's entries whose encoder this libavcodec has and that go into AVI.
std::vector<const kmx::CompressorEntry*> AvailableEntries();

} // namespace codectest

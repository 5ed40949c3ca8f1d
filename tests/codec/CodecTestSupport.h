// Helpers of the compressor tests: input frames, compressing a run of frames,
// and an independent libavcodec decoder that reads the output format the way
// an AVI reader does (by FOURCC, bit depth and extra data).
#pragma once

#include "codec/Compressor.h"
#include "codec/CompressorTable.h"
#include "media/AviRecords.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace codectest {

// Frames as the pipeline hands them over: bottom-up rows of exactly
// width x bytes-per-pixel bytes.
using Frame = std::vector<std::uint8_t>;

BITMAPINFOHEADER MakeInputFormat(int width, int height, int bitsPerPixel);

// Frame number `number` of the test pattern (16-, 24- or 32-bit).
Frame MakePatternFrame(int width, int height, int bitsPerPixel, int number);

// B,G,R bytes of a frame, bottom-up, 3 bytes per pixel. 16-bit pixels are
// widened by repeating their top bits (v << 3 | v >> 2).
Frame ToBgr(const Frame& frame, int width, int height, int bitsPerPixel);

// Peak signal-to-noise ratio of two B,G,R frames of the same size, in dB
// (1000 for identical frames).
double Psnr(const Frame& a, const Frame& b);

struct Sample {
    std::vector<std::uint8_t> data;
    bool key = false;
};

struct Encoded {
    bool ok = false;
    std::string error;
    std::vector<std::uint8_t> format; // output format block
    std::int32_t maxFrameSize = 0;
    std::vector<Sample> samples;
};

// Opens the compressor for fourcc, asks for the output format and the maximum
// frame size as the pipeline does, and compresses the frames with settings
// (at rate frames per second when rate is not 0).
Encoded CompressFrames(std::uint32_t fourcc, const COMPVARS& settings, int width, int height,
                       int bitsPerPixel, const std::vector<Frame>& frames, std::uint32_t rate = 0);

COMPVARS MakeSettings(std::uint32_t fourcc, std::int32_t quality = -1, std::int32_t keyRate = 0,
                      std::int32_t dataRate = 0);

// Decodes compressed samples given an output format block; every decoded
// picture is handed out as B,G,R bottom-up rows.
class CTestDecoder {
public:
    CTestDecoder();
    ~CTestDecoder();
    CTestDecoder(const CTestDecoder&) = delete;
    CTestDecoder& operator=(const CTestDecoder&) = delete;

    // Finds the decoder by the FOURCC in biCompression (through libavformat's
    // AVI tag table) and opens it with the format's extra data and depth.
    bool Open(const std::vector<std::uint8_t>& format);
    // Feeds one sample; pictures that come out are appended to Pictures().
    bool Decode(const std::vector<std::uint8_t>& sample);
    // Drains the decoder.
    bool Finish();
    const std::vector<Frame>& Pictures() const { return pictures_; }

private:
    bool Receive();
    struct State;
    std::unique_ptr<State> state_;
    std::vector<Frame> pictures_;
};

// Decodes all samples in order; false when a sample does not decode. The
// pictures go to *pictures.
bool DecodeAll(const Encoded& encoded, std::size_t first, std::size_t end,
               std::vector<Frame>* pictures);

// Entries of the table whose encoder exists here, with or without the
// uncompressed entry.
std::vector<const kmx::CompressorEntry*> AvailableEntries(bool withUncompressed);

// Test-name text for an entry: its FOURCC with non-alphanumerics as '_'.
std::string EntryName(const kmx::CompressorEntry& entry);

} // namespace codectest

// The shape of the frames a compressor is fed with: packed bottom-up DIB rows
// of exactly width x bytes-per-pixel bytes (no row padding), or 'I420'
// pictures as the reader hands them out (media/DibFrame.h).
#pragma once

#include "media/AviRecords.h"
#include "media/decode/DibFrame.h"

#include <cstdint>

namespace kmx {

// Largest frame width or height a compressor takes.
inline constexpr int kMaxFrameDimension = 16384;

struct FrameLayout {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;        // 16 (5-5-5), 24 or 32; 12 for 'I420'
    std::int64_t rowBytes = 0;   // width x bytes per pixel (the luma row for 'I420')
    std::int64_t frameBytes = 0; // rowBytes x height (all three planes for 'I420')
    bool planar = false;
};

// Checks an input format (uncompressed BI_RGB, 16, 24 or 32 bits, bottom-up,
// or 'I420' with 12 bits; 1..kMaxFrameDimension pixels each way) and
// describes its rows. False for a null or unusable format.
bool DescribeInputFormat(const BITMAPINFOHEADER* format, FrameLayout* layout);

} // namespace kmx

// Conversion of the caller's bottom-up DIB rows (5-5-5, 24- or 32-bit) into
// planar 4:2:0 YUV with the BT.601 or the BT.709 matrix, in video levels
// (16..235) or in the full range that JPEG uses. Each chroma sample is taken from the average
// of its 2 x 2 block of pixels; a last column or row without a partner
// stands in for it.
#pragma once

#include "codec/FrameLayout.h"

#include <cstdint>

namespace kmx {

struct Yuv420Planes {
    std::uint8_t* y = nullptr;
    std::uint8_t* u = nullptr;
    std::uint8_t* v = nullptr;
    std::int64_t yStride = 0;
    std::int64_t uStride = 0;
    std::int64_t vStride = 0;
};

// Which matrix and which levels.
struct YuvLevels {
    bool fullRange = false;
    bool bt709 = false; // else BT.601
};

// Converts the pairs of rows (counted from the top) first .. end - 1, that
// is rows 2 first .. 2 end - 1, of a picture with layout's shape. Separate
// pair ranges write separate bytes and may be converted at the same time.
void ConvertRowPairsToYuv420(const FrameLayout& layout, const std::uint8_t* rows, YuvLevels levels,
                             const Yuv420Planes& out, int first, int end);

// Stretches count samples in video levels (luma 16..235, or chroma 16..240
// about 128) to the full 0..255 range.
void StretchToFullRange(const std::uint8_t* from, std::uint8_t* to, int count, bool luma);

} // namespace kmx

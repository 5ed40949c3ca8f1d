// Converts the caller's bottom-up DIB rows (5-5-5, 24- or 32-bit) into the
// pixel format an encoder takes, with libswscale. The bottom-up rows are read
// in place through a pointer to the last row and a negative stride.
#pragma once

#include "codec/FrameLayout.h"
#include "media/AvPointers.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <vector>

namespace kmx {

class CFrameConverter {
public:
    // Prepares the conversion of frames of the given layout to target. RGB
    // targets are converted exactly (point sampling, no dithering); YUV
    // targets with full-range levels when fullRange is set (JPEG), else
    // with video levels. False when libswscale refuses the pair.
    bool Init(const FrameLayout& layout, AVPixelFormat target, bool fullRange);

    // Converts one frame of layout.frameBytes bytes into out, which must have
    // the layout's size and the target format. False when not initialised.
    bool Convert(const std::uint8_t* rows, AVFrame* out);

    void Reset();

private:
    SwsContextPtr sws_;
    FrameLayout layout_;
    std::vector<std::uint8_t> padded_; // top-down rows one pixel wider (odd widths)
    std::int64_t paddedRowBytes_ = 0;
};

// The libswscale format of packed DIB pixels of the given depth (blue in the
// low bits / first byte); AV_PIX_FMT_NONE for other depths.
AVPixelFormat DibPixelFormat(int bitsPerPixel);

} // namespace kmx

// Converts the caller's bottom-up DIB rows (5-5-5, 24- or 32-bit) into the
// pixel format an encoder takes: planar 4:2:0 YUV with our own conversion,
// in bands on as many threads as the process works with, and RGB layouts
// with libswscale, which reads the bottom-up rows in place through a pointer
// to the last row and a negative stride.
#pragma once

#include "codec/BandWorkers.h"
#include "codec/FrameLayout.h"
#include "codec/RgbToYuv420.h"
#include "media/decode/AvPointers.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <memory>

namespace kmx {

class CFrameConverter {
public:
    // Prepares the conversion of frames of the given layout to target. RGB
    // targets are converted exactly (point sampling, no dithering); 4:2:0
    // targets with the matrix and levels given (full range for JPEG).
    // False for other YUV layouts and for pairs that libswscale refuses.
    bool Init(const FrameLayout& layout, AVPixelFormat target, YuvLevels levels);

    // Converts one frame of layout.frameBytes bytes into out, which must have
    // the layout's size and the target format. False when not initialised.
    bool Convert(const std::uint8_t* rows, AVFrame* out);

    void Reset();

private:
    void CopyPlanes(const std::uint8_t* planes, AVFrame* out) const;

    SwsContextPtr sws_;   // RGB targets
    bool yuv420_ = false; // 4:2:0 targets, converted in bands
    YuvLevels levels_;    // ... with this matrix and range
    std::unique_ptr<CBandWorkers> bands_;
    FrameLayout layout_;
};

// The libswscale format of packed DIB pixels of the given depth (blue in the
// low bits / first byte); AV_PIX_FMT_NONE for other depths.
AVPixelFormat DibPixelFormat(int bitsPerPixel);

} // namespace kmx

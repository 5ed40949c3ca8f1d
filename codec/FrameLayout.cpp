#include "codec/FrameLayout.h"

namespace kmx {

bool DescribeInputFormat(const BITMAPINFOHEADER* format, FrameLayout* layout) {
    if (format == nullptr || layout == nullptr) {
        return false;
    }
    const bool planar = format->biCompression == kFourccI420;
    if (format->biSize < kBitmapInfoHeaderSize || (format->biCompression != BI_RGB && !planar)) {
        return false;
    }
    const int bits = format->biBitCount;
    if (planar ? bits != 12 : (bits != 16 && bits != 24 && bits != 32)) {
        return false;
    }
    // A negative height would be a top-down frame; the pipeline only hands out
    // bottom-up ones, so anything else is refused rather than flipped silently.
    if (format->biWidth < 1 || format->biWidth > kMaxFrameDimension || format->biHeight < 1 ||
        format->biHeight > kMaxFrameDimension) {
        return false;
    }
    layout->width = format->biWidth;
    layout->height = format->biHeight;
    layout->bitsPerPixel = bits;
    layout->planar = planar;
    if (planar) {
        layout->rowBytes = format->biWidth;
        layout->frameBytes = PlanarImageBytes(format->biWidth, format->biHeight);
        return true;
    }
    layout->rowBytes = static_cast<std::int64_t>(format->biWidth) * (bits / 8);
    layout->frameBytes = layout->rowBytes * format->biHeight;
    return true;
}

} // namespace kmx

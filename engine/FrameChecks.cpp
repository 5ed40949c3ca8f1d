#include "engine/FrameChecks.h"

#include "media/decode/DibFrame.h"

#include <cstdint>

bool HasWorkableDepth(const BITMAPINFOHEADER& frame) {
    return frame.biBitCount == 16 || frame.biBitCount == 24 || frame.biBitCount == 32;
}

bool FillsImageExactly(const BITMAPINFOHEADER& frame) {
    const std::int64_t width = frame.biWidth;
    const std::int64_t height = frame.biHeight;
    const std::int64_t size = frame.biSizeImage;
    if (frame.biCompression == kmx::kFourccI420) {
        return width > 0 && height > 0 && kmx::PlanarImageBytes(width, height) == size;
    }
    const std::int64_t bytesPerPixel = frame.biBitCount / 8;
    return bytesPerPixel >= 1 && bytesPerPixel * height * width == size;
}

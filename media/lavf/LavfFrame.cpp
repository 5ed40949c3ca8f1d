#include "media/lavf/LavfFrame.h"

#include <cstring>
#include <new>

namespace kmx {
namespace {

// Where the pixel (x, y), counted from the top left, of the picture handed
// out comes from in the decoded one.
struct SourcePoint {
    std::int32_t x;
    std::int32_t y;
};

SourcePoint Turn(int rotation, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    switch (rotation) {
    case 90:
        return {y, h - 1 - x};
    case 180:
        return {w - 1 - x, h - 1 - y};
    case 270:
        return {w - 1 - y, x};
    default:
        return {x, y};
    }
}

// A row counted from the top of a bottom-up DIB.
const std::uint8_t* RowFromTop(const BITMAPINFOHEADER* dib, std::int32_t y, std::size_t stride) {
    const auto* pixels = reinterpret_cast<const std::uint8_t*>(dib) + dib->biSize;
    return pixels + static_cast<std::size_t>(dib->biHeight - 1 - y) * stride;
}

} // namespace

int LavfBitCount(std::int32_t width) {
    return (static_cast<std::int64_t>(width) * 3) % 4 == 0 ? 24 : 32;
}

bool CLavfFrame::Set(std::int32_t width, std::int32_t height, int rotation) {
    Release();
    const bool sideways = rotation == 90 || rotation == 270;
    const std::int32_t outWidth = sideways ? height : width;
    const std::int32_t outHeight = sideways ? width : height;
    if (!MakeDibGeometry(outWidth, outHeight, LavfBitCount(outWidth), geometry_)) {
        return false;
    }
    try {
        if (!dib_.Allocate(geometry_)) {
            Release();
            return false;
        }
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    rotation_ = rotation;
    sourceWidth_ = width;
    sourceHeight_ = height;
    return true;
}

void CLavfFrame::Release() {
    dib_.Release();
    geometry_ = DibGeometry{};
    rotation_ = 0;
    sourceWidth_ = 0;
    sourceHeight_ = 0;
}

const BITMAPINFOHEADER* CLavfFrame::Convert(const BITMAPINFOHEADER* decoded) {
    if (decoded == nullptr || !dib_.IsAllocated() || decoded->biBitCount != 24 ||
        decoded->biWidth != sourceWidth_ || decoded->biHeight != sourceHeight_) {
        return nullptr;
    }
    if (rotation_ == 0 && geometry_.bitCount == 24) {
        return decoded; // already as handed out
    }
    const std::size_t inStride = (static_cast<std::size_t>(sourceWidth_) * 3 + 3) & ~std::size_t{3};
    const std::size_t outBytes = static_cast<std::size_t>(geometry_.bitCount / 8);
    std::uint8_t* pixels = dib_.Pixels();
    for (std::int32_t y = 0; y < geometry_.height; ++y) {
        std::uint8_t* out =
            pixels + static_cast<std::size_t>(geometry_.height - 1 - y) * geometry_.stride;
        for (std::int32_t x = 0; x < geometry_.width; ++x, out += outBytes) {
            const SourcePoint from = Turn(rotation_, x, y, sourceWidth_, sourceHeight_);
            const std::uint8_t* in =
                RowFromTop(decoded, from.y, inStride) + static_cast<std::size_t>(from.x) * 3;
            std::memcpy(out, in, 3);
            if (outBytes == 4) {
                out[3] = 0xFF;
            }
        }
    }
    return dib_.Header();
}

} // namespace kmx

// The pictures of a libavformat input as handed out: turned upright as the
// stream's display matrix says, and widened to 32 bits per pixel when rows
// of 24 bits would need padding.
#pragma once

#include "media/decode/DibFrame.h"

#include <cstdint>

namespace kmx {

class CLavfFrame {
public:
    // width x height: the decoded picture; rotation: clockwise degrees to
    // turn it by (0, 90, 180 or 270). False for absurd sizes or no memory.
    bool Set(std::int32_t width, std::int32_t height, int rotation);
    void Release();

    // The size of the pictures handed out (after turning).
    std::int32_t Width() const { return geometry_.width; }
    std::int32_t Height() const { return geometry_.height; }
    int BitCount() const { return geometry_.bitCount; }
    bool Turns() const { return rotation_ != 0; }

    // Turns and widens a decoded 24-bit DIB of the decoded size; null when
    // it does not have that shape.
    const BITMAPINFOHEADER* Convert(const BITMAPINFOHEADER* decoded);

private:
    int rotation_ = 0;
    std::int32_t sourceWidth_ = 0;
    std::int32_t sourceHeight_ = 0;
    DibGeometry geometry_;
    CDibBuffer dib_;
};

// The bit count pictures of this width are handed out with: 24 when a row of
// 24 bits fills whole 4-byte words, else 32.
int LavfBitCount(std::int32_t width);

} // namespace kmx

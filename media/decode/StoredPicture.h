// A decoded picture kept as the decoder gave it: its planes one after the
// other, each starting 64 bytes aligned from the first, with the decoder's
// row strides. Such a picture takes less room than its RGB rows (half for
// 4:2:0), and turning it into them later gives the same rows as turning the
// decoder's picture would have.
#pragma once

#include <cstdint>

namespace kmx {

struct StoredPicture {
    int format = -1;     // the planes' AVPixelFormat; -1: the bytes are the frame's DIB pixels
    int colourSpace = 0; // AVColorSpace and AVColorRange as the picture named them
    int colourRange = 0;
    int stride[4] = {0, 0, 0, 0};
    std::uint32_t offset[4] = {0, 0, 0, 0};
    std::uint32_t bytes = 0; // the whole picture
};

} // namespace kmx

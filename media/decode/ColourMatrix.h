// Which YUV matrix a picture that names none is in: BT.709 above standard
// definition (as players read such pictures and as HD is made), BT.601 up
// to it. The program's own delivery streams follow the same rule.
#pragma once

namespace kmx {

inline bool AboveStandardDefinition(int width, int height) {
    return width > 1024 || height > 576;
}

} // namespace kmx

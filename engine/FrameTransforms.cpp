#include "engine/FrameTransforms.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

// Reverses (or half-mirrors) each row; N is the pixel size so the copies are
// fixed-size moves the compiler turns into plain loads and stores.
template <int N>
void MirrorRowPixels(std::uint8_t* pixels, int width, int height, bool keepLeft, bool keepRight) {
    const std::size_t stride = static_cast<std::size_t>(width) * N;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* left = pixels + stride * static_cast<std::size_t>(row);
        std::uint8_t* right = left + stride - N;
        for (int k = 0; k < width / 2; ++k, left += N, right -= N) {
            std::uint8_t temp[N];
            std::memcpy(temp, left, N);
            if (!keepLeft) {
                std::memcpy(left, right, N);
            }
            if (!keepRight) {
                std::memcpy(right, temp, N);
            }
        }
    }
}

// Reverses every row through a scratch row: each pixel is read and written
// once, with whole-word moves, which is several times faster than swapping
// pixel pairs byte by byte. scratch holds a row and 4 bytes more.
template <int N>
void ReverseRows(std::uint8_t* pixels, int width, int height, std::uint8_t* scratch) {
    const std::size_t stride = static_cast<std::size_t>(width) * N;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* line = pixels + stride * static_cast<std::size_t>(row);
        const std::uint8_t* source = line + stride - N;
        std::uint8_t* target = scratch;
        if constexpr (N == 3) {
            // 4-byte moves: the extra byte written is overwritten by the next
            // pixel (or lands in the scratch row's spare bytes); the extra
            // byte read stays inside the row because the last pixel of the
            // row is copied on its own.
            std::memcpy(target, source, 3);
            for (int k = 1; k < width; ++k) {
                source -= 3;
                target += 3;
                std::uint32_t value;
                std::memcpy(&value, source, 4);
                std::memcpy(target, &value, 4);
            }
        } else {
            for (int k = 0; k < width; ++k, source -= N, target += N) {
                std::memcpy(target, source, N);
            }
        }
        std::memcpy(line, scratch, stride);
    }
}

} // namespace

void CFrameTransforms::Reset() {
    std::vector<std::uint8_t>().swap(previous_);
    std::vector<std::uint8_t>().swap(scratch_);
    std::vector<std::uint8_t>().swap(unit_);
    havePrevious_ = false;
}

bool CFrameTransforms::FrameCombineOddAndOldEven(std::uint8_t* pixels, int width, int height,
                                                 int bytesPerPixel) {
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) {
        return true;
    }
    const std::size_t stride =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
    const std::size_t size = stride * static_cast<std::size_t>(height);
    if (!havePrevious_ || previous_.size() != size) {
        try {
            previous_.assign(pixels, pixels + size);
            scratch_.resize(size);
        } catch (const std::bad_alloc&) {
            Reset();
            return false;
        }
        havePrevious_ = true;
    }
    std::memcpy(scratch_.data(), pixels, size);
    for (int row = 0; row < height; row += 2) {
        const std::size_t offset = stride * static_cast<std::size_t>(row);
        std::memcpy(pixels + offset, previous_.data() + offset, stride);
    }
    std::swap(previous_, scratch_);
    return true;
}

void CFrameTransforms::MirrorRows(std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                                  bool interlaced, bool mirrorUpperHalf, bool mirrorLowerHalf) {
    // Frames one pixel wide or high are left as they are by both mirrors.
    if (width <= 1 || height <= 1 || bytesPerPixel <= 0) {
        return;
    }
    const std::size_t stride =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
    const int rowsPerUnit = interlaced ? 2 : 1;
    const std::size_t unitSize = stride * static_cast<std::size_t>(rowsPerUnit);
    if (unit_.size() < unitSize) {
        try {
            unit_.resize(unitSize);
        } catch (const std::bad_alloc&) {
            return;
        }
    }
    // Unit k from the start covers rows k*u .. k*u+u-1, unit k from the end the
    // rows height-u-k*u .. height-1-k*u. Units are paired only while they do not
    // overlap, so a middle row (or, interlaced with a height of 4m + 3, three
    // middle rows) stays where it is.
    for (int k = 0;; ++k) {
        const int startFirst = k * rowsPerUnit;
        const int startLast = startFirst + rowsPerUnit - 1;
        const int endFirst = height - rowsPerUnit - k * rowsPerUnit;
        if (startLast >= endFirst) {
            break;
        }
        std::uint8_t* start = pixels + stride * static_cast<std::size_t>(startFirst);
        std::uint8_t* end = pixels + stride * static_cast<std::size_t>(endFirst);
        std::memcpy(unit_.data(), start, unitSize);
        if (!mirrorLowerHalf) {
            std::memcpy(start, end, unitSize);
        }
        if (!mirrorUpperHalf) {
            std::memcpy(end, unit_.data(), unitSize);
        }
    }
}

void CFrameTransforms::MirrorColumns(std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                                     bool mirrorLeftHalf, bool mirrorRightHalf) {
    if (width <= 1 || height <= 1) {
        return;
    }
    if (!mirrorLeftHalf && !mirrorRightHalf && bytesPerPixel >= 1 && bytesPerPixel <= 4) {
        const std::size_t scratchSize =
            static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel) + 4;
        if (unit_.size() < scratchSize) {
            try {
                unit_.resize(scratchSize);
            } catch (const std::bad_alloc&) {
                unit_.clear(); // fall back to swapping pixel pairs in place
            }
        }
        if (unit_.size() >= scratchSize) {
            switch (bytesPerPixel) {
            case 1:
                ReverseRows<1>(pixels, width, height, unit_.data());
                return;
            case 2:
                ReverseRows<2>(pixels, width, height, unit_.data());
                return;
            case 3:
                ReverseRows<3>(pixels, width, height, unit_.data());
                return;
            default:
                ReverseRows<4>(pixels, width, height, unit_.data());
                return;
            }
        }
    }
    switch (bytesPerPixel) {
    case 1:
        MirrorRowPixels<1>(pixels, width, height, mirrorLeftHalf, mirrorRightHalf);
        break;
    case 2:
        MirrorRowPixels<2>(pixels, width, height, mirrorLeftHalf, mirrorRightHalf);
        break;
    case 3:
        MirrorRowPixels<3>(pixels, width, height, mirrorLeftHalf, mirrorRightHalf);
        break;
    case 4:
        MirrorRowPixels<4>(pixels, width, height, mirrorLeftHalf, mirrorRightHalf);
        break;
    default:
        break;
    }
}

#include "engine/FrameTransforms.h"

#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <new>
#include <type_traits>
#include <utility>

namespace {

// Calls run with std::integral_constant<int, N> for a pixel size N of 1 to 4,
// so that run can hand N on as a template argument; false, without calling
// it, for any other size.
template <int N = 1, typename Run> bool WithPixelSize(int bytesPerPixel, Run run) {
    if constexpr (N > 4) {
        return false;
    } else {
        if (bytesPerPixel == N) {
            run(std::integral_constant<int, N>{});
            return true;
        }
        return WithPixelSize<N + 1>(bytesPerPixel, run);
    }
}

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

#if defined(__x86_64__) || defined(__i386__)
// Five 3-byte pixels per 16-byte shuffle. The byte read past the five pixels
// lies inside the source row and the byte written past them inside the
// target row, where the next pixel overwrites it.
__attribute__((target("ssse3"))) void ReverseRgbRowSsse3(std::uint8_t* target,
                                                         const std::uint8_t* source, int width) {
    const __m128i order = _mm_setr_epi8(12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2, 15);
    std::memcpy(target, source + static_cast<std::size_t>(width - 1) * 3, 3);
    int k = 1;
    for (; k + 5 < width; k += 5) {
        const auto* from = source + static_cast<std::size_t>(width - 5 - k) * 3;
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + static_cast<std::size_t>(k) * 3),
                         _mm_shuffle_epi8(pixels, order));
    }
    for (; k < width; ++k) {
        std::memcpy(target + static_cast<std::size_t>(k) * 3,
                    source + static_cast<std::size_t>(width - 1 - k) * 3, 3);
    }
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3") != 0;
    return has;
}
#endif

// Writes the pixels of one row in reverse order into another row.
template <int N> void ReverseRowInto(std::uint8_t* target, const std::uint8_t* source, int width) {
    const std::uint8_t* from = source + static_cast<std::size_t>(width - 1) * N;
#if defined(__x86_64__) || defined(__i386__)
    if constexpr (N == 3) {
        if (HasSsse3()) {
            ReverseRgbRowSsse3(target, source, width);
            return;
        }
    }
#endif
    if constexpr (N == 3) {
        // 4-byte moves for all but the two pixels at the row ends: the byte
        // read past a pixel lies inside the source row, and the byte written
        // past one is overwritten by the next pixel.
        std::memcpy(target, from, 3);
        for (int k = 1; k < width - 1; ++k) {
            from -= 3;
            std::uint32_t value;
            std::memcpy(&value, from, 4);
            std::memcpy(target + static_cast<std::size_t>(k) * 3, &value, 4);
        }
        if (width > 1) {
            std::memcpy(target + static_cast<std::size_t>(width - 1) * 3, source, 3);
        }
    } else {
        for (int k = 0; k < width; ++k, from -= N, target += N) {
            std::memcpy(target, from, N);
        }
    }
}

// Reverses every row in place through a scratch row of width pixels.
template <int N>
void ReverseRows(std::uint8_t* pixels, int width, int height, std::uint8_t* scratch) {
    const std::size_t stride = static_cast<std::size_t>(width) * N;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* line = pixels + stride * static_cast<std::size_t>(row);
        ReverseRowInto<N>(scratch, line, width);
        std::memcpy(line, scratch, stride);
    }
}

template <int N>
void CopyRowsMirrored(const std::uint8_t* source, std::uint8_t* target, int width, int height,
                      bool mirrorRows, bool interlaced, bool mirrorColumns) {
    const std::size_t stride = static_cast<std::size_t>(width) * N;
    const int unit = interlaced ? 2 : 1;
    for (int row = 0; row < height; ++row) {
        // The row MirrorRows would bring here: unit k from the start and unit
        // k from the end swap places while they do not overlap.
        int from = row;
        if (mirrorRows) {
            const int startUnit = row / unit;
            const int endUnit = (height - 1 - row) / unit;
            if ((startUnit + 1) * unit <= height - unit - startUnit * unit) {
                from = height - unit - startUnit * unit + row % unit;
            } else if ((endUnit + 1) * unit <= height - unit - endUnit * unit) {
                from = endUnit * unit + (row - (height - unit - endUnit * unit));
            }
        }
        const std::uint8_t* in = source + stride * static_cast<std::size_t>(from);
        std::uint8_t* out = target + stride * static_cast<std::size_t>(row);
        if (mirrorColumns) {
            ReverseRowInto<N>(out, in, width);
        } else {
            std::memcpy(out, in, stride);
        }
    }
}

} // namespace

void CFrameTransforms::CopyMirrored(const std::uint8_t* source, std::uint8_t* target, int width,
                                    int height, int bytesPerPixel, bool mirrorRows, bool interlaced,
                                    bool mirrorColumns) {
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) {
        return;
    }
    // As in place, frames one pixel wide or high stay as they are.
    if (width == 1 || height == 1 || bytesPerPixel > 4) {
        mirrorRows = mirrorColumns = false;
    }
    const bool copied = WithPixelSize(bytesPerPixel, [&](auto size) {
        CopyRowsMirrored<decltype(size)::value>(source, target, width, height, mirrorRows,
                                                interlaced, mirrorColumns);
    });
    if (!copied) {
        std::memcpy(target, source,
                    static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                        static_cast<std::size_t>(bytesPerPixel));
    }
}

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
            static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
        if (unit_.size() < scratchSize) {
            try {
                unit_.resize(scratchSize);
            } catch (const std::bad_alloc&) {
                unit_.clear(); // fall back to swapping pixel pairs in place
            }
        }
        if (unit_.size() >= scratchSize) {
            WithPixelSize(bytesPerPixel, [&](auto size) {
                ReverseRows<decltype(size)::value>(pixels, width, height, unit_.data());
            });
            return;
        }
    }
    WithPixelSize(bytesPerPixel, [&](auto size) {
        MirrorRowPixels<decltype(size)::value>(pixels, width, height, mirrorLeftHalf,
                                               mirrorRightHalf);
    });
}

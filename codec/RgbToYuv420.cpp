#include "codec/RgbToYuv420.h"

namespace kmx {
namespace {

// The matrix in 16-bit fixed point, scaled to the levels.
struct Coefficients {
    int yr, yg, yb, yOffset;
    int ur, ug, ub;
    int vr, vg, vb;
};

// Luma weights and the chroma rows of a matrix, unscaled.
struct Matrix {
    double yr, yg, yb;
    double ur, ug;
    double vg, vb;
};

constexpr Matrix kBt601 = {0.299, 0.587, 0.114, -0.168736, -0.331264, -0.418688, -0.081312};
constexpr Matrix kBt709 = {0.2126, 0.7152, 0.0722, -0.114572, -0.385428, -0.454153, -0.045847};

constexpr int Fixed(double value) {
    return static_cast<int>(value * 65536.0 + (value < 0 ? -0.5 : 0.5));
}

constexpr Coefficients MakeCoefficients(const Matrix& m, bool fullRange) {
    const double luma = fullRange ? 1.0 : 219.0 / 255.0;
    const double chroma = fullRange ? 1.0 : 224.0 / 255.0;
    return {Fixed(m.yr * luma),   Fixed(m.yg * luma),   Fixed(m.yb * luma),  fullRange ? 0 : 16,
            Fixed(m.ur * chroma), Fixed(m.ug * chroma), Fixed(0.5 * chroma), Fixed(0.5 * chroma),
            Fixed(m.vg * chroma), Fixed(m.vb * chroma)};
}

constexpr Coefficients kVideoLevels = MakeCoefficients(kBt601, false);
constexpr Coefficients kFullRange = MakeCoefficients(kBt601, true);
constexpr Coefficients kVideoLevels709 = MakeCoefficients(kBt709, false);
constexpr Coefficients kFullRange709 = MakeCoefficients(kBt709, true);

inline std::uint8_t Clamp(int value) {
    return static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

struct Rgb {
    int r, g, b;
};

// One pixel of Bytes bytes: blue first; 5-5-5 widened to eight bits.
template <int Bytes> inline Rgb Pixel(const std::uint8_t* p) {
    if constexpr (Bytes == 2) {
        const int value = p[0] | (p[1] << 8);
        const int b = value & 31;
        const int g = (value >> 5) & 31;
        const int r = (value >> 10) & 31;
        return {(r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2)};
    } else {
        return {p[2], p[1], p[0]};
    }
}

template <const Coefficients& c> inline std::uint8_t Luma(const Rgb& p) {
    return Clamp((c.yr * p.r + c.yg * p.g + c.yb * p.b + (c.yOffset << 16) + 32768) >> 16);
}

// Sums of four pixels: 18 fraction bits, rounded, chroma centred on 128.
constexpr int kChromaRounding = (128 << 18) + (1 << 17);

template <const Coefficients& c>
inline void Chroma(int r, int g, int b, std::uint8_t* u, std::uint8_t* v) {
    *u = Clamp((c.ur * r + c.ug * g + c.ub * b + kChromaRounding) >> 18);
    *v = Clamp((c.vr * r + c.vg * g + c.vb * b + kChromaRounding) >> 18);
}

// Two rows (upper and lower may be the same row) into their luma rows and
// one chroma row. Both luma rows are written; they are the same row when
// the rows are.
template <int Bytes, const Coefficients& c>
void ConvertPair(const std::uint8_t* upper, const std::uint8_t* lower, int width,
                 std::uint8_t* upperLuma, std::uint8_t* lowerLuma, std::uint8_t* u,
                 std::uint8_t* v) {
    const int pairs = width / 2;
    for (int k = 0; k < pairs; ++k) {
        const int x = 2 * k;
        const Rgb a = Pixel<Bytes>(upper + x * Bytes);
        const Rgb b = Pixel<Bytes>(upper + (x + 1) * Bytes);
        const Rgb d = Pixel<Bytes>(lower + x * Bytes);
        const Rgb e = Pixel<Bytes>(lower + (x + 1) * Bytes);
        upperLuma[x] = Luma<c>(a);
        upperLuma[x + 1] = Luma<c>(b);
        lowerLuma[x] = Luma<c>(d);
        lowerLuma[x + 1] = Luma<c>(e);
        Chroma<c>(a.r + b.r + d.r + e.r, a.g + b.g + d.g + e.g, a.b + b.b + d.b + e.b, u + k,
                  v + k);
    }
    if (width % 2 != 0) { // the last pixel stands in for its missing partner
        const int x = width - 1;
        const Rgb a = Pixel<Bytes>(upper + x * Bytes);
        const Rgb d = Pixel<Bytes>(lower + x * Bytes);
        upperLuma[x] = Luma<c>(a);
        lowerLuma[x] = Luma<c>(d);
        Chroma<c>(2 * (a.r + d.r), 2 * (a.g + d.g), 2 * (a.b + d.b), u + pairs, v + pairs);
    }
}

template <int Bytes, const Coefficients& c>
void ConvertPairs(const FrameLayout& layout, const std::uint8_t* rows, const Yuv420Planes& out,
                  int first, int end) {
    // Row y from the top is memory row height - 1 - y.
    const auto row = [&](std::int64_t y) {
        return rows + (layout.height - 1 - y) * layout.rowBytes;
    };
    for (std::int64_t pair = first; pair < end; ++pair) {
        const std::int64_t top = 2 * pair;
        const bool single = top + 1 >= layout.height;
        std::uint8_t* upperLuma = out.y + top * out.yStride;
        ConvertPair<Bytes, c>(row(top), row(single ? top : top + 1), layout.width, upperLuma,
                              single ? upperLuma : upperLuma + out.yStride,
                              out.u + pair * out.uStride, out.v + pair * out.vStride);
    }
}

template <int Bytes>
void ConvertPairs(const FrameLayout& layout, const std::uint8_t* rows, YuvLevels levels,
                  const Yuv420Planes& out, int first, int end) {
    if (levels.bt709) {
        if (levels.fullRange) {
            ConvertPairs<Bytes, kFullRange709>(layout, rows, out, first, end);
        } else {
            ConvertPairs<Bytes, kVideoLevels709>(layout, rows, out, first, end);
        }
    } else if (levels.fullRange) {
        ConvertPairs<Bytes, kFullRange>(layout, rows, out, first, end);
    } else {
        ConvertPairs<Bytes, kVideoLevels>(layout, rows, out, first, end);
    }
}

} // namespace

void StretchToFullRange(const std::uint8_t* from, std::uint8_t* to, int count, bool luma) {
    // 255 / 219 and 255 / 224 in 8 fraction bits, rounded; a loop the
    // compiler turns into vector code.
    if (luma) {
        for (int i = 0; i < count; ++i) {
            const int value = ((from[i] - 16) * 298 + 128) >> 8;
            to[i] = static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        const int value = 128 + (((from[i] - 128) * 291 + 128) >> 8);
        to[i] = static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
    }
}

void ConvertRowPairsToYuv420(const FrameLayout& layout, const std::uint8_t* rows, YuvLevels levels,
                             const Yuv420Planes& out, int first, int end) {
    switch (layout.bitsPerPixel) {
    case 16:
        ConvertPairs<2>(layout, rows, levels, out, first, end);
        break;
    case 24:
        ConvertPairs<3>(layout, rows, levels, out, first, end);
        break;
    case 32:
        ConvertPairs<4>(layout, rows, levels, out, first, end);
        break;
    default:
        break;
    }
}

} // namespace kmx

#include "engine/OverlayDrawing.h"

#include <algorithm>
#include <cstring>

namespace {

template <int DB, int SB> inline void Convert(std::uint8_t* d, const std::uint8_t* s) {
    if constexpr (DB == SB) {
        std::memcpy(d, s, DB);
    } else if constexpr (DB == 2) {
        // Bytes blue, green, red (and an ignored fourth) to a 5-5-5 word.
        const unsigned word = ((s[2] >> 3u) << 10u) | ((s[1] >> 3u) << 5u) | (s[0] >> 3u);
        d[0] = static_cast<std::uint8_t>(word);
        d[1] = static_cast<std::uint8_t>(word >> 8u);
    } else if constexpr (SB == 2) {
        const unsigned v = static_cast<unsigned>(s[0] | (s[1] << 8));
        d[0] = static_cast<std::uint8_t>((v & 31u) * 8u);
        d[1] = static_cast<std::uint8_t>(((v >> 5u) & 31u) * 8u);
        d[2] = static_cast<std::uint8_t>(((v >> 10u) & 31u) * 8u);
        if constexpr (DB == 4) {
            d[3] = 0;
        }
    } else {
        std::memcpy(d, s, 3);
        if constexpr (DB == 4) {
            d[3] = 0;
        }
    }
}

// The part of a slot's rectangle that lies inside the frame (and, for the
// unscaled overlay, inside the overlay picture), in frame coordinates.
struct Span {
    std::int64_t firstRow, endRow, firstColumn, endColumn;
};

// Crop zoom about the centre m of an axis: m + ((v - m) * m) / (c + m), with
// the division truncating toward zero.
inline std::int64_t CropZoom(std::int64_t v, std::int64_t size, std::int64_t crop) {
    const std::int64_t m = size / 2;
    return m + ((v - m) * m) / (crop + m);
}

// Border test for a pixel at (r, q) relative to the rectangle; rowOnBorder
// already holds the row part of the test.
inline bool OnBorder(bool rowOnBorder, std::int64_t q, const OverlaySettings& slot) {
    const std::int64_t bw = slot.borderWidth;
    return rowOnBorder || (bw != 0 && (q < bw || std::int64_t{slot.width} - 1 - q < bw));
}

inline bool RowOnBorder(std::int64_t r, const OverlaySettings& slot) {
    const std::int64_t bw = slot.borderWidth;
    return bw != 0 && (r < bw || std::int64_t{slot.height} - 1 - r < bw);
}

template <int DB, int SB>
void DrawScaled(std::uint8_t* base, int W, int H, const std::uint8_t* overlay,
                const OverlaySettings& slot, const Span& span, const std::int32_t* columns) {
    const std::int64_t sh = slot.sourceHeight;
    const std::size_t baseStride = static_cast<std::size_t>(W) * DB;
    const std::size_t overlayStride = static_cast<std::size_t>(slot.sourceWidth) * SB;
    for (std::int64_t i = span.firstRow; i < span.endRow; ++i) {
        const std::int64_t r = i - slot.y;
        std::int64_t o = (sh * r) / slot.height;
        if (slot.crop > 0) {
            o = CropZoom(o, sh, slot.crop);
        }
        o &= ~std::int64_t{1}; // one field: only overlay rows 0, 2, 4, ... from the top
        const std::uint8_t* sourceRow =
            overlay + overlayStride * static_cast<std::size_t>(sh - 1 - o);
        std::uint8_t* destination = base + baseStride * static_cast<std::size_t>(H - 1 - i) +
                                    static_cast<std::size_t>(span.firstColumn) * DB;
        const bool rowOnBorder = RowOnBorder(r, slot);
        for (std::int64_t k = span.firstColumn; k < span.endColumn; ++k, destination += DB) {
            if (OnBorder(rowOnBorder, k - slot.x, slot)) {
                Convert<DB, 3>(destination, slot.borderColor.data());
            } else {
                const std::int32_t s = columns[k - span.firstColumn];
                Convert<DB, SB>(destination, sourceRow + static_cast<std::size_t>(s) * SB);
            }
        }
    }
}

template <int DB, int SB>
void DrawUnscaled(std::uint8_t* base, int W, int H, const std::uint8_t* overlay,
                  const OverlaySettings& slot, const Span& span) {
    const std::int64_t sh = slot.sourceHeight;
    const std::size_t baseStride = static_cast<std::size_t>(W) * DB;
    const std::size_t overlayStride = static_cast<std::size_t>(slot.sourceWidth) * SB;
    for (std::int64_t j = span.firstRow; j < span.endRow; ++j) {
        const std::uint8_t* source = overlay +
                                     overlayStride * static_cast<std::size_t>(sh - 1 - j) +
                                     static_cast<std::size_t>(span.firstColumn) * SB;
        std::uint8_t* destination = base + baseStride * static_cast<std::size_t>(H - 1 - j) +
                                    static_cast<std::size_t>(span.firstColumn) * DB;
        const bool rowOnBorder = RowOnBorder(j - slot.y, slot);
        for (std::int64_t k = span.firstColumn; k < span.endColumn;
             ++k, destination += DB, source += SB) {
            if (OnBorder(rowOnBorder, k - slot.x, slot)) {
                Convert<DB, 3>(destination, slot.borderColor.data());
            } else {
                Convert<DB, SB>(destination, source);
            }
        }
    }
}

// Runs F<DB, SB> for the depths the compositor supports; other combinations
// (an 8-bit base frame in particular) draw nothing.
template <template <int, int> class F, typename... Args>
void Dispatch(int B, int sB, const Args&... args) {
    switch (B * 8 + sB) {
    case 2 * 8 + 2:
        F<2, 2>::Run(args...);
        break;
    case 2 * 8 + 3:
        F<2, 3>::Run(args...);
        break;
    case 2 * 8 + 4:
        F<2, 4>::Run(args...);
        break;
    case 3 * 8 + 2:
        F<3, 2>::Run(args...);
        break;
    case 3 * 8 + 3:
        F<3, 3>::Run(args...);
        break;
    case 3 * 8 + 4:
        F<3, 4>::Run(args...);
        break;
    case 4 * 8 + 2:
        F<4, 2>::Run(args...);
        break;
    case 4 * 8 + 3:
        F<4, 3>::Run(args...);
        break;
    case 4 * 8 + 4:
        F<4, 4>::Run(args...);
        break;
    default:
        break;
    }
}

template <int DB, int SB> struct ConvertOne {
    static void Run(std::uint8_t* d, const std::uint8_t* s) { Convert<DB, SB>(d, s); }
};
template <int DB, int SB> struct ScaledRun {
    template <typename... A> static void Run(const A&... a) { DrawScaled<DB, SB>(a...); }
};
template <int DB, int SB> struct UnscaledRun {
    template <typename... A> static void Run(const A&... a) { DrawUnscaled<DB, SB>(a...); }
};

// Clips the slot's rectangle to the frame; false when nothing is left or the
// rectangle or the overlay has no area (no division by zero later).
bool ClipToFrame(const OverlaySettings& slot, int W, int H, Span& span) {
    if (slot.width <= 0 || slot.height <= 0 || slot.sourceWidth <= 0 || slot.sourceHeight <= 0 ||
        W <= 0 || H <= 0) {
        return false;
    }
    span.firstRow = std::max<std::int64_t>(slot.y, 0);
    span.endRow = std::min<std::int64_t>(std::int64_t{slot.y} + slot.height, H);
    span.firstColumn = std::max<std::int64_t>(slot.x, 0);
    span.endColumn = std::min<std::int64_t>(std::int64_t{slot.x} + slot.width, W);
    return span.firstRow < span.endRow && span.firstColumn < span.endColumn;
}

void BuildColumns(ScaledOverlayColumns& columns, const OverlaySettings& slot, int W,
                  const Span& span) {
    const std::int64_t key[5] = {slot.x, slot.width, W, slot.sourceWidth, slot.crop};
    if (std::equal(std::begin(key), std::end(key), std::begin(columns.key))) {
        return;
    }
    const std::int64_t sw = slot.sourceWidth;
    columns.sourceColumn.resize(static_cast<std::size_t>(span.endColumn - span.firstColumn));
    for (std::int64_t k = span.firstColumn; k < span.endColumn; ++k) {
        const std::int64_t q = k - slot.x;
        std::int64_t s = (sw * q) / slot.width;
        if (slot.crop > 0) {
            s = CropZoom(s, sw, slot.crop);
        }
        columns.sourceColumn[static_cast<std::size_t>(k - span.firstColumn)] =
            static_cast<std::int32_t>(s);
    }
    std::copy(std::begin(key), std::end(key), std::begin(columns.key));
}

} // namespace

void ConvertPixel(std::uint8_t* destination, int destinationBytes, const std::uint8_t* source,
                  int sourceBytes) {
    Dispatch<ConvertOne>(destinationBytes, sourceBytes, destination, source);
}

void DrawScaledOverlay(std::uint8_t* base, int W, int H, int B, const std::uint8_t* overlay,
                       const OverlaySettings& slot, ScaledOverlayColumns* columns) {
    Span span{};
    if (!ClipToFrame(slot, W, H, span)) {
        return;
    }
    ScaledOverlayColumns local;
    ScaledOverlayColumns& map = columns != nullptr ? *columns : local;
    BuildColumns(map, slot, W, span);
    const std::int32_t* sourceColumn = map.sourceColumn.data();
    Dispatch<ScaledRun>(B, slot.sourceBytesPerPixel, base, W, H, overlay, slot, span, sourceColumn);
}

void DrawUnscaledOverlay(std::uint8_t* base, int W, int H, int B, const std::uint8_t* overlay,
                         const OverlaySettings& slot) {
    Span span{};
    if (!ClipToFrame(slot, W, H, span)) {
        return;
    }
    span.endRow = std::min<std::int64_t>(span.endRow, slot.sourceHeight);
    span.endColumn = std::min<std::int64_t>(span.endColumn, slot.sourceWidth);
    if (span.firstRow >= span.endRow || span.firstColumn >= span.endColumn) {
        return;
    }
    Dispatch<UnscaledRun>(B, slot.sourceBytesPerPixel, base, W, H, overlay, slot, span);
}

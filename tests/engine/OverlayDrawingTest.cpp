#include "engine/OverlayDrawing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// A picture of packed bottom-up rows addressed top-down, as the compositor sees it.
struct Picture {
    int width, height, bytes;
    std::vector<std::uint8_t> pixels;

    Picture(int w, int h, int b, std::uint8_t fill = 0)
        : width(w), height(h), bytes(b), pixels(static_cast<std::size_t>(w * h * b), fill) {}

    std::uint8_t* At(int column, int topDownRow) {
        return pixels.data() + (static_cast<std::size_t>(height - 1 - topDownRow) *
                                    static_cast<std::size_t>(width) +
                                static_cast<std::size_t>(column)) *
                                   static_cast<std::size_t>(bytes);
    }
};

// A 24-bit overlay whose pixel (c, r) holds blue = c, green = r, red = 0x80.
Picture CoordinateOverlay(int w, int h) {
    Picture p(w, h, 3);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            std::uint8_t* px = p.At(c, r);
            px[0] = static_cast<std::uint8_t>(c);
            px[1] = static_cast<std::uint8_t>(r);
            px[2] = 0x80;
        }
    }
    return p;
}

OverlaySettings Slot(int x, int y, int w, int h, const Picture& overlay) {
    OverlaySettings s;
    s.x = x;
    s.y = y;
    s.width = w;
    s.height = h;
    s.sourceWidth = overlay.width;
    s.sourceHeight = overlay.height;
    s.sourceBytesPerPixel = overlay.bytes;
    s.headerSize = 40;
    return s;
}

TEST(OverlayDrawing, ConvertPixelCoversEveryDepthPair) {
    // Blue 31, green 16, red 1 in 5 bits, and the same as a 5-5-5 word.
    const std::uint8_t bgra[4] = {0xF8, 0x80, 0x08, 0x77};
    const std::uint8_t w555[2] = {0x1F, 0x06};
    struct Case {
        int to;
        const std::uint8_t* from;
        int fromBytes;
        std::vector<std::uint8_t> expected; // of a destination filled with 0xAA
    };
    const Case cases[] = {
        {2, bgra, 3, {0x1F, 0x06, 0xAA, 0xAA}}, {2, bgra, 4, {0x1F, 0x06, 0xAA, 0xAA}},
        {2, w555, 2, {0x1F, 0x06, 0xAA, 0xAA}}, {3, w555, 2, {0xF8, 0x80, 0x08, 0xAA}},
        {4, w555, 2, {0xF8, 0x80, 0x08, 0}},    {4, bgra, 3, {0xF8, 0x80, 0x08, 0}},
        {4, bgra, 4, {0xF8, 0x80, 0x08, 0x77}}, {3, bgra, 4, {0xF8, 0x80, 0x08, 0xAA}},
        {1, bgra, 3, {0xAA, 0xAA, 0xAA, 0xAA}}, // an 8-bit destination is never written
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> d(4, 0xAA);
        ConvertPixel(d.data(), c.to, c.from, c.fromBytes);
        EXPECT_EQ(d, c.expected) << c.fromBytes << " bytes to " << c.to;
    }
}

// Clipped by the frame's top and by the overlay's right edge.
TEST(OverlayDrawing, SplitScreenShowsOverlayPixelsAtTheirOwnPlace) {
    Picture base(640, 480, 3, 0x11);
    Picture overlay = CoordinateOverlay(320, 240);
    OverlaySettings slot = Slot(300, -20, 100, 100, overlay);
    DrawUnscaledOverlay(base.pixels.data(), 640, 480, 3, overlay.pixels.data(), slot);
    for (int row = 0; row < 100; ++row) {
        for (int column = 290; column < 410; ++column) {
            const std::uint8_t* px = base.At(column, row);
            if (column >= 300 && column < 320 && row < 80) {
                EXPECT_EQ(px[0], static_cast<std::uint8_t>(column));
                EXPECT_EQ(px[1], static_cast<std::uint8_t>(row));
            } else {
                ASSERT_EQ(px[2], 0x11) << column << "," << row;
            }
        }
    }
}

// No area, entirely outside the frame, or an 8-bit base frame: nothing
// drawn, no division by zero. (Scaled rectangles clipped at the frame edges:
// the per-pixel formula below judges them.)
TEST(OverlayDrawing, BadRectanglesAreIgnored) {
    Picture overlay = CoordinateOverlay(20, 20);
    for (auto [x, w, h, bytes] : {std::tuple{2, 0, 10, 3},
                                  {2, 10, 0, 3},
                                  {2, -4, 10, 3},
                                  {2, 10, -1, 3},
                                  {40, 10, 10, 3},
                                  {-50, 10, 10, 3},
                                  {0, 10, 10, 1}}) {
        Picture untouched(30, 30, bytes, 0x33);
        const OverlaySettings slot = Slot(x, 2, w, h, overlay);
        DrawScaledOverlay(untouched.pixels.data(), 30, 30, bytes, overlay.pixels.data(), slot);
        DrawUnscaledOverlay(untouched.pixels.data(), 30, 30, bytes, overlay.pixels.data(), slot);
        EXPECT_EQ(untouched.pixels, std::vector<std::uint8_t>(30 * 30 * bytes, 0x33))
            << x << " " << w << " " << h << " " << bytes;
    }
}

// The overlay index that shows at place of the rectangle's extent: scaled
// from the overlay's size, then pulled towards its centre by the crop zoom.
long long ReferenceSource(long long place, int overlaySize, int extent, int crop) {
    const long long scaled = (static_cast<long long>(overlaySize) * place) / extent;
    if (crop <= 0) {
        return scaled;
    }
    const long long middle = overlaySize / 2;
    return middle + ((scaled - middle) * middle) / (crop + middle);
}

// The per-pixel formula, written out plainly: nearest pixels, one field of
// the overlay's rows, the crop zoom about the centre, the border inside the
// rectangle and none on sides cut by the frame's edges. The judge of scaled
// drawing, its column map and its clipping.
void ReferenceScaled(Picture& base, const Picture& overlay, const OverlaySettings& s) {
    for (long long i = s.y; i < static_cast<long long>(s.y) + s.height && i < base.height; ++i) {
        if (i < 0) {
            continue;
        }
        const long long r = i - s.y;
        const long long o = ReferenceSource(r, overlay.height, s.height, s.crop) & ~1LL;
        for (long long k = s.x; k < static_cast<long long>(s.x) + s.width && k < base.width; ++k) {
            if (k < 0) {
                continue;
            }
            const long long q = k - s.x;
            const long long c = ReferenceSource(q, overlay.width, s.width, s.crop);
            std::uint8_t* d = base.At(static_cast<int>(k), static_cast<int>(i));
            const std::uint8_t* src =
                const_cast<Picture&>(overlay).At(static_cast<int>(c), static_cast<int>(o));
            ConvertPixel(d, base.bytes, src, overlay.bytes);
            const long long bw = s.borderWidth;
            if (bw != 0 && (r < bw || q < bw || s.height - 1 - r < bw || s.width - 1 - q < bw)) {
                ConvertPixel(d, base.bytes, s.borderColor.data(), 3);
            }
        }
    }
}

TEST(OverlayDrawing, CachedColumnMapMatchesThePerPixelFormula) {
    std::mt19937 random(1234);
    Picture overlay = CoordinateOverlay(37, 29);
    ScaledOverlayColumns cache;
    for (int round = 0; round < 200; ++round) {
        OverlaySettings s =
            Slot(static_cast<int>(random() % 60) - 20, static_cast<int>(random() % 60) - 20,
                 1 + static_cast<int>(random() % 70), 1 + static_cast<int>(random() % 70), overlay);
        s.crop = static_cast<int>(random() % 4) == 0 ? 0 : static_cast<int>(random() % 30);
        s.borderWidth = static_cast<int>(random() % 4);
        s.borderColor = {1, 2, 3, 0};
        const int bytes = 2 + static_cast<int>(random() % 3);
        Picture expected(48, 40, bytes, 0x5A);
        Picture actual(48, 40, bytes, 0x5A);
        ReferenceScaled(expected, overlay, s);
        DrawScaledOverlay(actual.pixels.data(), 48, 40, bytes, overlay.pixels.data(), s, &cache);
        ASSERT_EQ(actual.pixels, expected.pixels) << "round " << round;
    }
}

} // namespace

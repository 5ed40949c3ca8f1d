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
    const std::uint8_t bgr[4] = {0xF8, 0x80, 0x08, 0x77}; // blue 31, green 16, red 1 in 5 bits
    std::uint8_t d[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    ConvertPixel(d, 2, bgr, 3);
    const unsigned word = static_cast<unsigned>(d[0] | (d[1] << 8));
    EXPECT_EQ(word, (1u << 10) | (16u << 5) | 31u);
    EXPECT_EQ(d[2], 0xAA); // nothing past the two bytes
    ConvertPixel(d, 2, bgr, 4);
    EXPECT_EQ(static_cast<unsigned>(d[0] | (d[1] << 8)), word);

    const std::uint8_t w555[2] = {static_cast<std::uint8_t>(word),
                                  static_cast<std::uint8_t>(word >> 8)};
    std::uint8_t d3[3] = {};
    ConvertPixel(d3, 3, w555, 2);
    EXPECT_EQ(d3[0], 31 * 8);
    EXPECT_EQ(d3[1], 16 * 8);
    EXPECT_EQ(d3[2], 1 * 8);
    std::uint8_t d4[4] = {9, 9, 9, 9};
    ConvertPixel(d4, 4, w555, 2);
    EXPECT_EQ(d4[0], 31 * 8);
    EXPECT_EQ(d4[3], 0);

    std::uint8_t e[4] = {9, 9, 9, 9};
    ConvertPixel(e, 4, bgr, 3);
    EXPECT_EQ(e[0], 0xF8);
    EXPECT_EQ(e[2], 0x08);
    EXPECT_EQ(e[3], 0);
    ConvertPixel(e, 4, bgr, 4);
    EXPECT_EQ(e[3], 0x77);
    std::uint8_t f[3] = {};
    ConvertPixel(f, 3, bgr, 4);
    EXPECT_EQ(f[2], 0x08);
    ConvertPixel(d, 2, w555, 2);
    EXPECT_EQ(static_cast<unsigned>(d[0] | (d[1] << 8)), word);

    // An 8-bit destination is never written.
    std::uint8_t one = 0x42;
    ConvertPixel(&one, 1, bgr, 3);
    EXPECT_EQ(one, 0x42);
}

TEST(OverlayDrawing, ScalingPicksNearestPixelsAndOneField) {
    Picture base(320, 240, 3);
    Picture overlay = CoordinateOverlay(200, 200);
    DrawScaledOverlay(base.pixels.data(), 320, 240, 3, overlay.pixels.data(),
                      Slot(10, 20, 100, 100, overlay));
    for (int r = 0; r < 100; r += 7) {
        for (int q = 0; q < 100; q += 3) {
            const std::uint8_t* px = base.At(10 + q, 20 + r);
            EXPECT_EQ(px[0], 2 * q);
            EXPECT_EQ(px[1], 2 * r);
        }
    }
    EXPECT_EQ(base.At(9, 20)[2], 0);   // left of the rectangle
    EXPECT_EQ(base.At(110, 20)[2], 0); // right of it
    EXPECT_EQ(base.At(10, 120)[2], 0); // below it

    // 50 overlay rows on 100 output rows: rows 0,0,0,0,2,2,2,2,4,...
    Picture tall(64, 120, 3);
    Picture small = CoordinateOverlay(10, 50);
    DrawScaledOverlay(tall.pixels.data(), 64, 120, 3, small.pixels.data(),
                      Slot(0, 0, 10, 100, small));
    const int expected[] = {0, 0, 0, 0, 2, 2, 2, 2, 4, 4};
    for (int r = 0; r < 10; ++r) {
        EXPECT_EQ(tall.At(0, r)[1], expected[r]) << "output row " << r;
    }
    EXPECT_EQ(tall.At(0, 99)[1], 48);
}

TEST(OverlayDrawing, CropZoomsAboutTheCentre) {
    Picture base(200, 200, 3);
    Picture overlay = CoordinateOverlay(100, 100);
    OverlaySettings slot = Slot(0, 0, 100, 100, overlay);
    slot.crop = 50;
    DrawScaledOverlay(base.pixels.data(), 200, 200, 3, overlay.pixels.data(), slot);
    EXPECT_EQ(base.At(0, 50)[0], 25);
    EXPECT_EQ(base.At(99, 50)[0], 74);
    EXPECT_EQ(base.At(50, 0)[1], 24); // row 25 rounded down to its field
    EXPECT_EQ(base.At(50, 99)[1], 74);
    for (int q = 0; q < 100; ++q) {
        const int shown = base.At(q, 40)[0];
        EXPECT_GE(shown, 25);
        EXPECT_LE(shown, 74);
    }
}

TEST(OverlayDrawing, BorderLiesInsideTheRectangleAndNotOnCutSides) {
    Picture overlay = CoordinateOverlay(10, 10);
    OverlaySettings slot = Slot(5, 5, 10, 10, overlay);
    slot.borderWidth = 2;
    slot.borderColor = {0, 0, 255, 0}; // red

    Picture base(40, 40, 3);
    DrawScaledOverlay(base.pixels.data(), 40, 40, 3, overlay.pixels.data(), slot);
    for (int r = 0; r < 10; ++r) {
        for (int q = 0; q < 10; ++q) {
            const bool border = r < 2 || r > 7 || q < 2 || q > 7;
            const std::uint8_t* px = base.At(5 + q, 5 + r);
            EXPECT_EQ(px[2], border ? 255 : 0x80) << r << "," << q;
            if (border) {
                EXPECT_EQ(px[0], 0);
                EXPECT_EQ(px[1], 0);
            }
        }
    }

    // On a 16-bit base frame the colour is packed to 5-5-5.
    Picture base16(40, 40, 2);
    DrawScaledOverlay(base16.pixels.data(), 40, 40, 2, overlay.pixels.data(), slot);
    const std::uint8_t* px = base16.At(5, 5);
    EXPECT_EQ(static_cast<unsigned>(px[0] | (px[1] << 8)), 31u << 10);

    // Cut by the right and bottom frame edges: no border on those sides.
    Picture cut(12, 12, 3);
    DrawScaledOverlay(cut.pixels.data(), 12, 12, 3, overlay.pixels.data(), slot);
    EXPECT_EQ(cut.At(11, 8)[2], 0x80); // inside, where the right border would be further on
    EXPECT_EQ(cut.At(11, 11)[2], 0x80);
    EXPECT_EQ(cut.At(5, 8)[2], 255); // the left side still has its border
}

TEST(OverlayDrawing, SplitScreenShowsOverlayPixelsAtTheirOwnPlace) {
    Picture base(640, 480, 3, 0x11);
    Picture overlay = CoordinateOverlay(320, 240);
    OverlaySettings slot = Slot(300, 200, 100, 100, overlay);
    DrawUnscaledOverlay(base.pixels.data(), 640, 480, 3, overlay.pixels.data(), slot);
    for (int row = 200; row < 300; ++row) {
        for (int column = 300; column < 400; ++column) {
            const std::uint8_t* px = base.At(column, row);
            if (column < 320 && row < 240) {
                EXPECT_EQ(px[0], static_cast<std::uint8_t>(column));
                EXPECT_EQ(px[1], static_cast<std::uint8_t>(row));
            } else {
                ASSERT_EQ(px[2], 0x11) << column << "," << row;
            }
        }
    }
}

TEST(OverlayDrawing, BadRectanglesAreClippedOrIgnored) {
    Picture overlay = CoordinateOverlay(20, 20);
    // Negative position (only possible from a hand-made project): clipped at
    // the left and top edges, and the border is still measured from the
    // rectangle's own edges, so the cut sides show none.
    Picture base(30, 30, 3);
    OverlaySettings slot = Slot(-10, -10, 20, 20, overlay);
    slot.borderWidth = 1;
    slot.borderColor = {0, 255, 0, 0};
    DrawScaledOverlay(base.pixels.data(), 30, 30, 3, overlay.pixels.data(), slot);
    EXPECT_EQ(base.At(0, 0)[0], 10); // overlay column 10 at frame column 0
    EXPECT_EQ(base.At(0, 0)[1], 10);
    EXPECT_EQ(base.At(9, 0)[1], 255); // right border column
    EXPECT_EQ(base.At(10, 0)[2], 0);  // outside the rectangle

    Picture split(30, 30, 3);
    DrawUnscaledOverlay(split.pixels.data(), 30, 30, 3, overlay.pixels.data(),
                        Slot(-5, -5, 20, 20, overlay));
    EXPECT_EQ(split.At(0, 0)[0], 0);
    EXPECT_EQ(split.At(14, 14)[0], 14);
    EXPECT_EQ(split.At(15, 14)[2], 0);

    // No area: nothing drawn, no division by zero.
    Picture untouched(30, 30, 3, 0x33);
    for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-4, 10}, {10, -1}}) {
        DrawScaledOverlay(untouched.pixels.data(), 30, 30, 3, overlay.pixels.data(),
                          Slot(2, 2, w, h, overlay));
        DrawUnscaledOverlay(untouched.pixels.data(), 30, 30, 3, overlay.pixels.data(),
                            Slot(2, 2, w, h, overlay));
    }
    // Entirely outside the frame.
    DrawScaledOverlay(untouched.pixels.data(), 30, 30, 3, overlay.pixels.data(),
                      Slot(40, 2, 10, 10, overlay));
    DrawScaledOverlay(untouched.pixels.data(), 30, 30, 3, overlay.pixels.data(),
                      Slot(-50, 2, 10, 10, overlay));
    for (std::uint8_t b : untouched.pixels) {
        ASSERT_EQ(b, 0x33);
    }

    // An 8-bit base frame is never drawn into.
    Picture eight(30, 30, 1, 0x44);
    DrawScaledOverlay(eight.pixels.data(), 30, 30, 1, overlay.pixels.data(),
                      Slot(0, 0, 10, 10, overlay));
    for (std::uint8_t b : eight.pixels) {
        ASSERT_EQ(b, 0x44);
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

// The per-pixel formula, written out plainly, as the judge of the cached
// column map and the clipping.
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

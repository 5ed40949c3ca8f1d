// Drawing packed DIBs: orientation, the three pixel formats, row padding,
// parts of a picture, and blocks that cannot be drawn.
#include "app/DibPainter.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cstring>
#include <vector>

namespace {

// A packed DIB of w x h pixels; pixel (x, y) counted from the top left has
// the colour Colour(x, y).
QColor Colour(int x, int y) {
    return QColor(40 * x + 8, 64 * y + 16, 200 - 24 * x);
}

std::vector<std::uint8_t> MakeDib(int w, int h, int bits, bool padRows = true,
                                  bool topDown = false) {
    const int bytesPerPixel = bits / 8;
    const int packed = w * bytesPerPixel;
    const int stride = padRows ? (packed + 3) / 4 * 4 : packed;
    std::vector<std::uint8_t> block(sizeof(BITMAPINFOHEADER) + std::size_t(stride) * h, 0xEE);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = topDown ? -h : h;
    header.biPlanes = 1;
    header.biBitCount = static_cast<std::uint16_t>(bits);
    header.biSizeImage = static_cast<std::uint32_t>(stride * h);
    std::memcpy(block.data(), &header, sizeof header);
    std::uint8_t* pixels = block.data() + sizeof header;
    for (int y = 0; y < h; ++y) {
        const int row = topDown ? y : h - 1 - y;
        for (int x = 0; x < w; ++x) {
            const QColor c = Colour(x, y);
            std::uint8_t* p = pixels + std::size_t(row) * stride + std::size_t(x) * bytesPerPixel;
            if (bits == 16) {
                const unsigned v = (unsigned(c.red()) >> 3 << 10) |
                                   (unsigned(c.green()) >> 3 << 5) | (unsigned(c.blue()) >> 3);
                p[0] = std::uint8_t(v & 0xFF);
                p[1] = std::uint8_t(v >> 8);
            } else {
                p[0] = std::uint8_t(c.blue());
                p[1] = std::uint8_t(c.green());
                p[2] = std::uint8_t(c.red());
                if (bits == 32) {
                    p[3] = 0;
                }
            }
        }
    }
    return block;
}

const BITMAPINFOHEADER* Header(const std::vector<std::uint8_t>& block) {
    return reinterpret_cast<const BITMAPINFOHEADER*>(block.data());
}

QImage Draw(const std::vector<std::uint8_t>& block, QSize size, const QRect& source = QRect(),
            bool* drawn = nullptr) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    const bool ok = DrawDibStretched(painter, image.rect(), Header(block), block.size(), source);
    if (drawn != nullptr) {
        *drawn = ok;
    }
    return image;
}

QColor Packed555(const QColor& c) {
    // What survives 5 bits per channel, widened again as Qt does.
    const auto widen = [](int v) { return (v >> 3 << 3) | (v >> 5); };
    return QColor(widen(c.red()), widen(c.green()), widen(c.blue()));
}

} // namespace

TEST(DibPainter, DrawsEveryDepthTheRightWayUpStretched) {
    for (const int bits : {16, 24, 32}) {
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, top-down " << topDown);
            const auto dib = MakeDib(3, 2, bits, true, topDown);
            bool drawn = false;
            const QImage image = Draw(dib, QSize(6, 4), QRect(), &drawn);
            ASSERT_TRUE(drawn);
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 6; ++x) {
                    const QColor want =
                        bits == 16 ? Packed555(Colour(x / 2, y / 2)) : Colour(x / 2, y / 2);
                    EXPECT_EQ(image.pixelColor(x, y), want) << x << "," << y;
                }
            }
        }
    }
}

TEST(DibPainter, PackedRowsAreTakenWhenTheImageSizeSaysSo) {
    // 3 x 24 bits = 9 bytes a row: padded 12, packed 9.
    const auto packed = MakeDib(3, 3, 24, false);
    const QImage image = Draw(packed, QSize(3, 3));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(image.pixelColor(x, y), Colour(x, y)) << x << "," << y;
        }
    }
}

TEST(DibPainter, APartOfThePictureFillsTheTarget) {
    const auto dib = MakeDib(4, 4, 24);
    const QImage image = Draw(dib, QSize(4, 2), QRect(1, 2, 2, 1));
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(image.pixelColor(x, 0), Colour(1 + x / 2, 2)) << x;
        EXPECT_EQ(image.pixelColor(x, 1), Colour(1 + x / 2, 2)) << x;
    }
    // A part reaching past the picture is cut: its left half is drawn into
    // the target's left half, the rest stays as it was.
    const QImage cut = Draw(dib, QSize(4, 1), QRect(2, 0, 4, 1));
    EXPECT_EQ(cut.pixelColor(0, 0), Colour(2, 0));
    EXPECT_EQ(cut.pixelColor(1, 0), Colour(3, 0));
    EXPECT_EQ(cut.pixelColor(2, 0), QColor(Qt::black));
}

TEST(DibPainter, RefusesWhatItCannotDraw) {
    auto dib = MakeDib(4, 4, 24);
    bool drawn = true;
    // Block too short for its rows.
    std::vector<std::uint8_t> shortBlock(dib.begin(), dib.end() - 1);
    Draw(shortBlock, QSize(4, 4), QRect(), &drawn);
    EXPECT_FALSE(drawn);

    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
    header->biCompression = 0x47504A4D; // "MJPG"
    Draw(dib, QSize(4, 4), QRect(), &drawn);
    EXPECT_FALSE(drawn);
    header->biCompression = 0;
    header->biBitCount = 12;
    Draw(dib, QSize(4, 4), QRect(), &drawn);
    EXPECT_FALSE(drawn);
    header->biBitCount = 24;
    header->biWidth = 0;
    Draw(dib, QSize(4, 4), QRect(), &drawn);
    EXPECT_FALSE(drawn);
    header->biWidth = 1 << 20;
    Draw(dib, QSize(4, 4), QRect(), &drawn);
    EXPECT_FALSE(drawn);
    header->biWidth = 4;
    header->biSize = 12;
    Draw(dib, QSize(4, 4), QRect(), &drawn);
    EXPECT_FALSE(drawn);

    QImage image(4, 4, QImage::Format_RGB32);
    QPainter painter(&image);
    EXPECT_FALSE(DrawDibStretched(painter, image.rect(), nullptr));
}

TEST(DibPainter, EightBitPicturesUseTheirColourTable) {
    // 2 x 1 pixels, indexes 1 and 2, rows padded to 4 bytes.
    std::vector<std::uint8_t> block(sizeof(BITMAPINFOHEADER) + 1024 + 4, 0);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = 2;
    header.biHeight = 1;
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biSizeImage = 4;
    std::memcpy(block.data(), &header, sizeof header);
    std::uint8_t* table = block.data() + sizeof header;
    const std::uint8_t entries[] = {0, 0, 0, 0, 255, 0, 0, 0, 0, 128, 255, 0}; // B, G, R, 0
    std::memcpy(table, entries, sizeof entries);
    block[sizeof header + 1024] = 1;
    block[sizeof header + 1025] = 2;
    const QImage image = Draw(block, QSize(2, 1));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(1, 0), QColor(255, 128, 0));
}

// Drawing packed DIBs: the three pixel formats, bottom-up rows, stretching,
// and blocks too short for their pixels.
#include "app/DibPainter.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cstring>
#include <vector>

namespace {

// Pixel (x, y), counted from the top left, of the 3 x 2 test picture.
QColor Colour(int x, int y) {
    return QColor(40 * x + 8, 64 * y + 16, 200 - 24 * x);
}

// The test picture as a packed bottom-up DIB with rows padded to 4 bytes.
std::vector<std::uint8_t> MakeDib(int bits) {
    const int stride = (3 * bits / 8 + 3) / 4 * 4;
    std::vector<std::uint8_t> block(sizeof(BITMAPINFOHEADER) + std::size_t(stride) * 2, 0xEE);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = 3;
    header.biHeight = 2;
    header.biPlanes = 1;
    header.biBitCount = static_cast<std::uint16_t>(bits);
    header.biSizeImage = static_cast<std::uint32_t>(stride * 2);
    std::memcpy(block.data(), &header, sizeof header);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const QColor c = Colour(x, y);
            std::uint8_t* p =
                block.data() + sizeof header + std::size_t((1 - y) * stride + x * bits / 8);
            if (bits == 16) { // 5-5-5, blue in the low bits
                const unsigned v = (unsigned(c.red()) >> 3 << 10) |
                                   (unsigned(c.green()) >> 3 << 5) | (unsigned(c.blue()) >> 3);
                p[0] = std::uint8_t(v & 0xFF);
                p[1] = std::uint8_t(v >> 8);
            } else {
                p[0] = std::uint8_t(c.blue());
                p[1] = std::uint8_t(c.green());
                p[2] = std::uint8_t(c.red());
            }
        }
    }
    return block;
}

bool Draw(const std::vector<std::uint8_t>& block, std::size_t size, QImage& image) {
    image.fill(Qt::black);
    QPainter painter(&image);
    return DrawDibStretched(painter, image.rect(),
                            reinterpret_cast<const BITMAPINFOHEADER*>(block.data()), size);
}

} // namespace

TEST(DibPainter, DrawsEveryDepthUprightAndStretched) {
    // What survives 5 bits per channel, widened again as Qt does.
    const auto packed555 = [](const QColor& c) {
        const auto widen = [](int v) { return (v >> 3 << 3) | (v >> 5); };
        return QColor(widen(c.red()), widen(c.green()), widen(c.blue()));
    };
    for (const int bits : {16, 24, 32}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const auto dib = MakeDib(bits);
        QImage image(6, 4, QImage::Format_RGB32);
        ASSERT_TRUE(Draw(dib, dib.size(), image));
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                const QColor want = Colour(x / 2, y / 2);
                EXPECT_EQ(image.pixelColor(x, y), bits == 16 ? packed555(want) : want)
                    << x << "," << y;
            }
        }
        // A block too short for its rows is not drawn.
        EXPECT_FALSE(Draw(dib, dib.size() - 1, image));
    }
}

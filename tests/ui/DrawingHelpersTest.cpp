// The drawing helpers: the sunken divider line, the progress bar with its
// percentage or text, and packed DIBs drawn in the three pixel formats,
// bottom-up rows, stretched, and refused when too short for their pixels.
#include "app/DibPainter.h"
#include "app/DividerLine.h"
#include "app/LabeledProgress.h"
#include "tests/ui/GuiFixture.h"

#include <QPainter>
#include <QPalette>
#include <QTest>

#include <cstring>
#include <vector>

namespace {

using DividerLine = GuiFixture;

TEST_F(DividerLine, TwoRowsOrTwoColumnsOfShadowAndLight) {
    const QPalette palette;
    const QRgb shadow = palette.color(QPalette::Dark).rgb();
    const QRgb light = palette.color(QPalette::Light).rgb();
    ASSERT_NE(shadow, light);
    CDividerLine line;
    line.resize(300, 2);
    QImage image = Grab(&line);
    for (int x = 0; x < 299; ++x) {
        ASSERT_EQ(image.pixel(x, 0), shadow) << x;
        ASSERT_EQ(image.pixel(x, 1), light) << x;
    }
    // The right edge belongs to the lower-right colour, as in a 3-D frame.
    EXPECT_EQ(image.pixel(299, 0), light);

    line.resize(2, 100);
    image = Grab(&line);
    for (int y = 0; y < 99; ++y) {
        ASSERT_EQ(image.pixel(0, y), shadow) << y;
        ASSERT_EQ(image.pixel(1, y), light) << y;
    }
}

// Whether some pixel of the rectangle is (nearly) the colour.
bool Contains(const QImage& image, const QRect& area, QRgb colour) {
    bool found = false;
    for (int i = 0; i < area.width() * area.height() && !found; ++i) {
        const QRgb p = image.pixel(area.left() + i % area.width(), area.top() + i / area.width());
        found = std::abs(qRed(p) - qRed(colour)) + std::abs(qGreen(p) - qGreen(colour)) +
                    std::abs(qBlue(p) - qBlue(colour)) <
                24;
    }
    return found;
}

class LabeledProgress : public GuiFixture {
protected:
    // A visible bar, so that repaints really paint.
    void Show(int width, int height) {
        bar_.resize(width, height);
        bar_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar_));
        QApplication::processEvents();
        bar_.SetRange(0, 1000);
    }
    QRgb Filled() const { return bar_.palette().color(QPalette::Highlight).rgb(); }
    QRgb Empty() const { return bar_.palette().color(QPalette::Base).rgb(); }

    CLabeledProgress bar_;
};

TEST_F(LabeledProgress, PercentageIsTruncatedAndRepaintsFollowThePixels) {
    Show(200, 20);
    bar_.SetPos(999);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("99%"));
    EXPECT_EQ(bar_.SetPos(1000), 999);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("100%"));
    EXPECT_EQ(Grab(&bar_).pixel(199, 0), Filled());

    bar_.SetPos(0);
    const int before = bar_.PaintCount();
    for (int p = 1; p <= 4; ++p) {
        bar_.SetPos(p); // still no filled pixel
        EXPECT_EQ(bar_.PaintCount(), before) << p;
    }
    bar_.SetPos(5);
    EXPECT_EQ(bar_.BarPixels(), 1);
    EXPECT_EQ(bar_.PaintCount(), before + 1);

    // An empty range paints nothing and never divides by zero.
    bar_.SetRange(10, 10);
    bar_.SetPos(10);
    EXPECT_EQ(bar_.BarPixels(), 0);
}

TEST_F(LabeledProgress, TextReplacesThePercentageAndChangesColourAtTheEdge) {
    QFont big = bar_.font();
    big.setPixelSize(24);
    big.setBold(true);
    bar_.setFont(big);
    Show(300, 40);
    bar_.SetText(QStringLiteral("WWWWWWWWWWWW")); // wide enough to cross the middle
    bar_.SetPos(500);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("WWWWWWWWWWWW"));
    const QImage image = Grab(&bar_);
    ASSERT_NE(Filled(), Empty());
    EXPECT_EQ(image.pixel(149, 0), Filled());
    EXPECT_EQ(image.pixel(150, 0), Empty());
    // The text over the done part is drawn in the empty colour, over the
    // rest in the filled colour, right up to the edge.
    EXPECT_TRUE(Contains(image, QRect(140, 0, 10, 40), Empty()));
    EXPECT_TRUE(Contains(image, QRect(150, 0, 10, 40), Filled()));
    bar_.SetText(QString());
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("50%"));
}

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

} // namespace

// The drawing helpers: the sunken divider line, the progress bar with its
// percentage or text, and packed DIBs drawn in the three pixel formats,
// bottom-up rows, stretched, and refused when too short for their pixels.
#include "app/DibPainter.h"
#include "app/DividerLine.h"
#include "app/LabeledProgress.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/ui/GuiFixture.h"

#include <QPainter>
#include <QPalette>
#include <QTest>

#include <algorithm>
#include <vector>

namespace {

using DrawingHelpers = GuiFixture;

TEST_F(DrawingHelpers, DividerLineIsShadowThenLightAlongTheLongerSide) {
    const QPalette palette;
    const QRgb shadow = palette.color(QPalette::Dark).rgb();
    const QRgb light = palette.color(QPalette::Light).rgb();
    ASSERT_NE(shadow, light);
    CDividerLine line;
    for (const bool across : {true, false}) {
        line.resize(across ? QSize(300, 2) : QSize(2, 300));
        const QImage image = Grab(&line);
        const auto at = [&](int along, int row) {
            return across ? image.pixel(along, row) : image.pixel(row, along);
        };
        for (int along = 0; along < 299; ++along) {
            ASSERT_EQ(at(along, 0), shadow) << along;
            ASSERT_EQ(at(along, 1), light) << along;
        }
        // The far end belongs to the lower-right colour, as in a 3-D frame.
        EXPECT_EQ(at(299, 0), light);
    }
}

// Whether some pixel of the rectangle is the colour.
bool Contains(const QImage& image, const QRect& area, QRgb colour) {
    const QImage part = image.copy(area);
    const auto* pixels = reinterpret_cast<const QRgb*>(part.constBits());
    return std::count(pixels, pixels + area.width() * area.height(), colour) > 0;
}

// The percentage is truncated, repaints come only with a new filled pixel, an
// empty range paints nothing, and a text changes colour exactly at the edge.
TEST_F(DrawingHelpers, LabeledProgressRepaintsPerPixelAndSplitsItsTextAtTheEdge) {
    CLabeledProgress bar;
    QFont big = bar.font();
    big.setPixelSize(24);
    big.setBold(true);
    bar.setFont(big);
    bar.resize(300, 40);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    const QRgb filled = bar.palette().color(QPalette::Highlight).rgb();
    const QRgb empty = bar.palette().color(QPalette::Base).rgb();
    ASSERT_NE(filled, empty);
    bar.SetRange(0, 1000);
    bar.SetPos(999);
    EXPECT_EQ(bar.ShownText(), QStringLiteral("99%"));
    EXPECT_EQ(bar.SetPos(1000), 999);
    EXPECT_EQ(Grab(&bar).pixel(299, 0), filled);
    bar.SetPos(0);
    const int before = bar.PaintCount();
    bar.SetPos(3); // 0.9 pixels: still none filled
    EXPECT_EQ(bar.PaintCount(), before);
    bar.SetPos(4);
    EXPECT_EQ(bar.PaintCount(), before + 1);

    bar.SetText(QStringLiteral("WWWWWWWWWWWW")); // wide enough to cross the middle
    bar.SetPos(500);
    const QImage image = Grab(&bar);
    EXPECT_EQ(image.pixel(149, 0), filled);
    EXPECT_EQ(image.pixel(150, 0), empty);
    EXPECT_TRUE(Contains(image, QRect(140, 0, 10, 40), empty));
    EXPECT_TRUE(Contains(image, QRect(150, 0, 10, 40), filled));
    bar.SetText(QString());
    EXPECT_EQ(bar.ShownText(), QStringLiteral("50%"));
    bar.SetRange(10, 10);
    bar.SetPos(10);
    EXPECT_EQ(bar.BarPixels(), 0);
}

// Pixel (x, y), counted from the top left, of the 3 x 2 test picture.
QColor Colour(int x, int y) {
    return QColor(40 * x + 8, 64 * y + 16, 200 - 24 * x);
}

// The test picture as a packed bottom-up DIB with rows padded to 4 bytes;
// the fourth byte of 32-bit pixels is not used.
std::vector<std::uint8_t> MakeDib(int bits) {
    avitest::Bytes topDown;
    for (int i = 0; i < 6; ++i) {
        const QColor c = Colour(i % 3, i / 3);
        if (bits == 16) { // 5-5-5, blue in the low bits
            const unsigned v = (unsigned(c.red()) >> 3 << 10) | (unsigned(c.green()) >> 3 << 5) |
                               (unsigned(c.blue()) >> 3);
            topDown.insert(topDown.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
        } else {
            topDown.insert(topDown.end(), {std::uint8_t(c.blue()), std::uint8_t(c.green()),
                                           std::uint8_t(c.red())});
        }
        if (bits == 32) {
            topDown.push_back(0xEE);
        }
    }
    avitest::Bytes dib = avitest::BitmapFormat(3, 2, bits);
    const avitest::Bytes rows = avitest::TopDownToDib(topDown.data(), 3, 2, bits);
    dib.insert(dib.end(), rows.begin(), rows.end());
    return dib;
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

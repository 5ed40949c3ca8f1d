// The main window's drawing helpers: the sunken divider line and the
// progress bar with its percentage or text.
#include "app/DividerLine.h"
#include "app/LabeledProgress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QTest>

namespace {

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(DividerLine, TwoRowsOrTwoColumnsOfShadowAndLight) {
    const QPalette palette;
    const QRgb shadow = palette.color(QPalette::Dark).rgb();
    const QRgb light = palette.color(QPalette::Light).rgb();
    ASSERT_NE(shadow, light);
    CDividerLine line;
    line.resize(300, 2);
    QImage image = Grab(line);
    for (int x = 0; x < 299; ++x) {
        ASSERT_EQ(image.pixel(x, 0), shadow) << x;
        ASSERT_EQ(image.pixel(x, 1), light) << x;
    }
    // The right edge belongs to the lower-right colour, as in a 3-D frame.
    EXPECT_EQ(image.pixel(299, 0), light);

    line.resize(2, 100);
    image = Grab(line);
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

class LabeledProgress : public ::testing::Test {
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
    EXPECT_EQ(Grab(bar_).pixel(199, 0), Filled());

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
    const QImage image = Grab(bar_);
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

} // namespace

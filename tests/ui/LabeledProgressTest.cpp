#include "app/LabeledProgress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QTest>

namespace {

int Distance(QRgb pixel, QRgb colour) {
    return std::abs(qRed(pixel) - qRed(colour)) + std::abs(qGreen(pixel) - qGreen(colour)) +
           std::abs(qBlue(pixel) - qBlue(colour));
}

// Whether some pixel of the rectangle is (nearly) the colour.
bool Contains(const QImage& image, const QRect& area, QRgb colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (Distance(image.pixel(x, y), colour) < 24) {
                return true;
            }
        }
    }
    return false;
}

class LabeledProgress : public ::testing::Test {
protected:
    // A visible bar, so that repaints really paint.
    void Show(int width, int height) {
        bar_.resize(width, height);
        bar_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar_));
        QApplication::processEvents(); // paint whatever showing asked for
    }

    QImage Grab() { return bar_.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QRgb bar_colour() const { return bar_.palette().color(QPalette::Highlight).rgb(); }
    QRgb back_colour() const { return bar_.palette().color(QPalette::Base).rgb(); }

    CLabeledProgress bar_;
};

TEST_F(LabeledProgress, PercentageIsTruncatedAndFullBarFills) {
    Show(200, 20);
    bar_.SetRange(0, 1000);
    EXPECT_EQ(bar_.SetPos(999), 0);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("99%"));
    EXPECT_EQ(bar_.SetPos(1000), 999);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("100%"));
    EXPECT_EQ(bar_.BarPixels(), 200);
    const QImage full = Grab();
    ASSERT_NE(bar_colour(), back_colour());
    for (int x = 0; x < 200; ++x) {
        EXPECT_EQ(full.pixel(x, 0), bar_colour()) << x;
    }
    EXPECT_EQ(bar_.SetPos(0), 1000);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("0%"));
    EXPECT_EQ(Grab().pixel(0, 0), back_colour());
}

TEST_F(LabeledProgress, RepaintsOnlyWhenTheFilledWidthChanges) {
    Show(200, 20);
    bar_.SetRange(0, 1000);
    const int before = bar_.PaintCount();
    bar_.SetPos(0); // first position since the size was set: always painted
    EXPECT_EQ(bar_.BarPixels(), 0);
    EXPECT_EQ(bar_.PaintCount(), before + 1);
    for (int p = 1; p <= 4; ++p) {
        bar_.SetPos(p);
        EXPECT_EQ(bar_.PaintCount(), before + 1) << p;
    }
    EXPECT_EQ(bar_.GetPos(), 4);
    bar_.SetPos(5);
    EXPECT_EQ(bar_.BarPixels(), 1);
    EXPECT_EQ(bar_.PaintCount(), before + 2);

    // A new size forgets the width, so the next position paints again.
    bar_.resize(400, 20);
    QApplication::processEvents();
    const int resized = bar_.PaintCount();
    bar_.SetPos(5);
    EXPECT_EQ(bar_.BarPixels(), 2);
    EXPECT_EQ(bar_.PaintCount(), resized + 1);
}

TEST_F(LabeledProgress, TextReplacesPercentageUntilCleared) {
    Show(200, 20);
    bar_.SetRange(0, 1000);
    bar_.SetPos(420);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("42%"));
    bar_.SetText(QStringLiteral("Waiting"));
    EXPECT_EQ(bar_.Text(), QStringLiteral("Waiting"));
    bar_.SetPos(700);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("Waiting"));
    bar_.SetText(QString());
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("70%"));
}

TEST_F(LabeledProgress, TextChangesColourAtTheBarsEdge) {
    QFont big = bar_.font();
    big.setPixelSize(24);
    big.setBold(true);
    bar_.setFont(big);
    Show(300, 40);
    bar_.SetRange(0, 1000);
    bar_.SetText(QStringLiteral("WWWWWWWWWWWW")); // wide enough to cross the middle
    bar_.SetPos(500);
    const QImage image = Grab();
    // Above the text the fill colours meet exactly at x = 150.
    EXPECT_EQ(image.pixel(149, 0), bar_colour());
    EXPECT_EQ(image.pixel(150, 0), back_colour());
    // The text over the done part is drawn in the window colour, over the rest
    // in the highlight colour, right up to the edge.
    EXPECT_TRUE(Contains(image, QRect(0, 0, 150, 40), back_colour()));
    EXPECT_TRUE(Contains(image, QRect(150, 0, 150, 40), bar_colour()));
    EXPECT_TRUE(Contains(image, QRect(140, 0, 10, 40), back_colour()));
    EXPECT_TRUE(Contains(image, QRect(150, 0, 10, 40), bar_colour()));
}

TEST_F(LabeledProgress, PositionsOutsideTheRangeStayInsideTheControl) {
    Show(200, 20);
    bar_.SetRange(0, 1000);
    bar_.SetPos(5000);
    EXPECT_EQ(bar_.BarPixels(), 200);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("100%"));
    bar_.SetPos(-300);
    EXPECT_EQ(bar_.BarPixels(), 0);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("0%"));
    bar_.SetRange(INT_MIN, INT_MAX);
    bar_.SetPos(INT_MAX);
    EXPECT_EQ(bar_.BarPixels(), 200);
    // An empty range paints nothing and never divides by zero.
    bar_.SetRange(10, 10);
    bar_.SetPos(10);
    EXPECT_EQ(bar_.BarPixels(), 0);
    EXPECT_EQ(bar_.ShownText(), QStringLiteral("0%"));
    Grab();
}

} // namespace

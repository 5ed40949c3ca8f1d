#include "app/DividerLine.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPalette>

namespace {

class DividerLine : public ::testing::Test {
protected:
    static QImage Paint(CDividerLine& line, int width, int height) {
        line.resize(width, height);
        return line.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    void SetUp() override {
        ASSERT_NE(shadow_, highlight_);
        ASSERT_NE(shadow_, window_);
        ASSERT_NE(highlight_, window_);
    }

    const QPalette palette_;
    // Opaque 8-bit colours, as the painted pixels carry them.
    const QRgb shadow_ = palette_.color(QPalette::Dark).rgb();
    const QRgb highlight_ = palette_.color(QPalette::Light).rgb();
    const QRgb window_ = palette_.color(QPalette::Window).rgb();
};

TEST_F(DividerLine, HorizontalLineOfTwoRows) {
    CDividerLine line;
    const QImage image = Paint(line, 300, 2);
    for (int x = 0; x < 299; ++x) {
        ASSERT_EQ(image.pixel(x, 0), shadow_) << x;
    }
    for (int x = 0; x < 300; ++x) {
        ASSERT_EQ(image.pixel(x, 1), highlight_) << x;
    }
    // The right edge belongs to the lower-right colour, as in a 3-D frame.
    EXPECT_EQ(image.pixel(299, 0), highlight_);
}

TEST_F(DividerLine, LineLiesAcrossTheMiddle) {
    CDividerLine line;
    const QImage image = Paint(line, 300, 10);
    for (int x : {0, 1, 150, 298}) {
        EXPECT_EQ(image.pixel(x, 4), shadow_) << x;
        EXPECT_EQ(image.pixel(x, 5), highlight_) << x;
        for (int y : {0, 3, 6, 9}) {
            const QRgb other = image.pixel(x, y);
            EXPECT_TRUE(other != shadow_ && other != highlight_) << x << "," << y;
        }
    }
}

TEST_F(DividerLine, VerticalLineOfTwoColumns) {
    CDividerLine line;
    const QImage image = Paint(line, 2, 100);
    for (int y = 0; y < 99; ++y) {
        ASSERT_EQ(image.pixel(0, y), shadow_) << y;
    }
    for (int y = 0; y < 100; ++y) {
        ASSERT_EQ(image.pixel(1, y), highlight_) << y;
    }
    const QImage wide = Paint(line, 9, 100); // middle columns 3 and 4
    EXPECT_EQ(wide.pixel(3, 50), shadow_);
    EXPECT_EQ(wide.pixel(4, 50), highlight_);
    EXPECT_NE(wide.pixel(2, 50), shadow_);
    EXPECT_NE(wide.pixel(5, 50), highlight_);
}

TEST_F(DividerLine, RaisedLineSwapsTheColours) {
    CDividerLine line(nullptr, false);
    const QImage image = Paint(line, 300, 2);
    EXPECT_EQ(image.pixel(10, 0), highlight_);
    EXPECT_EQ(image.pixel(10, 1), shadow_);
}

} // namespace

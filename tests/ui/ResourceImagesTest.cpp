#include "app/ResourceImages.h"

#include <gtest/gtest.h>

#include <QImage>

#include <set>

namespace {

QImage Image(int id) {
    return ResourceBitmap(id).toImage().convertToFormat(QImage::Format_RGB32);
}

bool Near(QRgb pixel, const QColor& colour, int tolerance = 40) {
    return std::abs(qRed(pixel) - colour.red()) + std::abs(qGreen(pixel) - colour.green()) +
               std::abs(qBlue(pixel) - colour.blue()) <=
           tolerance;
}

std::set<QRgb> Colours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            colours.insert(image.pixel(x, y));
        }
    }
    return colours;
}

TEST(ResourceImages, SizesOfEveryImageAndUnknownIds) {
    EXPECT_EQ(ResourceBitmap(128).size(), QSize(32, 32));
    EXPECT_EQ(ResourceBitmap(131).size(), QSize(256, 256));
    for (int id : {133, 134, 135, 138, 139}) {
        EXPECT_EQ(ResourceBitmap(id).size(), QSize(26, 24)) << id;
    }
    for (int id : {150, 151, 152}) {
        EXPECT_EQ(ResourceBitmap(id).size(), QSize(36, 18)) << id;
    }
    for (int id : {0, 100, 129, 136, 153, -1}) {
        EXPECT_TRUE(ResourceBitmap(id).isNull()) << id;
    }
}

TEST(ResourceImages, FlagsShowTheirCountries) {
    const QImage german = Image(151);
    const QImage dutch = Image(152);
    for (int x : {0, 17, 35}) {
        EXPECT_TRUE(Near(german.pixel(x, 2), Qt::black)) << x;
        EXPECT_TRUE(Near(german.pixel(x, 9), QColor(221, 0, 0))) << x;
        EXPECT_TRUE(Near(german.pixel(x, 15), QColor(255, 206, 0))) << x;
        EXPECT_TRUE(Near(dutch.pixel(x, 2), QColor(174, 28, 40))) << x;
        EXPECT_TRUE(Near(dutch.pixel(x, 9), Qt::white)) << x;
        EXPECT_TRUE(Near(dutch.pixel(x, 15), QColor(33, 70, 139))) << x;
    }
    // The Union Flag: red cross in the middle, white borders beside it,
    // blue fields in the quarters.
    const QImage british = Image(150);
    EXPECT_TRUE(Near(british.pixel(18, 9), QColor(200, 16, 46)));
    EXPECT_TRUE(Near(british.pixel(18, 0), QColor(200, 16, 46)));
    EXPECT_TRUE(Near(british.pixel(0, 9), QColor(200, 16, 46)));
    EXPECT_TRUE(Near(british.pixel(15, 2), Qt::white));
    EXPECT_TRUE(Near(british.pixel(10, 2), QColor(1, 33, 105)));
    EXPECT_TRUE(Near(british.pixel(26, 15), QColor(1, 33, 105)));
}

TEST(ResourceImages, PlayButtonStatesDiffer) {
    const QImage ready = Image(133);
    const QImage readyPressed = Image(138);
    const QImage inactive = Image(134);
    const QImage playing = Image(135);
    const QImage playingPressed = Image(139);
    EXPECT_NE(ready, readyPressed);
    EXPECT_NE(ready, inactive);
    EXPECT_NE(ready, playing);
    EXPECT_NE(playing, playingPressed);
    // Ready shows a green triangle, playing a red stop square, and the
    // inactive button nothing coloured at all.
    EXPECT_TRUE(Near(ready.pixel(12, 11), QColor(0, 128, 0), 0));
    EXPECT_TRUE(Near(readyPressed.pixel(13, 12), QColor(0, 128, 0), 0));
    EXPECT_TRUE(Near(playing.pixel(12, 11), QColor(192, 0, 0), 0));
    for (QRgb c : Colours(inactive)) {
        EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << std::hex << c;
    }
    // Pressed buttons are sunken: dark top-left corner instead of a light one.
    EXPECT_GT(qGray(ready.pixel(0, 0)), qGray(readyPressed.pixel(0, 0)));
}

TEST(ResourceImages, PictureIsColourfulAndIconHasManySizes) {
    const QImage picture = Image(131);
    std::set<int> hues;
    for (QRgb c : Colours(picture)) {
        const int hue = QColor(c).hsvHue();
        if (hue >= 0) {
            hues.insert(hue / 30);
        }
    }
    EXPECT_EQ(hues.size(), 12u); // every twelfth of the colour wheel is there

    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 32, 48, 256}) {
        EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size)) << size;
    }
    const QImage small = icon.pixmap(16, 16).toImage();
    EXPECT_LT(qAlpha(small.pixel(0, 0)), 32); // rounded corners are (nearly) transparent
    EXPECT_EQ(qAlpha(small.pixel(8, 8)), 255);
}

} // namespace

#include "app/ResourceImages.h"

#include <QConicalGradient>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <array>
#include <cmath>
#include <numbers>

namespace {

// The classic sixteen-colour button palette the small bitmaps use.
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kFace(192, 192, 192);
const QColor kShadow(128, 128, 128);
const QColor kGreen(0, 128, 0);
const QColor kRed(192, 0, 0);

QImage Blank(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

// ---- flags, 36 x 18 ------------------------------------------------------

QImage ThreeStripes(const QColor& top, const QColor& middle, const QColor& bottom) {
    QImage image = Blank(36, 18, top);
    QPainter p(&image);
    p.fillRect(0, 6, 36, 6, middle);
    p.fillRect(0, 12, 36, 6, bottom);
    return image;
}

QImage BritishFlag() {
    const QColor blue(1, 33, 105);
    const QColor red(200, 16, 46);
    QImage image = Blank(36, 18, blue);
    QPainter p(&image);
    // Drawn on a 60 x 30 grid, the flag's own proportions.
    p.scale(36.0 / 60.0, 18.0 / 30.0);
    const QLineF diagonals[] = {QLineF(0, 0, 60, 30), QLineF(60, 0, 0, 30)};
    p.setPen(QPen(kWhite, 6));
    p.drawLines(diagonals, 2);
    // The red diagonals lie off-centre: clockwise of the white ones in each
    // quarter, which the clip of four triangles around the centre achieves.
    QPainterPath clip;
    clip.addPolygon(QPolygonF({QPointF(30, 15), QPointF(60, 15), QPointF(60, 30)}));
    clip.addPolygon(QPolygonF({QPointF(30, 15), QPointF(30, 30), QPointF(0, 30)}));
    clip.addPolygon(QPolygonF({QPointF(30, 15), QPointF(0, 15), QPointF(0, 0)}));
    clip.addPolygon(QPolygonF({QPointF(30, 15), QPointF(30, 0), QPointF(60, 0)}));
    p.save();
    p.setClipPath(clip);
    p.setPen(QPen(red, 4));
    p.drawLines(diagonals, 2);
    p.restore();
    p.fillRect(QRectF(25, 0, 10, 30), kWhite);
    p.fillRect(QRectF(0, 10, 60, 10), kWhite);
    p.fillRect(QRectF(27, 0, 6, 30), red);
    p.fillRect(QRectF(0, 12, 60, 6), red);
    return image;
}

// ---- play button, 26 x 24 --------------------------------------------------

// A button face with a raised frame, or a sunken one when pressed.
void ButtonFrame(QPainter& p, bool pressed) {
    const int w = 26;
    const int h = 24;
    p.fillRect(0, 0, w, h, kFace);
    const QColor& outerLight = pressed ? kBlack : kWhite;
    const QColor& outerDark = pressed ? kWhite : kBlack;
    const QColor& innerDark = pressed ? kFace : kShadow;
    const QColor& innerLight = pressed ? kShadow : kFace;
    p.fillRect(0, 0, w - 1, 1, outerLight);
    p.fillRect(0, 0, 1, h - 1, outerLight);
    p.fillRect(0, h - 1, w, 1, outerDark);
    p.fillRect(w - 1, 0, 1, h, outerDark);
    p.fillRect(1, 1, w - 3, 1, innerLight);
    p.fillRect(1, 1, 1, h - 3, innerLight);
    p.fillRect(1, h - 2, w - 2, 1, innerDark);
    p.fillRect(w - 2, 1, 1, h - 2, innerDark);
}

QPolygon PlayTriangle(int shift) {
    return QPolygon({QPoint(9 + shift, 6 + shift), QPoint(9 + shift, 17 + shift),
                     QPoint(17 + shift, 11 + shift)});
}

QImage PlayButton(bool pressed) {
    QImage image = Blank(26, 24, kFace);
    QPainter p(&image);
    ButtonFrame(p, pressed);
    p.setPen(kBlack);
    p.setBrush(kGreen);
    p.drawPolygon(PlayTriangle(pressed ? 1 : 0));
    return image;
}

QImage InactivePlayButton() {
    QImage image = Blank(26, 24, kFace);
    QPainter p(&image);
    ButtonFrame(p, false);
    // The engraved look of a disabled control: a white copy one pixel lower
    // right, the grey one over it.
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawPolygon(PlayTriangle(1));
    p.setBrush(kShadow);
    p.drawPolygon(PlayTriangle(0));
    return image;
}

QImage StopButton(bool pressed) {
    QImage image = Blank(26, 24, kFace);
    QPainter p(&image);
    ButtonFrame(p, pressed);
    const int shift = pressed ? 1 : 0;
    p.setPen(kBlack);
    p.setBrush(kRed);
    p.drawRect(8 + shift, 7 + shift, 9, 9);
    return image;
}

// ---- the main window's picture, 256 x 256 ----------------------------------

QImage ColouredPicture() {
    QImage image = Blank(256, 256, kBlack);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QConicalGradient wheel(128, 128, 90);
    for (int i = 0; i <= 6; ++i) {
        wheel.setColorAt(i / 6.0, QColor::fromHsv((i * 60) % 360, 200, 255));
    }
    p.fillRect(image.rect(), wheel);
    // Rings of bubbles whose hue runs against the wheel's.
    for (int ring = 0; ring < 3; ++ring) {
        const double radius = 40.0 + ring * 36.0;
        const int count = 6 + ring * 4;
        for (int i = 0; i < count; ++i) {
            const double angle = (2.0 * std::numbers::pi * i) / count + ring * 0.3;
            const QPointF centre(128 + radius * std::cos(angle), 128 + radius * std::sin(angle));
            const double size = 18.0 - ring * 3.0;
            QRadialGradient bubble(centre - QPointF(size / 3, size / 3), size * 1.4);
            const int hue = (360 - (i * 360) / count + ring * 40) % 360;
            bubble.setColorAt(0.0, kWhite);
            bubble.setColorAt(0.4, QColor::fromHsv(hue, 255, 255));
            bubble.setColorAt(1.0, QColor::fromHsv(hue, 255, 110));
            p.setPen(Qt::NoPen);
            p.setBrush(bubble);
            p.drawEllipse(centre, size, size);
        }
    }
    QRadialGradient sun(128, 128, 28);
    sun.setColorAt(0.0, kWhite);
    sun.setColorAt(0.6, QColor(255, 220, 40));
    sun.setColorAt(1.0, QColor(255, 120, 0));
    p.setBrush(sun);
    p.drawEllipse(QPointF(128, 128), 26, 26);
    return image;
}

// ---- the program icon ------------------------------------------------------

QImage IconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PaintProgramIcon(p, size);
    return image;
}

QImage ImageFor(int id) {
    switch (id) {
    case 128:
        return IconImage(32);
    case 131:
        return ColouredPicture();
    case 133:
        return PlayButton(false);
    case 134:
        return InactivePlayButton();
    case 135:
        return StopButton(false);
    case 138:
        return PlayButton(true);
    case 139:
        return StopButton(true);
    case 150:
        return BritishFlag();
    case 151:
        return ThreeStripes(kBlack, QColor(221, 0, 0), QColor(255, 206, 0));
    case 152:
        return ThreeStripes(QColor(174, 28, 40), kWhite, QColor(33, 70, 139));
    default:
        return QImage();
    }
}

} // namespace

// A strip of film on a blue tile with a double "backwards" arrow: any size.
void PaintProgramIcon(QPainter& p, int size) {
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0.0, QColor(40, 90, 200));
    tile.setColorAt(1.0, QColor(10, 30, 110));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 10, 10);
    p.setBrush(QColor(20, 20, 20));
    p.drawRect(QRectF(6, 14, 52, 36));
    p.setBrush(kWhite);
    for (int i = 0; i < 6; ++i) {
        p.drawRect(QRectF(9 + i * 8.4, 16, 4, 4));
        p.drawRect(QRectF(9 + i * 8.4, 44, 4, 4));
    }
    p.setBrush(QColor(255, 150, 20));
    for (int i = 0; i < 2; ++i) {
        const double x = 30 + i * 13;
        p.drawPolygon(QPolygonF({QPointF(x, 23), QPointF(x, 41), QPointF(x - 13, 32)}));
    }
}

QPixmap ResourceBitmap(int id) {
    const QImage image = ImageFor(id);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : std::array{16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(IconImage(size)));
    }
    return icon;
}

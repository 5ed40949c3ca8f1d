#include "app/DividerLine.h"

#include <QPainter>
#include <QPalette>

CDividerLine::CDividerLine(QWidget* parent, bool sunken) : QWidget(parent), sunken_(sunken) {}

void CDividerLine::paintEvent(QPaintEvent*) {
    const int w = width();
    const int h = height();
    // A strip two pixels thick across the middle, along the longer side.
    QRect strip(0, 0, w, h);
    if (h > w) {
        strip.setLeft(w / 2 - 1);
        strip.setRight(w / 2); // right edge exclusive at w / 2 + 1
    } else {
        strip.setTop(h / 2 - 1);
        strip.setBottom(h / 2);
    }
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    const QColor& topLeft = sunken_ ? shadow : highlight;
    const QColor& bottomRight = sunken_ ? highlight : shadow;

    // A 3-D frame around the strip: top and left edge in one colour, bottom
    // and right edge (drawn last, so they own the corners) in the other.
    const int x = strip.left();
    const int y = strip.top();
    const int cx = strip.width();
    const int cy = strip.height();
    QPainter p(this);
    p.fillRect(x, y, cx - 1, 1, topLeft);
    p.fillRect(x, y, 1, cy - 1, topLeft);
    p.fillRect(x + cx - 1, y, 1, cy, bottomRight);
    p.fillRect(x, y + cy - 1, cx, 1, bottomRight);
}

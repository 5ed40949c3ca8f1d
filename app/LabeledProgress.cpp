#include "app/LabeledProgress.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace {

// Share of the range that position covers, limited to 0..1 so that a
// position outside the range (or an empty range) never paints outside the
// control or turns into an out-of-range integer.
double FractionOf(int position, int lower, int upper) {
    if (lower >= upper) {
        return 0.0;
    }
    const double fraction = (static_cast<double>(position) - lower) /
                            (static_cast<double>(upper) - static_cast<double>(lower));
    return std::clamp(fraction, 0.0, 1.0);
}

} // namespace

CLabeledProgress::CLabeledProgress(QWidget* parent) : QWidget(parent) {
    const QPalette colours = palette();
    barColour_ = colours.color(QPalette::Highlight);
    backColour_ = colours.color(QPalette::Base);
    textOnBackColour_ = colours.color(QPalette::Highlight);
    textOnBarColour_ = colours.color(QPalette::Base);
    // Everything is painted here; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CLabeledProgress::SetRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
}

int CLabeledProgress::SetPos(int position) {
    const int previous = position_;
    position_ = position;
    const int pixels =
        static_cast<int>(std::trunc(FractionOf(position_, lower_, upper_) * width()));
    if (pixels != barPixels_) {
        barPixels_ = pixels;
        repaint();
    }
    return previous;
}

void CLabeledProgress::SetText(const QString& text) {
    if (text != text_) {
        text_ = text;
        update();
    }
}

QString CLabeledProgress::ShownText() const {
    if (!text_.isEmpty()) {
        return text_;
    }
    const int percent = static_cast<int>(std::trunc(FractionOf(position_, lower_, upper_) * 100.0));
    return QStringLiteral("%1%").arg(percent);
}

void CLabeledProgress::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    barPixels_ = -1;
}

void CLabeledProgress::paintEvent(QPaintEvent*) {
    ++paints_;
    if (lower_ >= upper_ || width() <= 0 || height() <= 0) {
        return;
    }
    const double fraction = FractionOf(position_, lower_, upper_);
    const QRect all = rect();
    const int edge = all.left() + static_cast<int>(std::trunc(all.width() * fraction));
    const QRect done(all.left(), all.top(), edge - all.left(), all.height());
    const QRect rest(edge, all.top(), all.right() + 1 - edge, all.height());
    const QString text = ShownText();

    // Drawn off-screen and put on the screen in one step, so the bar never
    // shows half a picture.
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(all.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    {
        QPainter p(&picture);
        p.setFont(font());
        p.fillRect(done, barColour_);
        p.fillRect(rest, backColour_);
        p.setClipRect(done);
        p.setPen(textOnBarColour_);
        p.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, text);
        p.setClipRect(rest);
        p.setPen(textOnBackColour_);
        p.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, text);
    }
    QPainter screen(this);
    screen.drawPixmap(all.topLeft(), picture);
}

#include "ui/main/BitmapButton.h"

#include "app/ResourceImages.h"

#include <QKeyEvent>
#include <QPainter>

CBitmapButton::CBitmapButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void CBitmapButton::SetBitmaps(int normal, int pressed, int focused, int disabled) {
    const std::array<int, 4> ids{normal, pressed, focused, disabled};
    if (ids == ids_) {
        return;
    }
    ids_ = ids;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        bitmaps_[i] = ResourceBitmap(ids[i]);
    }
    update();
}

void CBitmapButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat()) {
            click();
        }
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

QSize CBitmapButton::sizeHint() const {
    return bitmaps_[0].isNull() ? QSize(26, 24) : bitmaps_[0].size();
}

void CBitmapButton::paintEvent(QPaintEvent*) {
    std::size_t state = 0;
    if (!isEnabled()) {
        state = 3;
    } else if (isDown()) {
        state = 1;
    } else if (hasFocus()) {
        state = 2;
    }
    const QPixmap& bitmap = bitmaps_[state];
    if (bitmap.isNull()) {
        return;
    }
    QPainter painter(this);
    // Drawn in its own size, centred; only a button too small shrinks it.
    QSize size = bitmap.size();
    if (size.width() > width() || size.height() > height()) {
        size = size.scaled(this->size(), Qt::KeepAspectRatio);
    }
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.drawPixmap(target, bitmap);
}

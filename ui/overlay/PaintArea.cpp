#include "ui/overlay/PaintArea.h"

#include <QPainter>

CPaintArea::CPaintArea(QWidget* parent, int controlId, bool thinBorder) : QFrame(parent) {
    setObjectName(QStringLiteral("control%1").arg(controlId));
    setFocusPolicy(Qt::NoFocus);
    if (thinBorder) {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
}

void CPaintArea::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (painter_) {
        QPainter painter(this);
        painter_(painter, contentsRect());
    }
}

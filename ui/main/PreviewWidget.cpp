#include "ui/main/PreviewWidget.h"

#include "app/DibPainter.h"

#include <QPainter>

namespace {

const QColor kNoInputBlue(0, 0, 255);

} // namespace

CPreviewWidget::CPreviewWidget(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The surface covers the whole inside: nothing below needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    FitSurface();
}

void CPreviewWidget::FitSurface() {
    // The size follows the widget's geometry at once, also while it is
    // hidden and its resize events are still pending.
    const QSize inside = contentsRect().size().expandedTo(QSize(1, 1));
    if (surface_.size() == inside) {
        return;
    }
    QImage surface(inside, QImage::Format_RGB32);
    surface.fill(kNoInputBlue);
    if (!surface_.isNull()) {
        // A new size keeps the old picture, stretched.
        QPainter painter(&surface);
        painter.drawImage(surface.rect(), surface_);
    }
    surface_ = std::move(surface);
}

bool CPreviewWidget::DrawDib(const BITMAPINFOHEADER* dib, std::size_t dibBytes) {
    FitSurface();
    QPainter painter(&surface_);
    if (!DrawDibStretched(painter, surface_.rect(), dib, dibBytes)) {
        return false;
    }
    painter.end();
    ++drawCount_;
    update();
    return true;
}

void CPreviewWidget::DrawNoInput() {
    FitSurface();
    surface_.fill(kNoInputBlue);
    ++drawCount_;
    update();
}

void CPreviewWidget::paintEvent(QPaintEvent* event) {
    FitSurface();
    {
        QPainter painter(this);
        painter.drawImage(contentsRect().topLeft(), surface_);
    }
    QFrame::paintEvent(event); // the border
}

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

void CPreviewWidget::SetPixelAspect(std::int32_t num, std::int32_t den) {
    const bool valid = num > 0 && den > 0;
    aspectNum_ = valid ? num : 1;
    aspectDen_ = valid ? den : 1;
}

bool CPreviewWidget::DrawDib(const BITMAPINFOHEADER* dib, std::size_t dibBytes) {
    FitSurface();
    QImage drawn(surface_.size(), QImage::Format_RGB32);
    drawn.fill(Qt::black);
    QPainter painter(&drawn);
    const std::int64_t height = dib != nullptr ? dib->biHeight : 0;
    const QRect target = FitPicture(surface_.rect(), dib != nullptr ? dib->biWidth : 0,
                                    height < 0 ? -height : height, aspectNum_, aspectDen_);
    if (!DrawDibStretched(painter, target, dib, dibBytes)) {
        return false;
    }
    surface_ = std::move(drawn);
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

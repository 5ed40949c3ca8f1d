// The overlay settings dialog's preview: the base frame drawn into the base
// area in its proportions (black bars beside or above and below it), the
// overlay rectangle placed on it at the slot's position and the overlay
// frame drawn into it; dragging the rectangle with the mouse.
#include "ui/overlay/OverlayDlg.h"

#include "app/DibPainter.h"
#include "res/OverlayDlgIds.h"
#include "ui/overlay/PaintArea.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSlider>

#include <algorithm>
#include <limits>

using namespace overlay_dlg;

namespace {

const QColor kMissingBase(255, 0, 0);
const QColor kNoOverlay(0, 0, 255);
// Preview pixels of the overlay rectangle that a drag leaves inside the preview.
constexpr int kGrabPixels = 8;

// Base pixels to preview pixels: the product first, then the division.
int Scale(std::int64_t value, std::int64_t previewSize, std::int64_t baseSize) {
    if (baseSize <= 0) {
        return 0;
    }
    return static_cast<int>(std::clamp<std::int64_t>(value * previewSize / baseSize,
                                                     std::numeric_limits<int>::min() / 2,
                                                     std::numeric_limits<int>::max() / 2));
}

} // namespace

void COverlayDlg::CreatePreviewWindows() {
    // The base area is centred in the frame, three pixels below the middle
    // (the frame's caption line); the overlay rectangle is its child.
    QWidget* frame = builder_.Control(kPreviewFrame);
    const int cw = frame->width();
    const int ch = frame->height();
    baseArea_ = new CPaintArea(frame, kBaseArea, true);
    baseArea_->setGeometry((cw - kBaseAreaWidth) / 2, (ch - kBaseAreaHeight) / 2 + 3,
                           kBaseAreaWidth, kBaseAreaHeight);
    baseArea_->SetPainter(
        [this](QPainter& painter, const QRect& client) { PaintBase(painter, client); });

    overlayArea_ = new CPaintArea(baseArea_, kOverlayArea, false);
    overlayArea_->SetPainter(
        [this](QPainter& painter, const QRect& client) { PaintOverlay(painter, client); });
    overlayArea_->setCursor(Qt::SizeAllCursor);
    overlayArea_->installEventFilter(this);
}

void COverlayDlg::InvalidatePreview() {
    if (baseArea_ == nullptr || overlayArea_ == nullptr) {
        return;
    }
    PlaceOverlayArea();
    baseArea_->update();
    overlayArea_->update();
}

bool COverlayDlg::SplitScreenSource(QRect* source) const {
    // The part of the overlay frame that lies under the rectangle: from
    // (x, y), cut at the overlay frame's right and bottom edges.
    if (!overlayLoaded_) {
        return false;
    }
    const std::int64_t x = working_.x;
    const std::int64_t y = working_.y;
    const std::int64_t sw = x + working_.width > overlayFrameWidth_ ? overlayFrameWidth_ - x
                                                                    : std::int64_t{working_.width};
    const std::int64_t sh = y + working_.height > overlayFrameHeight_
                                ? overlayFrameHeight_ - y
                                : std::int64_t{working_.height};
    if (x < 0 || y < 0 || sw <= 0 || sh <= 0) {
        return false;
    }
    *source =
        QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(sw), static_cast<int>(sh));
    return true;
}

QRect COverlayDlg::BasePicture() const {
    return FitPicture(baseArea_->contentsRect(), baseWidth_, baseHeight_, baseAspectNum_,
                      baseAspectDen_);
}

void COverlayDlg::PlaceOverlayArea() {
    const QRect client = BasePicture();
    const int cw = client.width();
    const int ch = client.height();
    int width = Scale(working_.width, cw, baseWidth_);
    int height = Scale(working_.height, ch, baseHeight_);
    QRect source;
    if (working_.noResize != 0 && SplitScreenSource(&source)) {
        // Split screen: the rectangle narrows to the overlay's own pixels.
        // When x or y lies outside the overlay frame nothing of the overlay
        // shows; the rectangle then keeps its size and stays blue.
        width = Scale(source.width(), cw, baseWidth_);
        height = Scale(source.height(), ch, baseHeight_);
    }
    overlayArea_->setGeometry(client.left() + Scale(working_.x, cw, baseWidth_),
                              client.top() + Scale(working_.y, ch, baseHeight_), width, height);
}

void COverlayDlg::PaintBase(QPainter& painter, const QRect& client) {
    // The frame is fetched at every paint: a missing frame shows red.
    const BITMAPINFOHEADER* frame = nullptr;
    baseReader_.GetVideoFrame(0, TrackPos(kBaseBar), &frame);
    if (frame == nullptr) {
        painter.fillRect(client, kMissingBase);
        return;
    }
    // Stretched anew only after the base position changed; otherwise the
    // last stretched picture is drawn again.
    if (baseRedraw_ || baseStretched_.size() != client.size()) {
        baseRedraw_ = false;
        QImage picture(client.size(), QImage::Format_RGB32);
        picture.fill(Qt::black);
        {
            QPainter stretch(&picture);
            const QRect shown = BasePicture().translated(-client.topLeft());
            stretch.fillRect(shown, kMissingBase);
            DrawDibStretched(stretch, shown, frame);
        }
        baseStretched_ = std::move(picture);
        ++baseStretchCount_;
    }
    painter.drawImage(client.topLeft(), baseStretched_);
}

void COverlayDlg::PaintOverlay(QPainter& painter, const QRect& client) {
    const BITMAPINFOHEADER* frame = nullptr;
    if (overlayLoaded_) {
        overlayReader_->GetVideoFrame(0, TrackPos(kOverlayBar), &frame);
    }
    bool drawn = false;
    if (frame != nullptr) {
        QRect source;
        if (working_.noResize == 0) {
            drawn = DrawDibStretched(painter, client, frame);
        } else if (SplitScreenSource(&source)) {
            drawn = DrawDibStretched(painter, client, frame, 0, source);
        }
    }
    if (!drawn) {
        painter.fillRect(client, kNoOverlay);
    }
}

bool COverlayDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched != overlayArea_) {
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) {
            break;
        }
        dragging_ = true;
        dragStart_ = mouse->globalPosition().toPoint();
        dragStartX_ = working_.x;
        dragStartY_ = working_.y;
        return true;
    }
    case QEvent::MouseMove:
        if (dragging_) {
            DragOverlay(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (dragging_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            DragOverlay(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            dragging_ = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void COverlayDlg::DragOverlay(const QPoint& globalPos) {
    // The mouse's way in preview pixels becomes base pixels; the track bars
    // take the new place as if the user had moved them, and hold it within
    // their ranges.
    const QRect client = BasePicture();
    if (client.width() <= 0 || client.height() <= 0) {
        return;
    }
    const QPoint delta = globalPos - dragStart_;
    const std::int64_t x = dragStartX_ + std::int64_t{delta.x()} * baseWidth_ / client.width();
    const std::int64_t y = dragStartY_ + std::int64_t{delta.y()} * baseHeight_ / client.height();
    // A strip of the rectangle (a few preview pixels, or all of it when it is
    // smaller) stays inside the preview, where the mouse can grab it again.
    const auto lastStart = [](std::int64_t size, std::int64_t base, std::int64_t shown) {
        const std::int64_t grab = (std::int64_t{kGrabPixels} * base + shown - 1) / shown;
        return std::max<std::int64_t>(0, base - std::clamp<std::int64_t>(size, 1, grab));
    };
    builder_.Get<QSlider>(kXBar)->setValue(static_cast<int>(
        std::clamp<std::int64_t>(x, 0, lastStart(working_.width, baseWidth_, client.width()))));
    builder_.Get<QSlider>(kYBar)->setValue(static_cast<int>(
        std::clamp<std::int64_t>(y, 0, lastStart(working_.height, baseHeight_, client.height()))));
}

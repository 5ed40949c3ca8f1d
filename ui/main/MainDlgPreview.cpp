// The preview area of the main window, the position line and playback.
#include "ui/main/MainDlg.h"

#include "app/TextCatalog.h"
#include "engine/TextFormatting.h"
#include "ui/main/StringPrintf.h"

#include <QFrame>
#include <QGroupBox>
#include <QPainter>
#include <QSlider>

#include <algorithm>

namespace {

constexpr int kPreviewWidth = 362;
constexpr int kPreviewHeight = 290;
constexpr int kPreviewId = 5001;

} // namespace

void CMainDlg::CreatePreviewWindow() {
    // Centred in the frame, three pixels below the middle (the frame's
    // caption line).
    const int w = frame_->width();
    const int h = frame_->height();
    previewWindow_ = new QFrame(frame_);
    previewWindow_->setObjectName(QStringLiteral("control%1").arg(kPreviewId));
    previewWindow_->setFrameStyle(QFrame::Box | QFrame::Plain);
    previewWindow_->setLineWidth(1);
    previewWindow_->setFocusPolicy(Qt::NoFocus);
    previewWindow_->setAttribute(Qt::WA_TransparentForMouseEvents);
    previewWindow_->setGeometry((w - kPreviewWidth) / 2, (h - kPreviewHeight) / 2 + 3,
                                kPreviewWidth, kPreviewHeight);
    previewWindow_->installEventFilter(this);
    previewWindow_->show();
}

void CMainDlg::PaintPreview() {
    // Frames are not drawn yet: the area inside the border is blue.
    QPainter painter(previewWindow_);
    painter.fillRect(previewWindow_->contentsRect(), QColor(0, 0, 255));
}

void CMainDlg::DrawFrame(int frame, bool moveSlider) {
    const bool conversionFrame = converting_ && previewLength_ > 0 && frameCount_ <= 0;
    if (!conversionFrame) {
        if (frameCount_ <= 0) {
            positionText_.clear();
            previewWindow_->update();
            UpdateStatics();
            return;
        }
        frame = std::clamp(frame, 1, frameCount_);
        if (frame == currentFrame_) {
            return; // already shown, with its position line
        }
        currentFrame_ = frame;
    }
    positionText_.clear();
    previewWindow_->update();
    if (moveSlider) {
        slider_->setValue(frame);
    }
    if (!converting_) {
        const std::int32_t ms = reader_.VideoFrameToTime(0, frame - 1);
        positionText_ = StringPrintf(
            "%s: %lu/%lu  %s: %s", GetText(66), static_cast<unsigned long>(frame),
            static_cast<unsigned long>(frameCount_), GetText(67), FormatTime(ms * 0.001).c_str());
    }
    UpdateStatics();
}

void CMainDlg::OnPlayButton() {
    // Playback is not offered yet; the button's bitmaps show the state only.
}

void CMainDlg::StartPlayback() {
    // Playback is not offered yet.
}

void CMainDlg::StopPlayback() {
    if (timerId_ != 0) {
        killTimer(timerId_);
        timerId_ = 0;
    }
    if (playing_) {
        playing_ = false;
        UpdateControls();
    }
}

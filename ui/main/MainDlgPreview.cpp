// The preview area of the main window: drawing frames of the input and the
// conversion preview, the position line, the track bar and playback.
#include "ui/main/MainDlg.h"

#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "engine/TextFormatting.h"
#include "res/MainDlgIds.h"
#include "ui/main/PreviewWidget.h"

#include <QGroupBox>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

namespace {

constexpr int kPreviewWidth = 362;
constexpr int kPreviewHeight = 290;
constexpr int kPlaybackPeriodMs = 30;
// How long a step back waits for the stretch being decoded ahead before the
// window decodes the frame itself.
constexpr std::chrono::milliseconds kStepBackPatience{5000};

} // namespace

void CMainDlg::CreatePreviewWindow() {
    // Centred in the frame, three pixels below the middle (the frame's
    // caption line).
    const int w = frame_->width();
    const int h = frame_->height();
    previewWindow_ = new CPreviewWidget(frame_);
    previewWindow_->setObjectName(QStringLiteral("control%1").arg(main_dlg::kPreviewWindow));
    previewWindow_->setGeometry((w - kPreviewWidth) / 2, (h - kPreviewHeight) / 2 + 3,
                                kPreviewWidth, kPreviewHeight);
    previewWindow_->show();

    playTimer_ = new QTimer(this);
    playTimer_->setInterval(kPlaybackPeriodMs);
    playTimer_->setTimerType(Qt::PreciseTimer);
    connect(playTimer_, &QTimer::timeout, this, &CMainDlg::OnTimer);
}

void CMainDlg::SetSliderRange(int minimum, int maximum) {
    // Moving the track bar from here is no user's scroll: no drawing follows.
    const QSignalBlocker quiet(slider_);
    slider_->setRange(minimum, maximum);
}

void CMainDlg::SetSliderPosition(int position) {
    const QSignalBlocker quiet(slider_);
    slider_->setValue(position);
}

void CMainDlg::DrawFrame(int frame, bool moveSlider) {
    const bool conversionFrame = converting_ && previewLength_ > 0 && frameCount_ <= 0;
    if (!conversionFrame) {
        if (frameCount_ <= 0) {
            positionText_.clear();
            previewWindow_->DrawNoInput();
            UpdateStatics();
            return;
        }
        frame = std::clamp(frame, 1, frameCount_);
        if (frame == currentFrame_) {
            return; // already shown, with its position line
        }
        // A step back, or a jump to the end, where only steps back can
        // follow, comes from the readers that decode the stretch before
        // ahead. A jump forwards (a click on the track bar, not a drag)
        // has them start on its stretch beside the window, so that a step
        // back after it finds the stretch decoded.
        const bool back = !playing_ && (frame < currentFrame_ || frame == frameCount_);
        const bool jump =
            !playing_ && frame > currentFrame_ + 1 && currentFrame_ > 0 && !slider_->isSliderDown();
        if (back || jump) {
            stepBack_.Prepare(frame - 1, reader_->GetKeyFrameAtOrBefore(0, frame - 1));
        }
        currentFrame_ = frame;
        const bool drawn = back && stepBack_.WithFrame(frame - 1, kStepBackPatience,
                                                       [this](const BITMAPINFOHEADER* dib) {
                                                           previewWindow_->DrawDib(dib);
                                                       });
        if (!drawn) {
            const BITMAPINFOHEADER* dib = nullptr;
            reader_->GetVideoFrame(0, frame - 1, &dib);
            if (dib == nullptr) {
                // The old picture stays; the track bar goes back to the start.
                UpdateControls();
                SetSliderPosition(1);
                return;
            }
            previewWindow_->DrawDib(dib);
        }
    } else {
        previewWindow_->DrawDib(reinterpret_cast<const BITMAPINFOHEADER*>(previewBuffer_.data()),
                                static_cast<std::size_t>(previewLength_));
    }
    positionText_.clear();
    if (moveSlider) {
        SetSliderPosition(frame);
    }
    if (!converting_) {
        BuildPositionText(frame);
    }
    UpdateStatics();
}

void CMainDlg::BuildPositionText(int frame) {
    const std::int32_t ms = reader_->VideoFrameToTime(0, frame - 1);
    positionText_ =
        StringPrintf("%s: %lu/%lu  %s: %s", GetText(txt::kFrame), static_cast<unsigned long>(frame),
                     static_cast<unsigned long>(frameCount_), GetText(txt::kTime),
                     FormatTime(ms * 0.001).c_str());
}

void CMainDlg::OnHScroll(int position) {
    if (converting_ || frameCount_ <= 0 || playing_) {
        return;
    }
    DrawFrame(position, false); // the track bar already stands there
}

void CMainDlg::OnPlayButton() {
    if (frameCount_ <= 0 || converting_) {
        return;
    }
    if (playing_) {
        StopPlayback();
    } else {
        StartPlayback();
    }
    UpdateControls();
}

void CMainDlg::StartPlayback() {
    if (playing_) {
        return;
    }
    playTimer_->stop();
    playTimer_->start();
    playbackStart_ = clock_();
    // From the frame shown, or from the start when none or the last is shown.
    playbackBase_ = (currentFrame_ > 0 && currentFrame_ < frameCount_) ? currentFrame_ - 1 : 0;
    playing_ = true;
}

void CMainDlg::OnTimer() {
    if (!playing_) {
        return;
    }
    // The frame follows the clock: frames between two ticks are skipped.
    const std::uint32_t elapsed = clock_() - playbackStart_;
    const auto ms = static_cast<std::int32_t>(
        std::min<std::uint32_t>(elapsed, std::numeric_limits<std::int32_t>::max()));
    const std::int32_t n = reader_->VideoTimeToFrame(0, ms);
    std::int64_t target =
        n < 0 ? std::int64_t{frameCount_} : std::int64_t{n} + std::int64_t{playbackBase_} + 1;
    if (target >= frameCount_) {
        StopPlayback();
        target = frameCount_;
    }
    DrawFrame(static_cast<int>(target), true);
}

void CMainDlg::StopPlayback() {
    if (playTimer_ != nullptr) {
        playTimer_->stop();
    }
    if (playing_) {
        playing_ = false;
        UpdateControls();
    }
}

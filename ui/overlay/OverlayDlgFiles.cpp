// The overlay settings dialog: the base and overlay files, the information
// text and the title.
#include "ui/overlay/OverlayDlg.h"

#include "app/BusyCursor.h"
#include "app/InputOpener.h"
#include "app/MessageBoxService.h"
#include "app/QtNotificationTarget.h"
#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "engine/InputCheck.h"
#include "engine/TextFormatting.h"
#include "res/OverlayDlgIds.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QSlider>

#include <algorithm>
#include <cstdlib>
#include <limits>

using namespace overlay_dlg;

namespace {

constexpr std::int64_t kMaxFrameSide = 32768;
constexpr std::int32_t kMinFrameSide = 10;

// A side of the frame rectangle from the stream header; 0 when it makes no
// sense (the file's values are not to be trusted).
std::int32_t FrameSide(std::int32_t low, std::int32_t high) {
    const std::int64_t side = std::int64_t{high} - low;
    return side > 0 && side <= kMaxFrameSide ? static_cast<std::int32_t>(side) : 0;
}

// The format, frame count, rate and duration lines of the information text.
// A zero scale or rate gives no frame rate and no duration ("---").
constexpr int kOkButton = 1;

std::string OverlayStreamFacts(const AVISTREAMINFOA& info, std::int32_t length,
                               const OverlayFirstFrame& first) {
    const std::string depth = first.present ? StringPrintf("%i", first.bitCount) : "?";
    const double rate = info.dwScale != 0 ? static_cast<double>(info.dwRate) / info.dwScale : 0.0;
    const double seconds = rate > 0.0 ? length / rate : -1.0;
    const std::string format =
        StringPrintf("%s: %i x %i x %s (%s)", GetText(txt::kFormat),
                     static_cast<int>(std::int64_t{info.rcFrame.right} - info.rcFrame.left),
                     static_cast<int>(std::int64_t{info.rcFrame.bottom} - info.rcFrame.top),
                     depth.c_str(), FourccToText(info.fccHandler).c_str());
    const std::string frames =
        StringPrintf("\r\n%s: %i  %s/%s.: %6.3f", GetText(txt::kFrames), static_cast<int>(length),
                     GetText(txt::kFrames), GetText(txt::kSec), rate);
    return format + frames +
           StringPrintf("\r\n%s: %s", GetText(txt::kDuration), FormatTime(seconds).c_str());
}

} // namespace

bool COverlayDlg::OpenBase() {
    CBusyCursor busy;
    baseReader_.Close();
    baseFrameCount_ = 0;
    baseWidth_ = 0;
    baseHeight_ = 0;
    baseAspectNum_ = 1;
    baseAspectDen_ = 1;
    if (basePath_.empty()) {
        return false;
    }
    if (!baseReader_.Open(basePath_.c_str()) || baseReader_.GetVideoStreamCount() == 0) {
        return false;
    }
    baseFrameCount_ = baseReader_.GetVideoLength(0);
    AVISTREAMINFOA info{};
    if (!baseReader_.GetVideoStreamInfo(0, &info, sizeof info)) {
        return false;
    }
    baseWidth_ = FrameSide(info.rcFrame.left, info.rcFrame.right);
    baseHeight_ = FrameSide(info.rcFrame.top, info.rcFrame.bottom);
    if (!baseReader_.GetSampleAspect(0, &baseAspectNum_, &baseAspectDen_)) {
        baseAspectNum_ = 1;
        baseAspectDen_ = 1;
    }
    return baseReader_.StartVideoRetrieve(0);
}

void COverlayDlg::UseFallbackBaseFacts() {
    // Without a usable base (no file, no stream information, an empty frame
    // rectangle or no frames) the ranges are made just large enough for the
    // slot's own values, at least 10 x 10 pixels and one frame: nothing
    // divides by zero, and OK does not cut a slot down because its base
    // cannot be read at the moment. The preview then stays red.
    if (baseWidth_ <= 0) {
        const std::int64_t needed =
            std::max<std::int64_t>(std::int64_t{working_.x} + 1, working_.width);
        baseWidth_ = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(needed, kMinFrameSide, kMaxFrameSide));
    }
    if (baseHeight_ <= 0) {
        const std::int64_t needed =
            std::max<std::int64_t>(std::int64_t{working_.y} + 1, working_.height);
        baseHeight_ = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(needed, kMinFrameSide, kMaxFrameSide));
    }
    if (baseFrameCount_ <= 0) {
        baseFrameCount_ = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            std::int64_t{working_.baseStart} + 1, 1, std::numeric_limits<std::int32_t>::max()));
    }
}

void COverlayDlg::SetTitle(const std::string& path) {
    const std::string title =
        path.empty()
            ? StringPrintf("Overlay %i", static_cast<int>(working_.number))
            : StringPrintf("Overlay %i - [%s]", static_cast<int>(working_.number), path.c_str());
    setWindowTitle(QString::fromUtf8(title));
}

void COverlayDlg::LoadOverlay(bool resetRange) {
    EndLoading(); // a result still to come is dropped
    SetTitle(std::string());
    overlayReader_->Close();
    overlayLoaded_ = false;
    InvalidatePreview();
    if (overlayPath_.empty()) {
        return;
    }
    if (opener_ == nullptr) {
        notices_ = std::make_shared<CQtNotificationTarget>(this);
        opener_ = std::make_unique<CInputOpener>(notices_);
    }
    loading_ = true;
    loadResetRange_ = resetRange;
    loadTicket_ = opener_->Open(overlayPath_);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // OK waits for the overlay's frame count, which sets the slot's range.
    EnableControl(kOkButton, false);
    infoText_ = QFileInfo(QString::fromUtf8(overlayPath_)).fileName().toStdString() + " …";
    ShowValueFields();
}

void COverlayDlg::EndLoading() {
    if (loading_) {
        loading_ = false;
        QGuiApplication::restoreOverrideCursor();
        EnableControl(kOkButton, true);
    }
}

void COverlayDlg::OnOverlayOpened(OpenedInput& opened) {
    if (!loading_ || opened.ticket != loadTicket_) {
        return; // asked for again since, or cleared
    }
    EndLoading();
    // Open failures keep the path: the user sees the reason and may try again.
    if (opened.refused) {
        infoText_ = GetText(opened.errorId);
        ShowMessage(GetText(opened.boxId));
        ShowValueFields();
        return;
    }
    OverlayFirstFrame first;
    first.present = opened.reader != nullptr;
    first.bitCount = opened.first.biBitCount;
    first.width = opened.first.biWidth;
    first.height = static_cast<std::int32_t>(
        std::min<std::int64_t>(std::abs(std::int64_t{opened.first.biHeight}), kMaxFrameSide));
    OverlayFirstFrame described = first;
    described.present = opened.first.biSize != 0;
    const std::string error = opened.errorId != 0 ? GetText(opened.errorId) : "";
    const std::string facts =
        opened.hasLines ? OverlayStreamFacts(opened.stream, opened.streamFrames, described) : "";
    if (opened.boxId != 0) {
        ShowMessage(GetText(opened.boxId));
    }
    if (!first.present) {
        // The overlay cannot be used; the reason stays in the information.
        ClearOverlay();
    } else {
        overlayReader_ = std::move(opened.reader);
        UseLoadedOverlay(first, opened.streamFrames, loadResetRange_);
    }
    infoText_ = error + facts;
    ShowValueFields();
    SetTitle(overlayPath_);
}

void COverlayDlg::UseLoadedOverlay(const OverlayFirstFrame& first, std::int32_t length,
                                   bool resetRange) {
    overlayLoaded_ = true;
    overlayFrameWidth_ = first.width;
    overlayFrameHeight_ = first.height;
    SetTrackRange(kOverlayBar, 0, length - 1);
    SetTrackPos(kOverlayBar, 0);
    EnableControl(kOverlayBar, true);
    EnableControl(kStart, true);
    EnableControl(kEnd, true);
    overlayPos_ = 1;
    if (resetRange) {
        startFrame_ = 1;
        endFrame_ = length;
    }
    lastOverlayPos_ = -1;
    InvalidatePreview();
}

void COverlayDlg::ClearOverlay() {
    EndLoading();
    infoText_.clear();
    SetTitle(std::string());
    overlayPath_.clear();
    overlayReader_->Close();
    overlayLoaded_ = false;
    SetTrackPos(kOverlayBar, 0);
    EnableControl(kOverlayBar, false);
    EnableControl(kStart, false);
    EnableControl(kEnd, false);
    overlayPos_ = 1;
    startFrame_ = 1;
    endFrame_ = 1;
    InvalidatePreview();
    ShowValueFields();
}

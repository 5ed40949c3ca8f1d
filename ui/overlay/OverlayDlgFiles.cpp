// The overlay settings dialog: the base and overlay files, the information
// text and the title.
#include "ui/overlay/OverlayDlg.h"

#include "app/BusyCursor.h"
#include "app/MessageBoxService.h"
#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "engine/TextFormatting.h"
#include "ui/overlay/OverlayDlgIds.h"

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

} // namespace

bool COverlayDlg::OpenBase() {
    CBusyCursor busy;
    baseReader_.Close();
    baseFrameCount_ = 0;
    baseWidth_ = 0;
    baseHeight_ = 0;
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
    CBusyCursor busy;
    SetTitle(std::string());
    overlayReader_.Close();
    overlayLoaded_ = false;
    InvalidatePreview();
    if (overlayPath_.empty()) {
        return;
    }

    // Open failures keep the path: the user sees the reason and may try again.
    const auto refuse = [this](int textId) {
        infoText_ = GetText(textId);
        overlayReader_.Close();
        ShowMessage(GetText(textId));
        ShowValueFields();
    };
    if (!overlayReader_.Open(overlayPath_.c_str())) {
        refuse(54);
        return;
    }
    if (overlayReader_.GetVideoStreamCount() == 0) {
        refuse(55);
        return;
    }

    std::string error;
    std::string format;
    std::string frames;
    std::string duration;
    bool haveFrame = false;
    std::int32_t frameWidth = 0;
    std::int32_t frameHeight = 0;
    const std::int32_t length = overlayReader_.GetVideoLength(0);
    AVISTREAMINFOA info{};
    if (!overlayReader_.GetVideoStreamInfo(0, &info, sizeof info)) {
        error = GetText(56);
        overlayReader_.Close();
    } else {
        std::string depth = "?";
        int bitCount = 0;
        std::uint32_t coloursUsed = 0;
        if (!overlayReader_.StartVideoRetrieve(0)) {
            error = GetText(57);
            overlayReader_.Close();
        } else {
            const BITMAPINFOHEADER* frame = nullptr;
            overlayReader_.GetVideoFrame(0, 0, &frame);
            if (frame == nullptr) {
                error = GetText(58);
                overlayReader_.Close();
                ShowMessage(GetText(59));
            } else {
                haveFrame = true;
                bitCount = frame->biBitCount;
                coloursUsed = frame->biClrUsed;
                frameWidth = frame->biWidth;
                frameHeight = static_cast<std::int32_t>(
                    std::min<std::int64_t>(std::abs(std::int64_t{frame->biHeight}), kMaxFrameSide));
                depth = StringPrintf("%i", bitCount);
            }
        }

        // A zero scale or rate gives no frame rate and no duration ("---").
        const double rate =
            info.dwScale != 0 ? static_cast<double>(info.dwRate) / info.dwScale : 0.0;
        const double seconds = rate > 0.0 ? length / rate : -1.0;
        format =
            StringPrintf("%s: %i x %i x %s (%s)", GetText(60),
                         static_cast<int>(std::int64_t{info.rcFrame.right} - info.rcFrame.left),
                         static_cast<int>(std::int64_t{info.rcFrame.bottom} - info.rcFrame.top),
                         depth.c_str(), FourccToText(info.fccHandler).c_str());
        frames = StringPrintf("\r\n%s: %i  %s/%s.: %6.3f", GetText(61), static_cast<int>(length),
                              GetText(61), GetText(62), rate);
        duration = StringPrintf("\r\n%s: %s", GetText(63), FormatTime(seconds).c_str());

        if (haveFrame) {
            if ((bitCount != 16 && bitCount != 24 && bitCount != 32) || coloursUsed != 0) {
                haveFrame = false;
                error = GetText(64);
                overlayReader_.Close();
                ShowMessage(GetText(64));
            } else {
                const BITMAPINFOHEADER* last = nullptr;
                overlayReader_.GetVideoFrame(0, length - 1, &last);
                if (last == nullptr) {
                    haveFrame = false;
                    error = GetText(65);
                    overlayReader_.Close();
                    ShowMessage(GetText(65));
                }
            }
        }
    }

    infoText_ = error + format + frames + duration;
    if (!haveFrame) {
        // The overlay cannot be used; the reason stays in the information.
        ClearOverlay();
        infoText_ = error + format + frames + duration;
    } else {
        overlayLoaded_ = true;
        overlayFrameWidth_ = frameWidth;
        overlayFrameHeight_ = frameHeight;
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
    ShowValueFields();
    SetTitle(overlayPath_);
}

void COverlayDlg::ClearOverlay() {
    infoText_.clear();
    SetTitle(std::string());
    overlayPath_.clear();
    overlayReader_.Close();
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

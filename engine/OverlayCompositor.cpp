// Opening the overlay files of a run and drawing one overlay frame per output
// frame into the base video, slot 10 first so that slot 1 ends up on top.
#include "engine/ConvertThread.h"
#include "engine/FrameChecks.h"

#include <limits>
#include <new>

void CConvertThread::ReleaseOverlay(OverlaySettings& slot) {
    if (slot.reader != nullptr) {
        // What its decoder concealed still counts once the overlay has ended.
        endedOverlayDamage_ += slot.reader->GetDamagedFrameCount(0);
    }
    slot.reader.reset();
}

bool CConvertThread::OpenOverlays() {
    for (std::size_t i = 0; i < job_.overlays.size(); ++i) {
        OverlaySettings& slot = job_.overlays[i];
        slot.nextFrame = 0;
        overlayColumns_[i] = ScaledOverlayColumns{};
        if (slot.path.empty()) {
            continue;
        }
        slot.reader = std::make_shared<CAviReader>();
        if (!slot.reader->Open(slot.path.c_str())) {
            if (AbortRequested()) {
                return false; // its reading was cut off by the stop
            }
            ReportMessage(nullptr, "FEHLER: Öffne Overlay AVI (%s)", slot.path.c_str());
            return false;
        }
        if (!slot.reader->StartVideoRetrieve(0)) {
            ReportMessage(nullptr, "ERROR: Start Video Retrieve (Overlay)");
            return false;
        }
        const BITMAPINFOHEADER* first = nullptr;
        slot.reader->GetVideoFrame(0, 0, &first);
        if (first == nullptr) {
            ReportMessage(nullptr, "ERROR: Getting First Overlay Video Frame");
            return false;
        }
        if (!HasWorkableDepth(*first)) {
            ReportMessage(nullptr, "ERROR: Overlay Frame Format (color deep=%i) not supported",
                          static_cast<int>(first->biBitCount));
            return false;
        }
        slot.headerSize = static_cast<std::int32_t>(first->biSize);
        slot.sourceWidth = first->biWidth;
        slot.sourceHeight = first->biHeight;
        slot.sourceBytesPerPixel = first->biBitCount / 8;
        if (!FillsImageExactly(*first)) {
            ReportMessage(nullptr, "ERROR: Inconsistant Overlay Frame Bitmap Data");
            return false;
        }
        overlayFormat_[i] = *first;
        overlaysActive_ = true;
    }
    return true;
}

void CConvertThread::FetchOverlays(std::int32_t outputIndex, FetchedFrame& fetched) {
    for (std::size_t k = 0; k < job_.overlays.size(); ++k) {
        OverlaySettings& slot = job_.overlays[k];
        if (slot.reader == nullptr || outputIndex < slot.baseStart) {
            continue;
        }
        const std::int64_t wanted = std::int64_t{slot.overlayStart} + slot.nextFrame;
        if (std::int64_t{slot.nextFrame} > std::int64_t{slot.overlayEnd} - slot.overlayStart ||
            wanted > std::numeric_limits<std::int32_t>::max()) {
            ReleaseOverlay(slot); // the overlay has ended for this run
            continue;
        }
        const BITMAPINFOHEADER* frame = nullptr;
        slot.reader->GetVideoFrame(0, static_cast<std::int32_t>(wanted), &frame);
        ++slot.nextFrame;
        // A frame that cannot be had, or one whose size or format differs
        // from the first frame's, ends the overlay: it is never read past.
        const BITMAPINFOHEADER& format = overlayFormat_[k];
        if (frame == nullptr || frame->biSize != format.biSize ||
            frame->biWidth != format.biWidth || frame->biHeight != format.biHeight ||
            frame->biBitCount != format.biBitCount || frame->biSizeImage != format.biSizeImage) {
            ReleaseOverlay(slot);
            continue;
        }
        const auto* pixels = reinterpret_cast<const std::uint8_t*>(frame) + slot.headerSize;
        try {
            fetched.overlays[k].assign(pixels, pixels + format.biSizeImage);
        } catch (const std::bad_alloc&) {
            ReleaseOverlay(slot); // as a frame that cannot be had
            continue;
        }
        fetched.hasOverlay[k] = true;
    }
}

void CConvertThread::DrawOverlays(std::uint8_t* pixels, int W, int H, int B,
                                  const FetchedFrame& fetched) {
    for (std::size_t k = job_.overlays.size(); k-- > 0;) {
        if (!fetched.hasOverlay[k]) {
            continue;
        }
        const OverlaySettings& slot = job_.overlays[k];
        const std::uint8_t* overlay = fetched.overlays[k].data();
        if (slot.noResize != 0) {
            DrawUnscaledOverlay(pixels, W, H, B, overlay, slot);
        } else {
            DrawScaledOverlay(pixels, W, H, B, overlay, slot, &overlayColumns_[k]);
        }
    }
}

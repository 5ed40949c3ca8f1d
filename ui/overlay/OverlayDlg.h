// The overlay settings dialog: which AVI is laid over the base video, the
// rectangle it covers, scaled or pixel for pixel (split screen), which of
// its frames are used and from which base frame on, with a preview and the
// overlay file's format information. It works on a copy of one slot and
// writes the slot back only on OK; the border, crop and quick positioning
// dialogs open from it.
//
// The caller (the main window) calls SetTarget(slot, basePath), which sets
// the dialog up, then exec(): Accepted after OK, Rejected otherwise.
#pragma once

#include "app/DialogBuilder.h"
#include "app/InputOpener.h"
#include "engine/ConvertJob.h"
#include "media/AviReader.h"

#include <QDialog>
#include <QImage>
#include <QPoint>

#include <cstdint>
#include <memory>
#include <string>

class CPaintArea;
class QPainter;

// What the first frame of an overlay AVI tells about its frames.
class CQtNotificationTarget;

struct OverlayFirstFrame {
    bool present = false; // read and, after the checks, usable
    int bitCount = 0;
    bool supportedFormat = false; // as IsSupportedInputFormat judges it
    std::int32_t width = 0;
    std::int32_t height = 0;
};

class COverlayDlg : public QDialog {
    Q_OBJECT
public:
    explicit COverlayDlg(QWidget* parent = nullptr);
    ~COverlayDlg() override;

    // Keeps the slot (read now, written only by OK) and the base AVI's path,
    // copies the slot and runs the dialog's initialisation.
    void SetTarget(OverlaySettings* target, const std::string& basePath);

    void accept() override; // OK: writes the slot

    // What the dialog holds, for the caller's and the tests' eyes.
    const OverlaySettings& WorkingCopy() const { return working_; }
    const std::string& OverlayPath() const { return overlayPath_; }
    const std::string& InfoText() const { return infoText_; }
    std::int32_t BaseWidth() const { return baseWidth_; }
    std::int32_t BaseHeight() const { return baseHeight_; }
    std::int32_t BaseFrameCount() const { return baseFrameCount_; }
    // The preview: the base area (5001) and the overlay rectangle in it (5002).
    CPaintArea* BaseArea() const { return baseArea_; }
    CPaintArea* OverlayArea() const { return overlayArea_; }
    // How often the base picture was stretched anew (it is repainted from
    // the last stretch while the base position stays).
    int BaseStretchCount() const { return baseStretchCount_; }
    // The tip text of a control as a tip request would get it (before the
    // Tool Tips setting and the length cut are applied).
    std::string TipOf(int controlId) const;

    // Whether an overlay file is being opened.
    bool IsLoadingOverlay() const { return loading_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Set-up and the files.
    void OnInitDialog();
    // Ranges from the base, positions from the slot.
    void SetTrackBarsFromSlot();
    void SetTexts();
    void CreatePreviewWindows();
    bool OpenBase();
    void UseFallbackBaseFacts();
    void LoadOverlay(bool resetRange);
    // The result of loading (CInputOpener), taken when it is the latest one
    // asked for; EndLoading leaves the loading state.
    void OnOverlayOpened(OpenedInput& opened);
    void EndLoading();
    void UseLoadedOverlay(const OverlayFirstFrame& first, std::int32_t length, bool resetRange);
    void ClearOverlay();
    void SetTitle(const std::string& path);

    // Controls.
    void RefreshFields();
    void ShowValueFields();
    void ApplyRatio();
    void InvalidatePreview();
    void SetTrackRange(int id, int minimum, int maximum);
    void SetTrackPos(int id, int position);
    int TrackPos(int id) const;
    void EnableControl(int id, bool enable);

    // Handlers.
    void OnHScroll(int position);
    // A number box committed (Return, or the focus leaving it).
    void OnValueEdited();
    void OnKeepRatio();
    void OnOriginalSize();
    void OnStartFrame();
    void OnEndFrame();
    // Sets the first or last overlay frame (1-based), or refuses it with a message.
    void SetStartFrame(std::int32_t frame);
    void SetEndFrame(std::int32_t frame);
    void OnSetBaseStart();
    void OnQuickPosition();
    void OnBorder();
    void OnCrop();
    void OnOverlayAvi();
    void OnClearOverlay();

    // The preview.
    void PaintBase(QPainter& painter, const QRect& client);
    void PaintOverlay(QPainter& painter, const QRect& client);
    void PlaceOverlayArea();
    // Where the base picture is drawn inside the base area, in proportion.
    QRect BasePicture() const;
    bool SplitScreenSource(QRect* source) const;
    void DragOverlay(const QPoint& globalPos);
    std::string FrameTip(int textId, const CAviReader& reader, std::int32_t frame) const;

    CDialogBuilder builder_;
    OverlaySettings* target_ = nullptr;
    std::string basePath_;
    OverlaySettings working_;
    std::string overlayPath_;
    std::string infoText_;

    // Value fields: the rectangle ("%u") and five 1-based frame numbers,
    // each typed into a number box or set by the track bar or button beside it.
    std::uint32_t valueX_ = 0;
    std::uint32_t valueY_ = 0;
    std::uint32_t valueWidth_ = 0;
    std::uint32_t valueHeight_ = 0;
    std::int32_t endFrame_ = 0;
    std::int32_t startFrame_ = 0;
    std::int32_t overlayPos_ = 0;
    std::int32_t baseStartField_ = 0;
    std::int32_t basePos_ = 0;

    std::int32_t baseFrameCount_ = 0;
    std::int32_t baseWidth_ = 0;
    std::int32_t baseAspectNum_ = 1; // the shape of the base's pixels
    std::int32_t baseAspectDen_ = 1;
    std::int32_t baseHeight_ = 0;
    std::int32_t lastBasePos_ = -1;
    std::int32_t lastOverlayPos_ = -1;
    bool baseRedraw_ = true;

    CAviReader baseReader_;
    // The overlay; never null (closed while there is none). It is opened on
    // a thread of its own, whose result comes back through notices_.
    std::unique_ptr<CAviReader> overlayReader_ = std::make_unique<CAviReader>();
    std::shared_ptr<CQtNotificationTarget> notices_;
    std::unique_ptr<CInputOpener> opener_;
    std::uint64_t loadTicket_ = 0;
    bool loading_ = false;
    bool loadResetRange_ = false;
    bool overlayLoaded_ = false;
    std::int32_t overlayFrameWidth_ = 0; // of the loaded overlay's frames
    std::int32_t overlayFrameHeight_ = 0;

    CPaintArea* baseArea_ = nullptr;
    CPaintArea* overlayArea_ = nullptr;
    QImage baseStretched_; // the base picture as last stretched
    int baseStretchCount_ = 0;

    // Dragging the overlay rectangle with the mouse.
    bool dragging_ = false;
    QPoint dragStart_;
    std::int32_t dragStartX_ = 0;
    std::int32_t dragStartY_ = 0;
};

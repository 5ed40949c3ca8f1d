// The overlay settings dialog: set-up, the controls and their handlers, OK.
#include "ui/overlay/OverlayDlg.h"

#include "app/MessageBoxService.h"
#include "app/ModalDialogs.h"
#include "app/QtNotificationTarget.h"
#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "app/ToolTips.h"
#include "engine/TextFormatting.h"
#include "res/OverlayDlgIds.h"
#include "ui/overlay/AviFileDialog.h"
#include "ui/overlay/BorderDlg.h"
#include "ui/overlay/CropDlg.h"
#include "ui/overlay/PaintArea.h"
#include "ui/overlay/QuickPosDlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <iterator>
#include <limits>

using namespace overlay_dlg;

namespace {

// The number boxes, each with the control beside it: the track bar whose
// position it types (the box shows position + offset), or the button whose
// frame it sets. A box is enabled with its partner.
struct NumberBox {
    int box;
    int partner;
    int offset;
};
constexpr NumberBox kNumberBoxes[] = {
    {kXValue, kXBar, 0},
    {kYValue, kYBar, 0},
    {kWidthValue, kWidthBar, 0},
    {kHeightValue, kHeightBar, 0},
    {kOverlayPosValue, kOverlayBar, 1},
    {kBasePosValue, kBaseBar, 1},
    {kStartValue, kStart, 0},
    {kEndValue, kEnd, 0},
    {kBaseStartValue, kSetBaseStart, 0},
};

// Slot values from a project file may lie anywhere; the track bars take
// int positions.
int ToPosition(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace

COverlayDlg::COverlayDlg(QWidget* parent)
    : QDialog(parent), builder_(*this, OverlayDialogTemplate()) {
    builder_.Build();
    setWindowFlags(kDialogWindowFlags | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    CreatePreviewWindows();

    for (const int id : {kXBar, kYBar, kWidthBar, kHeightBar, kOverlayBar, kBaseBar}) {
        auto* bar = builder_.Get<QSlider>(id);
        bar->setSingleStep(1);
        connect(bar, &QSlider::valueChanged, this, &COverlayDlg::OnHScroll);
    }
    connect(builder_.Get<QCheckBox>(kKeepRatio), &QCheckBox::clicked, this,
            &COverlayDlg::OnKeepRatio);
    connect(builder_.Get<QCheckBox>(kOriginalSize), &QCheckBox::clicked, this,
            &COverlayDlg::OnOriginalSize);
    connect(builder_.Get<QPushButton>(kStart), &QPushButton::clicked, this,
            &COverlayDlg::OnStartFrame);
    connect(builder_.Get<QPushButton>(kEnd), &QPushButton::clicked, this, &COverlayDlg::OnEndFrame);
    connect(builder_.Get<QPushButton>(kSetBaseStart), &QPushButton::clicked, this,
            &COverlayDlg::OnSetBaseStart);
    connect(builder_.Get<QPushButton>(kQuickPosition), &QPushButton::clicked, this,
            &COverlayDlg::OnQuickPosition);
    connect(builder_.Get<QPushButton>(kBorder), &QPushButton::clicked, this,
            &COverlayDlg::OnBorder);
    connect(builder_.Get<QPushButton>(kCrop), &QPushButton::clicked, this, &COverlayDlg::OnCrop);
    connect(builder_.Get<QPushButton>(kOverlayAvi), &QPushButton::clicked, this,
            &COverlayDlg::OnOverlayAvi);
    connect(builder_.Get<QPushButton>(kClearOverlay), &QPushButton::clicked, this,
            &COverlayDlg::OnClearOverlay);
    connect(builder_.Get<QPushButton>(1), &QPushButton::clicked, this, &COverlayDlg::accept);
    for (const NumberBox& n : kNumberBoxes) {
        connect(builder_.Get<QLineEdit>(n.box), &QLineEdit::editingFinished, this,
                &COverlayDlg::OnValueEdited);
    }

    if (auto* info = builder_.Get<QLabel>(kInfo)) {
        info->setWordWrap(true);
    }
    auto* tips = new CToolTips(this, [this](int id) { return TipOf(id); });
    tips->WatchAll();
}

COverlayDlg::~COverlayDlg() {
    if (notices_ != nullptr) {
        notices_->Detach(); // an open under way finishes unseen
    }
    EndLoading();
}

bool COverlayDlg::event(QEvent* event) {
    if (event->type() == CWorkerEvent::TypeOf(kInputOpenedMessage)) {
        if (const auto* notice = dynamic_cast<const CWorkerEvent*>(event)) {
            if (auto opened = std::static_pointer_cast<OpenedInput>(notice->keepAlive)) {
                OnOverlayOpened(*opened);
            }
        }
        return true;
    }
    return QDialog::event(event);
}

void COverlayDlg::SetTarget(OverlaySettings* target, const std::string& basePath) {
    target_ = target;
    basePath_ = basePath;
    if (target != nullptr) {
        working_ = *target;
    }
    OnInitDialog();
}

void COverlayDlg::OnInitDialog() {
    baseRedraw_ = true;
    if (!OpenBase()) {
        ShowMessage("FATAL ERROR: Open Base AVI");
    }
    UseFallbackBaseFacts();

    ClearOverlay();
    overlayPath_ = working_.path;

    // Keep ratio is on whenever the dialog opens; the height then follows the width.
    builder_.Get<QCheckBox>(kKeepRatio)->setChecked(true);
    EnableControl(kHeightBar, false);

    if (overlayPath_.empty()) {
        // A slot not used yet.
        working_.x = baseWidth_ / 10;
        working_.y = baseHeight_ / 10;
        working_.width = baseWidth_ / 4;
        working_.height = baseHeight_ / 4;
        working_.overlayStart = 0;
        working_.overlayEnd = 0;
        working_.baseStart = 0;
    }

    SetTrackBarsFromSlot();

    endFrame_ = ToPosition(std::int64_t{working_.overlayEnd} + 1);
    startFrame_ = ToPosition(std::int64_t{working_.overlayStart} + 1);
    baseStartField_ = ToPosition(std::int64_t{working_.baseStart} + 1);

    builder_.Get<QCheckBox>(kOriginalSize)->setChecked(working_.noResize != 0);
    EnableControl(kCrop, working_.noResize == 0);

    lastBasePos_ = -1;
    lastOverlayPos_ = -1;

    SetTexts();
    LoadOverlay(false);

    RefreshFields();
    ShowValueFields();
}

void COverlayDlg::SetTrackBarsFromSlot() {
    SetTrackRange(kXBar, 0, baseWidth_ - 1);
    SetTrackRange(kYBar, 0, baseHeight_ - 1);
    SetTrackRange(kWidthBar, 10, baseWidth_);
    SetTrackRange(kHeightBar, 10, baseHeight_);
    SetTrackRange(kOverlayBar, 0, 1000); // until an overlay is loaded
    SetTrackRange(kBaseBar, 0, baseFrameCount_ - 1);

    SetTrackPos(kXBar, working_.x);
    SetTrackPos(kYBar, working_.y);
    SetTrackPos(kWidthBar, working_.width);
    SetTrackPos(kHeightBar, working_.height);
    SetTrackPos(kOverlayBar, working_.overlayStart);
    SetTrackPos(kBaseBar, working_.baseStart);
    // A track bar holds its position within its range, and OK writes the
    // positions: the preview shows the rectangle that OK would write.
    working_.x = TrackPos(kXBar);
    working_.y = TrackPos(kYBar);
    working_.width = TrackPos(kWidthBar);
    working_.height = TrackPos(kHeightBar);
}

void COverlayDlg::SetTexts() {
    static constexpr ControlText kCaptions[] = {
        {1064, txt::kOverlayPositionAndSize},
        {1059, txt::kOverlayStartAndEnd},
        {1063, txt::kMiscellaneous},
        {1062, txt::kOverlayStartInBase},
        {kSetBaseStart, txt::kSetStart},
        {kQuickPosition, txt::kQuickPosition},
        {kStart, txt::kOverlayStart},
        {kEnd, txt::kOverlayEnd},
        {kBorder, txt::kBorder},
        {kCrop, txt::kCrop},
        {kOverlayAvi, txt::kOverlayAvi},
        {kClearOverlay, txt::kClearOverlay},
        {kKeepRatio, txt::kKeepRatio},
        {kOriginalSize, txt::kOriginalSize},
        {1055, txt::kPositionX},
        {1056, txt::kPositionY},
        {1057, txt::kSizeX},
        {1058, txt::kSizeY},
        {1060, txt::kBasePosition},
        {1061, txt::kSetBaseStart},
    };
    builder_.SetCaptions(kCaptions);
}

// Controls -------------------------------------------------------------------

void COverlayDlg::SetTrackRange(int id, int minimum, int maximum) {
    auto* bar = builder_.Get<QSlider>(id);
    // Set silently: only the user's moves are scroll notifications.
    const QSignalBlocker block(bar);
    bar->setRange(minimum, std::max(minimum, maximum));
    bar->setPageStep(std::max(1, bar->maximum() / 10));
}

void COverlayDlg::SetTrackPos(int id, int position) {
    auto* bar = builder_.Get<QSlider>(id);
    const QSignalBlocker block(bar);
    bar->setValue(position);
}

int COverlayDlg::TrackPos(int id) const {
    return builder_.Get<QSlider>(id)->value();
}

void COverlayDlg::EnableControl(int id, bool enable) {
    if (QWidget* control = builder_.Control(id)) {
        control->setEnabled(enable);
    }
    for (const NumberBox& n : kNumberBoxes) {
        if (n.partner == id) {
            builder_.Control(n.box)->setEnabled(enable);
        }
    }
}

void COverlayDlg::RefreshFields() {
    valueX_ = static_cast<std::uint32_t>(TrackPos(kXBar));
    valueY_ = static_cast<std::uint32_t>(TrackPos(kYBar));
    valueWidth_ = static_cast<std::uint32_t>(TrackPos(kWidthBar));
    valueHeight_ = static_cast<std::uint32_t>(TrackPos(kHeightBar));
    overlayPos_ = TrackPos(kOverlayBar) + 1;
    basePos_ = TrackPos(kBaseBar) + 1;
    ShowValueFields();
}

void COverlayDlg::ShowValueFields() {
    const auto show = [this](int id, const std::string& text) {
        builder_.Get<QLineEdit>(id)->setText(QString::fromStdString(text));
    };
    show(kXValue, StringPrintf("%u", static_cast<unsigned>(valueX_)));
    show(kYValue, StringPrintf("%u", static_cast<unsigned>(valueY_)));
    show(kWidthValue, StringPrintf("%u", static_cast<unsigned>(valueWidth_)));
    show(kHeightValue, StringPrintf("%u", static_cast<unsigned>(valueHeight_)));
    show(kEndValue, StringPrintf("%ld", static_cast<long>(endFrame_)));
    show(kStartValue, StringPrintf("%ld", static_cast<long>(startFrame_)));
    show(kOverlayPosValue, StringPrintf("%ld", static_cast<long>(overlayPos_)));
    show(kBaseStartValue, StringPrintf("%ld", static_cast<long>(baseStartField_)));
    show(kBasePosValue, StringPrintf("%ld", static_cast<long>(basePos_)));
    // What a box takes: its track bar's range, or for the frame range a
    // start up to the end and an end from the start on.
    for (const NumberBox& n : kNumberBoxes) {
        if (const auto* bar = builder_.Get<QSlider>(n.partner)) {
            CDialogBuilder::SetNumberRange(builder_.Control(n.box), bar->minimum() + n.offset,
                                           bar->maximum() + n.offset);
        }
    }
    CDialogBuilder::SetNumberRange(builder_.Control(kStartValue), 1, endFrame_);
    CDialogBuilder::SetNumberRange(builder_.Control(kEndValue), startFrame_,
                                   builder_.Get<QSlider>(kOverlayBar)->maximum() + 1);
    CDialogBuilder::SetNumberRange(builder_.Control(kBaseStartValue), 1, baseFrameCount_);
    // The catalogue's line breaks are "\r\n" (one text has "\n\r").
    QString info = QString::fromUtf8(infoText_);
    info.remove(QLatin1Char('\r'));
    builder_.Get<QLabel>(kInfo)->setText(info);
}

void COverlayDlg::ApplyRatio() {
    if (!builder_.Get<QCheckBox>(kKeepRatio)->isChecked() || baseWidth_ <= 0) {
        return;
    }
    // The base frame's ratio; the track bar holds its minimum of 10.
    SetTrackPos(kHeightBar,
                ToPosition(std::int64_t{TrackPos(kWidthBar)} * baseHeight_ / baseWidth_));
    working_.height = TrackPos(kHeightBar);
}

// Handlers -------------------------------------------------------------------

void COverlayDlg::OnHScroll(int position) {
    switch (CDialogBuilder::ControlId(sender())) {
    case kXBar:
        if (position == working_.x) {
            return;
        }
        working_.x = position;
        break;
    case kYBar:
        if (position == working_.y) {
            return;
        }
        working_.y = position;
        break;
    case kWidthBar:
        if (position == working_.width) {
            return;
        }
        working_.width = position;
        ApplyRatio();
        break;
    case kHeightBar:
        if (position == working_.height) {
            return;
        }
        working_.height = position;
        ApplyRatio();
        break;
    case kOverlayBar:
        if (position == lastOverlayPos_) {
            return;
        }
        lastOverlayPos_ = position;
        break;
    case kBaseBar:
        if (position == lastBasePos_) {
            return;
        }
        lastBasePos_ = position;
        baseRedraw_ = true;
        break;
    default:
        return;
    }
    RefreshFields();
    InvalidatePreview();
}

void COverlayDlg::OnValueEdited() {
    const int id = CDialogBuilder::ControlId(sender());
    bool ok = false;
    const int value = builder_.Get<QLineEdit>(id)->text().toInt(&ok);
    const auto* box = std::find_if(std::begin(kNumberBoxes), std::end(kNumberBoxes),
                                   [id](const NumberBox& n) { return n.box == id; });
    if (ok && box != std::end(kNumberBoxes)) {
        if (auto* bar = builder_.Get<QSlider>(box->partner)) {
            bar->setValue(value - box->offset); // as if the user had moved it
        } else if (id == kStartValue) {
            SetStartFrame(value);
        } else if (id == kEndValue) {
            SetEndFrame(value);
        } else {
            baseStartField_ = value;
        }
    }
    ShowValueFields(); // the number as it was taken
}

void COverlayDlg::OnKeepRatio() {
    if (builder_.Get<QCheckBox>(kKeepRatio)->isChecked()) {
        ApplyRatio();
        EnableControl(kHeightBar, false);
        RefreshFields();
        InvalidatePreview();
    } else {
        EnableControl(kHeightBar, true);
    }
}

void COverlayDlg::OnOriginalSize() {
    working_.noResize = builder_.Get<QCheckBox>(kOriginalSize)->isChecked() ? 1 : 0;
    EnableControl(kCrop, working_.noResize == 0);
    InvalidatePreview();
}

void COverlayDlg::OnStartFrame() {
    SetStartFrame(TrackPos(kOverlayBar) + 1);
}

void COverlayDlg::SetStartFrame(std::int32_t frame) {
    if (endFrame_ < frame) {
        ShowMessage(GetText(txt::kErrorStartAfterEnd));
        return;
    }
    startFrame_ = frame;
    ShowValueFields();
}

void COverlayDlg::OnEndFrame() {
    SetEndFrame(TrackPos(kOverlayBar) + 1);
}

void COverlayDlg::SetEndFrame(std::int32_t frame) {
    if (frame < startFrame_) {
        ShowMessage(GetText(txt::kErrorEndBeforeStart));
        return;
    }
    endFrame_ = frame;
    ShowValueFields();
}

void COverlayDlg::OnSetBaseStart() {
    baseStartField_ = TrackPos(kBaseBar) + 1;
    ShowValueFields();
}

void COverlayDlg::OnQuickPosition() {
    std::int32_t x = -1;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    {
        CQuickPosDlg dialog(this);
        dialog.SetTarget(working_.number, baseWidth_, baseHeight_, &x, &y, &width, &height);
        RunModalDialog(dialog);
    }
    if (x < 0) {
        return; // left without a choice
    }
    SetTrackPos(kXBar, x);
    SetTrackPos(kYBar, y);
    SetTrackPos(kWidthBar, width);
    SetTrackPos(kHeightBar, height);
    // As the track bars hold them (a frame below 40 pixels gives widths
    // below the minimum of 10): what the preview shows is what OK writes.
    working_.x = TrackPos(kXBar);
    working_.y = TrackPos(kYBar);
    working_.width = TrackPos(kWidthBar);
    working_.height = TrackPos(kHeightBar);
    RefreshFields();
    InvalidatePreview();
}

void COverlayDlg::OnBorder() {
    CBorderDlg dialog(this);
    dialog.SetTarget(&working_);
    RunModalDialog(dialog);
}

void COverlayDlg::OnCrop() {
    CCropDlg dialog(this);
    dialog.SetTarget(&working_);
    RunModalDialog(dialog);
}

void COverlayDlg::OnOverlayAvi() {
    // Chosen or not, the overlay named now is loaded again from its start.
    SelectAviFile(this, GetText(txt::kSelectOverlayAvi), &overlayPath_);
    LoadOverlay(true);
}

void COverlayDlg::OnClearOverlay() {
    ClearOverlay();
}

void COverlayDlg::accept() {
    if (target_ != nullptr) {
        target_->path = overlayPath_;
        target_->x = TrackPos(kXBar);
        target_->y = TrackPos(kYBar);
        target_->width = TrackPos(kWidthBar);
        target_->height = TrackPos(kHeightBar);
        target_->overlayStart = startFrame_ - 1;
        target_->overlayEnd = endFrame_ - 1;
        target_->baseStart = baseStartField_ - 1;
        // The colour's fourth byte of the slot stays as it was.
        for (std::size_t i = 0; i < 3; ++i) {
            target_->borderColor[i] = working_.borderColor[i];
        }
        target_->borderWidth = working_.borderWidth;
        target_->crop = working_.crop;
        target_->noResize = working_.noResize;
    }
    QDialog::accept();
}

// Tips, help -----------------------------------------------------------------

std::string COverlayDlg::FrameTip(int textId, const CAviReader& reader, std::int32_t frame) const {
    const std::int32_t ms = reader.VideoFrameToTime(0, frame);
    return StringPrintf(GetText(textId), FormatTime(ms * 0.001).c_str());
}

std::string COverlayDlg::TipOf(int controlId) const {
    switch (controlId) {
    case kOverlayPosValue:
        return FrameTip(txt::kTipOverlayFrame, *overlayReader_, TrackPos(kOverlayBar));
    case kBasePosValue:
        return FrameTip(txt::kTipBaseFrame, baseReader_, TrackPos(kBaseBar));
    case kStartValue:
        return FrameTip(txt::kTipOverlayStartValue, *overlayReader_, startFrame_ - 1);
    case kEndValue:
        return FrameTip(txt::kTipOverlayEndValue, *overlayReader_, endFrame_ - 1);
    case kBaseStartValue:
        return FrameTip(txt::kTipBaseStartValue, baseReader_, baseStartField_ - 1);
    default:
        break;
    }
    static constexpr struct {
        int id;
        int text;
    } kTips[] = {
        {kXBar, txt::kTipOverlayX},
        {kXValue, txt::kTipXValue},
        {kYBar, txt::kTipOverlayY},
        {kYValue, txt::kTipYValue},
        {kWidthBar, txt::kTipOverlayWidth},
        {kWidthValue, txt::kTipWidthValue},
        {kHeightBar, txt::kTipOverlayHeight},
        {kHeightValue, txt::kTipHeightValue},
        {kKeepRatio, txt::kTipKeepRatio},
        {kQuickPosition, txt::kTipQuickPosition},
        {kOverlayBar, txt::kTipOverlayPosition},
        {kStart, txt::kTipSetOverlayStart},
        {kEnd, txt::kTipSetOverlayEnd},
        {kBaseBar, txt::kTipBasePosition},
        {kSetBaseStart, txt::kTipSetBaseStart},
        {kOriginalSize, txt::kTipOriginalSize},
        {kBorder, txt::kTipBorder},
        {kCrop, txt::kTipCrop},
        {kOverlayAvi, txt::kTipOverlayAvi},
        {kClearOverlay, txt::kTipClearOverlay},
        {1, txt::kTipOverlayOk},
    };
    for (const auto& tip : kTips) {
        if (tip.id == controlId) {
            return GetText(tip.text);
        }
    }
    return std::string();
}

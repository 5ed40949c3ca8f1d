#include "ui/main/MainDlg.h"

#include "app/AboutDlg.h"
#include "app/ClickablePicture.h"
#include "app/DialogBuilder.h"
#include "app/DividerLine.h"
#include "app/LabeledProgress.h"
#include "app/ModalDialogs.h"
#include "app/ProgramLanguage.h"
#include "app/QtNotificationTarget.h"
#include "app/ResourceImages.h"
#include "app/Settings.h"
#include "app/SetupDlg.h"
#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "app/ToolTips.h"
#include "engine/Product.h"
#include "res/DialogTemplate.h"
#include "res/MainDlgIds.h"
#include "ui/main/BitmapButton.h"
#include "ui/main/InputInfo.h"
#include "ui/overlay/OverlayDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <array>
#include <chrono>
#include <initializer_list>
#include <utility>

using namespace main_dlg;

namespace {

std::uint32_t SteadyMilliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

struct TextOfControl {
    int controlId;
    int textId;
};

// Captions set by SetControlTexts; the File Info and AVI File group boxes
// keep their own.
constexpr ControlText kCaptions[] = {
    {kReverse, txt::kReverse},
    {kRightHalf, txt::kRightHalf},
    {kLeftHalf, txt::kLeftHalf},
    {kUpperHalf, txt::kUpperHalf},
    {kLowerHalf, txt::kLowerHalf},
    {kSave, txt::kSave},
    {kLoad, txt::kLoad},
    {kInterlace, txt::kInterlace},
    {kMirrorHorizontal, txt::kMirrorHorizontal},
    {kMirrorVertical, txt::kMirrorVertical},
    {kPreview, txt::kEnablePreview},
    {kEnd, txt::kEnd},
    {kInputAvi, txt::kInputAvi},
    {kOutputAvi, txt::kOutputAvi},
    {kInfo, txt::kInfo},
    {kSetup, txt::kSetup},
    {kStart, txt::kStart},
    {kStop, txt::kStop},
    {kProgressGroup, txt::kProgress},
    {kActionGroup, txt::kAction},
    {kOptionsGroup, txt::kOptions},
    {kProjectGroup, txt::kProjectFile},
};

constexpr TextOfControl kToolTips[] = {
    {kEnd, txt::kTipEnd},
    {kStart, txt::kTipStart},
    {kStop, txt::kTipStop},
    {kInputAvi, txt::kTipInputAvi},
    {kOutputAvi, txt::kTipOutputAvi},
    {kInfo, txt::kTipInfo},
    {kLoad, txt::kTipLoad},
    {kSave, txt::kTipSave},
    {kSetup, txt::kTipSetup},
    {kProgress, txt::kTipProgress},
    {kReverse, txt::kTipReverse},
    {kMirrorHorizontal, txt::kTipMirrorHorizontal},
    {kMirrorVertical, txt::kTipMirrorVertical},
    {kUpperHalf, txt::kTipUpperHalf},
    {kLowerHalf, txt::kTipLowerHalf},
    {kLeftHalf, txt::kTipLeftHalf},
    {kRightHalf, txt::kTipRightHalf},
    {kPreview, txt::kTipPreview},
    {kSlider, txt::kTipSlider},
    {kInterlace, txt::kTipInterlace},
    {kPlay, txt::kTipPlay},
    {kCodec, txt::kTipCodec},
    {kPicture, txt::kTipOnlyAPicture},
    {kOverlayList, txt::kTipOverlayList},
};

// The play button's bitmaps (normal, pressed, focused, disabled).
constexpr std::array<int, 4> kPlayReady{133, 138, 133, 133};
constexpr std::array<int, 4> kPlayPlaying{135, 139, 135, 135};
constexpr std::array<int, 4> kPlayInactive{134, 134, 134, 134};

// A path shortened to width pixels in its folders, so that the file name
// stays whole; a name too long for that is shortened in its middle as well.
QString ElidePath(const QFontMetrics& metrics, const QString& path, int width) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash); // with its slash
    if (slash > 0 && metrics.horizontalAdvance(name) < width) {
        const QString folder = metrics.elidedText(path.left(slash), Qt::ElideMiddle,
                                                  width - metrics.horizontalAdvance(name));
        if (!folder.isEmpty()) {
            return folder + name;
        }
    }
    return metrics.elidedText(path, Qt::ElideMiddle, width);
}

constexpr int kSliderRange = 1000;
constexpr int kProgressRange = 1000;

// The main window's own widgets; the builder makes the rest.
QWidget* MakeOwnControl(const ControlTemplate& c, QWidget* parent) {
    switch (c.id) {
    case kProgress:
        return new CLabeledProgress(parent);
    case kLowerDivider:
    case kUpperDivider:
        return new CDividerLine(parent);
    case kPlay:
        return new CBitmapButton(parent);
    case kPicture:
        return new CClickablePicture(parent);
    default:
        return nullptr;
    }
}

} // namespace

CMainDlg::CMainDlg(CWorkerThread& worker, QWidget* parent)
    : QDialog(parent), worker_(worker),
      notificationTarget_(std::make_shared<CQtNotificationTarget>(this)),
      clock_(&SteadyMilliseconds) {
    setWindowFlags(kDialogWindowFlags | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    BuildControls();
    ConnectControls();
    OnInitDialog();
}

void CMainDlg::BuildControls() {
    builder_ = std::make_unique<CDialogBuilder>(*this, MainDialogTemplate());
    builder_->Build(&MakeOwnControl);
    FindControls();

    // File names and engine texts are shown as they are, never as markup.
    for (QLabel* label :
         {inputLabel_, outputLabel_, infoLabel_, compressorLabel_, statusLabel_, positionLabel_}) {
        label->setTextFormat(Qt::PlainText);
    }
    const QPixmap picture = ResourceBitmap(131);
    if (!picture.isNull()) {
        picture_->setPixmap(
            picture.scaled(picture_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        picture_->setAlignment(Qt::AlignCenter);
    }
}

void CMainDlg::FindControls() {
    const CDialogBuilder& b = *builder_;
    start_ = b.Get<QPushButton>(kStart);
    stop_ = b.Get<QPushButton>(kStop);
    end_ = b.Get<QPushButton>(kEnd);
    info_ = b.Get<QPushButton>(kInfo);
    setup_ = b.Get<QPushButton>(kSetup);
    inputAvi_ = b.Get<QPushButton>(kInputAvi);
    outputAvi_ = b.Get<QPushButton>(kOutputAvi);
    load_ = b.Get<QPushButton>(kLoad);
    save_ = b.Get<QPushButton>(kSave);
    codec_ = b.Get<QPushButton>(kCodec);
    reverse_ = b.Get<QCheckBox>(kReverse);
    mirrorHorizontal_ = b.Get<QCheckBox>(kMirrorHorizontal);
    mirrorVertical_ = b.Get<QCheckBox>(kMirrorVertical);
    upperHalf_ = b.Get<QCheckBox>(kUpperHalf);
    lowerHalf_ = b.Get<QCheckBox>(kLowerHalf);
    leftHalf_ = b.Get<QCheckBox>(kLeftHalf);
    rightHalf_ = b.Get<QCheckBox>(kRightHalf);
    preview_ = b.Get<QCheckBox>(kPreview);
    interlace_ = b.Get<QCheckBox>(kInterlace);
    overlayList_ = b.Get<QComboBox>(kOverlayList);
    slider_ = b.Get<QSlider>(kSlider);
    play_ = b.Get<CBitmapButton>(kPlay);
    frame_ = b.Get<QGroupBox>(kPreviewFrame);
    progress_ = b.Get<CLabeledProgress>(kProgress);
    inputLabel_ = b.Get<QLabel>(kInputName);
    outputLabel_ = b.Get<QLabel>(kOutputName);
    infoLabel_ = b.Get<QLabel>(kFileInfo);
    compressorLabel_ = b.Get<QLabel>(kCompressorName);
    statusLabel_ = b.Get<QLabel>(kStatus);
    positionLabel_ = b.Get<QLabel>(kPosition);
    picture_ = b.Get<CClickablePicture>(kPicture);
}

void CMainDlg::ConnectControls() {
    connect(start_, &QPushButton::clicked, this, &CMainDlg::StartConversion);
    connect(stop_, &QPushButton::clicked, this, &CMainDlg::StopConversion);
    connect(end_, &QPushButton::clicked, this, &CMainDlg::OnOK);
    connect(info_, &QPushButton::clicked, this, &CMainDlg::OnAbout);
    connect(picture_, &CClickablePicture::clicked, this, &CMainDlg::OnAbout);
    connect(setup_, &QPushButton::clicked, this, &CMainDlg::OnSetup);
    connect(inputAvi_, &QPushButton::clicked, this, &CMainDlg::OnInputAvi);
    connect(outputAvi_, &QPushButton::clicked, this, &CMainDlg::OnOutputAvi);
    connect(load_, &QPushButton::clicked, this, &CMainDlg::LoadProject);
    connect(save_, &QPushButton::clicked, this, &CMainDlg::SaveProject);
    connect(codec_, &QPushButton::clicked, this, &CMainDlg::ChooseCodec);
    connect(play_, &CBitmapButton::clicked, this, &CMainDlg::OnPlayButton);
    // Every change of the track bar's value (mouse, keys, and each step of a
    // drag) draws; the window's own moves are made with signals blocked.
    connect(slider_, &QSlider::valueChanged, this, &CMainDlg::OnHScroll);
    // Only the user's choice opens an overlay dialog (also the entry already
    // selected); refilling the list selects without a signal.
    connect(overlayList_, &QComboBox::activated, this, &CMainDlg::OnOverlaySelect);

    connect(reverse_, &QCheckBox::clicked, this, [this] {
        UpdateTitle(true);
        UpdateStatics();
        UpdateControls();
    });
    for (QCheckBox* box : {mirrorHorizontal_, mirrorVertical_}) {
        connect(box, &QCheckBox::clicked, this, [this] {
            UpdateTitle(true);
            UpdateControls();
        });
    }
    for (QCheckBox* box : {preview_, interlace_}) {
        connect(box, &QCheckBox::clicked, this, [this] { UpdateTitle(true); });
    }
    const std::pair<QCheckBox*, QCheckBox*> halves[] = {
        {upperHalf_, lowerHalf_},
        {lowerHalf_, upperHalf_},
        {leftHalf_, rightHalf_},
        {rightHalf_, leftHalf_},
    };
    for (const auto& [box, partner] : halves) {
        connect(box, &QCheckBox::clicked, this,
                [this, box = box, partner = partner] { OnMirrorHalf(box, partner); });
    }
}

void CMainDlg::OnInitDialog() {
    // Qt gives the window no system menu of its own to extend; the about
    // dialog is reached through Info and the picture.
    SetSliderRange(1, kSliderRange);
    SetSliderPosition(1);
    progress_->SetRange(0, kProgressRange);

    converting_ = false;
    playing_ = false;
    frameCount_ = 0;
    currentFrame_ = 0;
    projectName_ = GetText(txt::kUnknown);
    modified_ = false;
    std::vector<std::uint8_t>().swap(previewBuffer_);
    previewLength_ = 0;

    icInfo_ = kmx::MakeEmptyIcInfo();
    compressorName_ = GetText(txt::kNoCompression);
    job_ = MakeInitialJob();
    compVars_ = kmx::MakeEmptyCompVars();

    interlace_->setChecked(false);
    preview_->setChecked(true);

    UpdateControls();
    FillOverlayList(0);
    CreatePreviewWindow();

    SetControlTexts();
    UpdateTitle(false);
    auto* tips = new CToolTips(this, [this](int id) { return ToolTipText(id); });
    tips->WatchAll();
    UpdateStatics();
}

QWidget* CMainDlg::Control(int id) const {
    return builder_->Control(id);
}

void CMainDlg::UpdateControls() {
    const bool idle = !converting_;
    const bool input = frameCount_ > 0;
    start_->setEnabled(idle && input && !outputName_.empty());
    stop_->setEnabled(converting_ && !stopping_);
    for (QWidget* w : std::initializer_list<QWidget*>{inputAvi_, outputAvi_, end_, load_, save_,
                                                      reverse_, interlace_, mirrorHorizontal_,
                                                      mirrorVertical_, preview_}) {
        w->setEnabled(idle);
    }
    // The halves keep their marks while disabled; the job carries them anyway.
    upperHalf_->setEnabled(idle && mirrorHorizontal_->isChecked());
    lowerHalf_->setEnabled(idle && mirrorHorizontal_->isChecked());
    leftHalf_->setEnabled(idle && mirrorVertical_->isChecked());
    rightHalf_->setEnabled(idle && mirrorVertical_->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{slider_, codec_, overlayList_}) {
        w->setEnabled(input && !playing_);
    }
    // The play button stays enabled; its bitmaps show what a click would do.
    const std::array<int, 4>& bitmaps =
        !input || converting_ ? kPlayInactive : (playing_ ? kPlayPlaying : kPlayReady);
    play_->SetBitmaps(bitmaps[0], bitmaps[1], bitmaps[2], bitmaps[3]);
    update();
}

void CMainDlg::SetControlTexts() {
    builder_->SetCaptions(kCaptions);
}

void CMainDlg::UpdateTitle(bool markModified) {
    if (markModified) {
        modified_ = true;
    }
    std::string title =
        StringPrintf("%s %s [%s", kProductName, kProductVersion, projectName_.c_str());
    if (modified_) {
        title += "*";
    }
    title += "]";
    setWindowTitle(QString::fromUtf8(title));
}

void CMainDlg::FillOverlayList(std::int32_t select) {
    if (select < 0) {
        select = std::max(overlayList_->currentIndex(), 0);
    }
    overlayList_->clear();
    // A long path is shortened in its folders, so that the entry keeps its
    // start, the file name and the closing bracket in the list's width.
    QStyleOptionComboBox option;
    option.initFrom(overlayList_);
    const int room = overlayList_->style()
                         ->subControlRect(QStyle::CC_ComboBox, &option,
                                          QStyle::SC_ComboBoxEditField, overlayList_)
                         .width();
    const QFontMetrics metrics(overlayList_->font());
    for (int i = 0; i < kOverlaySlotCount; ++i) {
        const std::string& path = job_.overlays[static_cast<std::size_t>(i)].path;
        QString entry = QString::fromUtf8(StringPrintf("Overlay %u", static_cast<unsigned>(i + 1)));
        if (!path.empty()) {
            entry += QStringLiteral(" [");
            const int left = room - metrics.horizontalAdvance(entry + QStringLiteral("]"));
            entry += ElidePath(metrics, QString::fromUtf8(path), left) + QStringLiteral("]");
        }
        overlayList_->addItem(entry);
    }
    overlayList_->setCurrentIndex(select);
}

void CMainDlg::UpdateStatics() {
    inputLabel_->setText(StaticText(inputName_));
    outputLabel_->setText(StaticText(outputName_));
    infoLabel_->setText(StaticText(infoText_));
    compressorLabel_->setText(StaticText(compressorName_));
    statusLabel_->setText(StaticText(statusText_));
    positionLabel_->setText(StaticText(positionText_));
}

void CMainDlg::OnMirrorHalf(QCheckBox* clicked, QCheckBox* partner) {
    UpdateTitle(true);
    if (clicked->isChecked()) {
        partner->setChecked(false);
    }
    UpdateControls();
}

std::string CMainDlg::ToolTipText(int controlId) const {
    for (const TextOfControl& entry : kToolTips) {
        if (entry.controlId == controlId) {
            return GetText(entry.textId);
        }
    }
    return std::string();
}

void CMainDlg::OnAbout() {
    CAboutDlg about(this);
    RunModalDialog(about);
}

void CMainDlg::OnSetup() {
    CSetupDlg setup(this);
    if (RunModalDialog(setup) == QDialog::Accepted) {
        const bool unnamed = projectName_ == GetText(txt::kUnknown);
        SetProgramLanguage(CSettings::language);
        SetControlTexts();
        // The texts this window built itself follow too.
        if (unnamed) {
            projectName_ = GetText(txt::kUnknown);
            UpdateTitle(false);
        }
        UpdateCompressorName();
        BuildInfoText();
        if (!converting_ && frameCount_ > 0 && currentFrame_ > 0) {
            BuildPositionText(currentFrame_);
        }
        UpdateStatics();
    }
}

void CMainDlg::OnOK() {
    if (AskSaveProject()) {
        QDialog::accept();
    }
}

void CMainDlg::OnCancel() {
    if (AskSaveProject()) {
        QDialog::reject();
    }
}

void CMainDlg::OnOverlaySelect() {
    const int slot = overlayList_->currentIndex();
    if (slot >= 0 && slot < kOverlaySlotCount) {
        // The overlay dialog edits a copy of the slot and writes it back on OK.
        COverlayDlg dialog;
        dialog.SetTarget(&job_.overlays[static_cast<std::size_t>(slot)], inputName_);
        if (RunModalDialog(dialog) == QDialog::Accepted) {
            UpdateTitle(true);
        }
    }
    FillOverlayList(-1);
}

bool CMainDlg::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type >= CWorkerEvent::TypeOf(WM_CONVERT_MESSAGE) &&
        type <= CWorkerEvent::TypeOf(WM_CONVERT_WARNING)) {
        if (const auto* notification = dynamic_cast<const CWorkerEvent*>(event)) {
            OnWorkerNotification(*notification);
            return true;
        }
    }
    if (type == CWorkerEvent::TypeOf(kInputOpenedMessage)) {
        if (const auto* notification = dynamic_cast<const CWorkerEvent*>(event)) {
            if (auto opened = std::static_pointer_cast<OpenedInput>(notification->keepAlive)) {
                OnInputOpened(*opened);
            }
            return true;
        }
    }
    return QDialog::event(event);
}

#include "ui/overlay/CropDlg.h"

#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "app/ToolTips.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace {

constexpr int kCropBar = 1044;
constexpr int kCropValue = 1045;
constexpr int kMaxCrop = 50;

} // namespace

CCropDlg::CCropDlg(QWidget* parent) : QDialog(parent), builder_(*this, CropDialogTemplate()) {
    builder_.Build();
    setWindowFlags(kDialogWindowFlags | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    connect(builder_.Get<QSlider>(kCropBar), &QSlider::valueChanged, this, &CCropDlg::OnHScroll);
    connect(builder_.Get<QPushButton>(1), &QPushButton::clicked, this, &CCropDlg::accept);
    auto* tips = new CToolTips(this, [this](int id) { return TipOf(id); });
    tips->WatchAll();
}

void CCropDlg::SetTarget(OverlaySettings* target) {
    target_ = target;
    if (target != nullptr) {
        copy_ = *target;
    }
    OnInitDialog();
}

void CCropDlg::OnInitDialog() {
    auto* bar = builder_.Get<QSlider>(kCropBar);
    {
        // Set up silently: only the user's moves are scroll notifications.
        const QSignalBlocker block(bar);
        bar->setRange(0, kMaxCrop);
        bar->setValue(copy_.crop);
        bar->setPageStep(5);
    }
    builder_.Get<QGroupBox>(1067)->setTitle(QString::fromUtf8(GetText(txt::kCropFrameGroup)));
    setWindowTitle(QString::fromUtf8(StringPrintf(
        "Overlay %i - [%s]", static_cast<int>(copy_.number), GetText(txt::kCropFrame))));
    RefreshFields();
}

void CCropDlg::OnHScroll(int position) {
    copy_.crop = position;
    RefreshFields();
}

void CCropDlg::RefreshFields() {
    cropValue_ = builder_.Get<QSlider>(kCropBar)->value();
    ShowValueFields();
}

void CCropDlg::ShowValueFields() {
    builder_.Get<QLineEdit>(kCropValue)->setText(QString::number(cropValue_));
}

void CCropDlg::accept() {
    if (target_ != nullptr) {
        target_->crop = builder_.Get<QSlider>(kCropBar)->value();
    }
    QDialog::accept();
}

std::string CCropDlg::TipOf(int controlId) const {
    switch (controlId) {
    case 1:
        return GetText(txt::kTipCropOk);
    case kCropBar:
        return GetText(txt::kTipCropSize);
    case kCropValue:
        return GetText(txt::kTipCropValue);
    default:
        return std::string();
    }
}

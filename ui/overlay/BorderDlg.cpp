#include "ui/overlay/BorderDlg.h"

#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "app/ToolTips.h"
#include "ui/overlay/PaintArea.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace {

constexpr int kRedBar = 1037;
constexpr int kGreenBar = 1038;
constexpr int kBlueBar = 1039;
constexpr int kWidthBar = 1040;
constexpr int kRedValue = 1041;
constexpr int kGreenValue = 1042;
constexpr int kBlueValue = 1043;
constexpr int kWidthValue = 1044;
constexpr int kSwatchFrame = 1000;
constexpr int kSwatchId = 5001;
constexpr int kMaxBorderWidth = 50;

// Bytes of borderColor: the order of a 24-bit DIB pixel.
constexpr std::size_t kBlueByte = 0;
constexpr std::size_t kGreenByte = 1;
constexpr std::size_t kRedByte = 2;

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

} // namespace

CBorderDlg::CBorderDlg(QWidget* parent) : QDialog(parent), builder_(*this, BorderDialogTemplate()) {
    builder_.Build();
    setWindowFlags(kDialogWindowFlags | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    for (const int id : {kRedBar, kGreenBar, kBlueBar, kWidthBar}) {
        connect(builder_.Get<QSlider>(id), &QSlider::valueChanged, this, &CBorderDlg::OnHScroll);
    }
    connect(builder_.Get<QPushButton>(1), &QPushButton::clicked, this, &CBorderDlg::accept);

    // The swatch: the frame's inside, less 4 pixels left, right and below
    // and 9 at the top (the frame's line).
    QWidget* frame = builder_.Control(kSwatchFrame);
    swatch_ = new CPaintArea(frame, kSwatchId, true);
    swatch_->setGeometry(4, 9, frame->width() - 8, frame->height() - 13);
    swatch_->SetPainter([this](QPainter& painter, const QRect& client) {
        painter.fillRect(client, SwatchColor());
    });

    // Each colour's value field in its own colour.
    ColourValueField(kRedValue, kRed, kWhite);
    ColourValueField(kGreenValue, kGreen, kBlack);
    ColourValueField(kBlueValue, kBlue, kWhite);

    auto* tips = new CToolTips(this, [this](int id) { return TipOf(id); });
    tips->WatchAll();
}

void CBorderDlg::ColourValueField(int controlId, const QColor& background, const QColor& text) {
    auto* field = builder_.Get<QLineEdit>(controlId);
    QPalette palette = field->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::WindowText, text);
    }
    field->setPalette(palette);
    field->setAutoFillBackground(true);
}

void CBorderDlg::SetTarget(OverlaySettings* target) {
    target_ = target;
    if (target != nullptr) {
        copy_ = *target;
    }
    OnInitDialog();
}

void CBorderDlg::OnInitDialog() {
    struct Setup {
        int id;
        int maximum;
        int position;
        int page;
    };
    const Setup bars[] = {
        {kRedBar, 255, copy_.borderColor[kRedByte], 16},
        {kGreenBar, 255, copy_.borderColor[kGreenByte], 16},
        {kBlueBar, 255, copy_.borderColor[kBlueByte], 16},
        {kWidthBar, kMaxBorderWidth, copy_.borderWidth, 5},
    };
    for (const Setup& s : bars) {
        auto* bar = builder_.Get<QSlider>(s.id);
        // Set up silently: only the user's moves are scroll notifications.
        const QSignalBlocker block(bar);
        bar->setRange(0, s.maximum);
        bar->setValue(s.position);
        bar->setPageStep(s.page);
    }
    builder_.Get<QGroupBox>(1065)->setTitle(QString::fromUtf8(GetText(txt::kFrameColor)));
    builder_.Get<QGroupBox>(1066)->setTitle(QString::fromUtf8(GetText(txt::kFrameSize)));
    setWindowTitle(QString::fromUtf8(StringPrintf(
        "Overlay %i - [%s]", static_cast<int>(copy_.number), GetText(txt::kFrameProperties))));
    RefreshFields();
}

void CBorderDlg::OnHScroll(int position) {
    const std::uint8_t byte = static_cast<std::uint8_t>(std::clamp(position, 0, 255));
    switch (CDialogBuilder::ControlId(sender())) {
    case kRedBar:
        copy_.borderColor[kRedByte] = byte;
        break;
    case kGreenBar:
        copy_.borderColor[kGreenByte] = byte;
        break;
    case kBlueBar:
        copy_.borderColor[kBlueByte] = byte;
        break;
    case kWidthBar:
        copy_.borderWidth = position;
        break;
    default:
        return;
    }
    RefreshFields();
    swatch_->update();
}

QColor CBorderDlg::SwatchColor() const {
    return QColor(copy_.borderColor[kRedByte], copy_.borderColor[kGreenByte],
                  copy_.borderColor[kBlueByte]);
}

void CBorderDlg::RefreshFields() {
    red_ = builder_.Get<QSlider>(kRedBar)->value();
    green_ = builder_.Get<QSlider>(kGreenBar)->value();
    blue_ = builder_.Get<QSlider>(kBlueBar)->value();
    width_ = builder_.Get<QSlider>(kWidthBar)->value();
    ShowValueFields();
}

void CBorderDlg::ShowValueFields() {
    builder_.Get<QLineEdit>(kRedValue)->setText(QString::number(red_));
    builder_.Get<QLineEdit>(kGreenValue)->setText(QString::number(green_));
    builder_.Get<QLineEdit>(kBlueValue)->setText(QString::number(blue_));
    builder_.Get<QLineEdit>(kWidthValue)->setText(QString::number(width_));
}

void CBorderDlg::accept() {
    if (target_ != nullptr) {
        // Byte 3 of the colour is not ours to change.
        target_->borderColor[kRedByte] =
            static_cast<std::uint8_t>(builder_.Get<QSlider>(kRedBar)->value());
        target_->borderColor[kGreenByte] =
            static_cast<std::uint8_t>(builder_.Get<QSlider>(kGreenBar)->value());
        target_->borderColor[kBlueByte] =
            static_cast<std::uint8_t>(builder_.Get<QSlider>(kBlueBar)->value());
        target_->borderWidth = builder_.Get<QSlider>(kWidthBar)->value();
    }
    QDialog::accept();
}

std::string CBorderDlg::TipOf(int controlId) const {
    switch (controlId) {
    case 1:
        return GetText(txt::kTipBorderOk);
    case kRedBar:
        return GetText(txt::kTipRed);
    case kRedValue:
        return GetText(txt::kTipRedValue);
    case kGreenBar:
        return GetText(txt::kTipGreen);
    case kGreenValue:
        return GetText(txt::kTipGreenValue);
    case kBlueBar:
        return GetText(txt::kTipBlue);
    case kBlueValue:
        return GetText(txt::kTipBlueValue);
    case kWidthBar:
        return GetText(txt::kTipBorderSize);
    case kWidthValue:
        return GetText(txt::kTipBorderSizeValue);
    default:
        return std::string();
    }
}

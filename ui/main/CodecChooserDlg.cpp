#include "ui/main/CodecChooserDlg.h"

#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "app/ToolTips.h"
#include "codec/Compressor.h"
#include "codec/CompressorInfo.h"
#include "codec/CompressorTable.h"
#include "codec/ContainerCodecs.h"
#include "codec/WideToNarrow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>

namespace {

using K = ControlKind;
using Id = CCodecChooserDlg::ControlId;

// Laid out like the compressor dialogs users know: the list on top, the
// quality track bar with its number, key frames and data rate below, OK and
// Cancel on the right; the line naming the output container at the bottom.
constexpr ControlTemplate kControls[] = {
    {Id::kIdCompressorLabel, K::Label, 7, 7, 150, 8, "Compressor:"},
    {Id::kIdCompressorList, K::ComboBox, 7, 17, 150, 120, nullptr},
    {Id::kIdQualityLabel, K::Label, 7, 37, 150, 8, "Compression quality:"},
    {Id::kIdQuality, K::TrackBar, 7, 47, 112, 14, nullptr},
    {Id::kIdQualityValue, K::ReadOnlyEdit, 123, 47, 34, 13, nullptr},
    {Id::kIdKeyFrameBox, K::CheckBox, 7, 67, 72, 12, "Key frame every"},
    {Id::kIdKeyFrameRate, K::ReadOnlyEdit, 82, 66, 42, 13, nullptr},
    {Id::kIdKeyFrameUnit, K::Label, 128, 68, 30, 8, "frames"},
    {Id::kIdDataRateBox, K::CheckBox, 7, 84, 72, 12, "Data rate"},
    {Id::kIdDataRate, K::ReadOnlyEdit, 82, 83, 42, 13, nullptr},
    {Id::kIdDataRateUnit, K::Label, 128, 85, 30, 8, "KB/s"},
    {Id::kIdOk, K::DefaultPushButton, 166, 7, 50, 14, "OK"},
    {Id::kIdCancel, K::PushButton, 166, 25, 50, 14, "Cancel"},
    {Id::kIdContainerLine, K::Label, 7, 100, 209, 8, nullptr},
};

// Not one of the program's numbered templates.
constexpr DialogTemplate kTemplate{0, 223, 115, "Select codec", kControls, std::size(kControls)};

// Captions from the catalogue; "KB/s" and "OK" are the same in every language.
constexpr ControlText kCaptions[] = {
    {Id::kIdCompressorLabel, txt::kCompressorLabel},
    {Id::kIdQualityLabel, txt::kCompressionQuality},
    {Id::kIdKeyFrameBox, txt::kKeyFrameEvery},
    {Id::kIdKeyFrameUnit, txt::kFramesUnit},
    {Id::kIdDataRateBox, txt::kDataRate},
    {Id::kIdCancel, txt::kCancel},
};

constexpr int kDefaultQualityPercent = 75;
constexpr int kMaxKeyFrameRate = 9999;
constexpr int kMaxDataRate = 1000000; // KB/s

int QualityPercent(std::int32_t quality) {
    return (std::clamp(quality, ICQUALITY_LOW, ICQUALITY_HIGH) + 50) / 100;
}

int DefaultPercent(const CCodecChooserDlg::Offer& offer) {
    return offer.quality >= 0 ? QualityPercent(offer.quality) : kDefaultQualityPercent;
}

} // namespace

CCodecChooserDlg::CCodecChooserDlg(const BITMAPINFOHEADER* input, const COMPVARS& previous,
                                   kmx::OutputContainer container, QWidget* parent)
    : QDialog(parent), builder_(*this, kTemplate), container_(container) {
    builder_.Build([](const ControlTemplate& c, QWidget* dialog) -> QWidget* {
        if (c.id == Id::kIdKeyFrameRate || c.id == Id::kIdDataRate) {
            auto* box = new QSpinBox(dialog);
            box->setAlignment(Qt::AlignRight);
            return box;
        }
        return nullptr;
    });
    setWindowFlags(kDialogWindowFlags | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(GetText(txt::kSelectCodec)));
    list_ = builder_.Get<QComboBox>(Id::kIdCompressorList);
    quality_ = builder_.Get<QSlider>(Id::kIdQuality);
    qualityValue_ = builder_.Get<QLineEdit>(Id::kIdQualityValue);
    keyFrameBox_ = builder_.Get<QCheckBox>(Id::kIdKeyFrameBox);
    keyFrameEdit_ = builder_.Get<QSpinBox>(Id::kIdKeyFrameRate);
    dataRateBox_ = builder_.Get<QCheckBox>(Id::kIdDataRateBox);
    dataRateEdit_ = builder_.Get<QSpinBox>(Id::kIdDataRate);
    quality_->setRange(0, 100);
    quality_->setPageStep(10);
    keyFrameEdit_->setRange(1, kMaxKeyFrameRate);
    dataRateEdit_->setRange(1, kMaxDataRate);

    SetControlTexts();
    ListCompressors(input);
    TakePrevious(previous);
    ConnectControls();
    auto* tips = new CToolTips(this, [this](int id) { return ToolTipText(id); });
    tips->WatchAll();
    UpdateControls();
}

void CCodecChooserDlg::SetControlTexts() {
    builder_.SetCaptions(kCaptions);
    builder_.Get<QLabel>(Id::kIdContainerLine)
        ->setText(QString::fromUtf8(StringPrintf(GetText(txt::kCompressorsContainerHolds),
                                                 kmx::ContainerTitle(container_))));
}

void CCodecChooserDlg::ListCompressors(const BITMAPINFOHEADER* input) {
    if (kmx::ContainerHolds(container_, FOURCC_DIB)) {
        Offer none;
        none.fourcc = FOURCC_DIB;
        none.name = GetText(txt::kNoCompression);
        offers_.push_back(none);
    }
    for (const kmx::CompressorListing& listing : kmx::ListCompressors(false)) {
        if (listing.fourcc == FOURCC_DIB || !kmx::ContainerHolds(container_, listing.fourcc)) {
            continue; // "no compression" stands for uncompressed frames
        }
        const std::unique_ptr<CCompressor> compressor =
            CCompressor::Open(ICTYPE_VIDEO, listing.fourcc);
        if (!compressor || (input != nullptr && compressor->GetSize(input) <= 0)) {
            continue;
        }
        ICINFO info{};
        if (compressor->GetInfo(&info, static_cast<std::int32_t>(sizeof info)) == 0) {
            continue;
        }
        Offer offer;
        offer.fourcc = listing.fourcc;
        offer.name = kmx::WideToNarrow(info.szDescription);
        offer.flags = info.dwFlags;
        offer.quality = compressor->Entry().defaultQuality;
        offers_.push_back(std::move(offer));
    }
    for (const Offer& offer : offers_) {
        list_->addItem(QString::fromUtf8(offer.name));
    }
}

void CCodecChooserDlg::TakePrevious(const COMPVARS& previous) {
    selected_ = 0;
    if (offers_.empty()) {
        return; // nothing this machine has fits the container
    }
    qualityPercent_ = DefaultPercent(offers_[0]);
    if (previous.fccType == 0) {
        return; // no choice before: no compression, or the first that fits
    }
    const std::uint32_t fourcc = previous.fccHandler == 0 ? FOURCC_DIB : previous.fccHandler;
    const auto found = std::find_if(offers_.begin(), offers_.end(), [fourcc](const Offer& offer) {
        return offer.fourcc == fourcc;
    });
    if (found == offers_.end()) {
        return; // not offered for this input or container: the first entry
    }
    selected_ = static_cast<int>(found - offers_.begin());
    qualityPercent_ =
        previous.lQ >= 0 ? QualityPercent(previous.lQ) : DefaultPercent(offers_[selected_]);
    keyFrames_ = previous.lKey > 0;
    if (keyFrames_) {
        keyFrameRate_ = std::min(previous.lKey, kMaxKeyFrameRate);
    }
    limitDataRate_ = previous.lDataRate > 0;
    if (limitDataRate_) {
        dataRateKb_ = std::min(previous.lDataRate, kMaxDataRate);
    }
}

void CCodecChooserDlg::ConnectControls() {
    connect(list_, &QComboBox::currentIndexChanged, this, &CCodecChooserDlg::OnCompressorSelect);
    connect(quality_, &QSlider::valueChanged, this, &CCodecChooserDlg::OnQualityScroll);
    connect(keyFrameBox_, &QCheckBox::toggled, this, [this](bool on) {
        keyFrames_ = on;
        UpdateControls();
    });
    connect(dataRateBox_, &QCheckBox::toggled, this, [this](bool on) {
        limitDataRate_ = on;
        UpdateControls();
    });
    connect(keyFrameEdit_, &QSpinBox::valueChanged, this, [this](int n) { keyFrameRate_ = n; });
    connect(dataRateEdit_, &QSpinBox::valueChanged, this, [this](int kb) { dataRateKb_ = kb; });
    connect(builder_.Get<QPushButton>(Id::kIdOk), &QPushButton::clicked, this,
            &CCodecChooserDlg::accept);
    connect(builder_.Get<QPushButton>(Id::kIdCancel), &QPushButton::clicked, this,
            &CCodecChooserDlg::reject);
}

void CCodecChooserDlg::OnCompressorSelect(int index) {
    if (index < 0 || index >= static_cast<int>(offers_.size()) || index == selected_) {
        return;
    }
    selected_ = index;
    qualityPercent_ = DefaultPercent(offers_[static_cast<std::size_t>(index)]);
    UpdateControls();
}

void CCodecChooserDlg::OnQualityScroll(int percent) {
    qualityPercent_ = percent;
    UpdateControls();
}

void CCodecChooserDlg::UpdateControls() {
    builder_.Control(Id::kIdOk)->setEnabled(!offers_.empty());
    const Offer offer = offers_.empty() ? Offer{} : offers_[static_cast<std::size_t>(selected_)];
    const bool quality = (offer.flags & VIDCF_QUALITY) != 0;
    const bool keyFrames = (offer.flags & VIDCF_TEMPORAL) != 0;
    const bool dataRate = (offer.flags & VIDCF_CRUNCH) != 0;
    {
        const QSignalBlocker a(list_), b(quality_), c(keyFrameBox_), d(keyFrameEdit_),
            e(dataRateBox_), f(dataRateEdit_);
        list_->setCurrentIndex(selected_);
        quality_->setValue(qualityPercent_);
        keyFrameBox_->setChecked(keyFrames_);
        keyFrameEdit_->setValue(keyFrameRate_);
        dataRateBox_->setChecked(limitDataRate_);
        dataRateEdit_->setValue(dataRateKb_);
    }
    qualityValue_->setText(quality ? QString::number(qualityPercent_) : QString());
    for (int id : {Id::kIdQualityLabel, Id::kIdQuality, Id::kIdQualityValue}) {
        builder_.Control(id)->setEnabled(quality);
    }
    keyFrameBox_->setEnabled(keyFrames);
    keyFrameEdit_->setEnabled(keyFrames && keyFrames_);
    builder_.Control(Id::kIdKeyFrameUnit)->setEnabled(keyFrames);
    dataRateBox_->setEnabled(dataRate);
    dataRateEdit_->setEnabled(dataRate && limitDataRate_);
    builder_.Control(Id::kIdDataRateUnit)->setEnabled(dataRate);
}

CodecChoice CCodecChooserDlg::Choice() const {
    CodecChoice choice;
    if (offers_.empty()) {
        return choice;
    }
    const Offer& offer = offers_[static_cast<std::size_t>(selected_)];
    choice.fourcc = offer.fourcc;
    if ((offer.flags & VIDCF_QUALITY) != 0) {
        choice.quality = qualityPercent_ * 100;
    }
    if ((offer.flags & VIDCF_TEMPORAL) != 0 && keyFrames_) {
        choice.keyFrameRate = keyFrameRate_;
    }
    if ((offer.flags & VIDCF_CRUNCH) != 0 && limitDataRate_) {
        choice.dataRate = dataRateKb_;
    }
    return choice;
}

std::string CCodecChooserDlg::ToolTipText(int controlId) const {
    // The list shares the Codec button's text; the rest explain themselves.
    return controlId == Id::kIdCompressorList ? std::string(GetText(txt::kTipCodec))
                                              : std::string();
}

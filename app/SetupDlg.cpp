#include "app/SetupDlg.h"

#include "app/ClickablePicture.h"
#include "app/ResourceImages.h"
#include "app/Settings.h"
#include "app/ToolTips.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include <array>

namespace {

// Radio buttons in the order of languageIndex, and the flag beside each.
constexpr std::array<int, 3> kRadioIds{1047, 1048, 1051};
constexpr int kGermanFlag = 1068;
constexpr int kBritishFlag = 1069;
constexpr int kDutchFlag = 1070;
constexpr int kToolTipBox = 1071;

int FlagBitmap(int controlId) {
    switch (controlId) {
    case kGermanFlag:
        return 151;
    case kBritishFlag:
        return 150;
    case kDutchFlag:
        return 152;
    default:
        return 0;
    }
}

} // namespace

CSetupDlg::CSetupDlg(QWidget* parent) : QDialog(parent), builder_(*this, SetupDialogTemplate()) {
    builder_.Build([](const ControlTemplate& c, QWidget* dialogWidget) -> QWidget* {
        const int bitmap = FlagBitmap(c.id);
        if (bitmap == 0) {
            return nullptr;
        }
        auto* flag = new CClickablePicture(dialogWidget);
        flag->setPixmap(ResourceBitmap(bitmap));
        return flag;
    });
    setWindowFlags(kDialogWindowFlags | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    connect(builder_.Get<CClickablePicture>(kGermanFlag), &CClickablePicture::clicked, this,
            &CSetupDlg::OnGermanFlag);
    connect(builder_.Get<CClickablePicture>(kBritishFlag), &CClickablePicture::clicked, this,
            &CSetupDlg::OnBritishFlag);
    connect(builder_.Get<CClickablePicture>(kDutchFlag), &CClickablePicture::clicked, this,
            &CSetupDlg::OnDutchFlag);
    connect(builder_.Get<QPushButton>(1), &QPushButton::clicked, this, &CSetupDlg::accept);
    connect(builder_.Get<QPushButton>(2), &QPushButton::clicked, this, &CSetupDlg::reject);

    // The dialog has no tip texts of its own; the filter keeps any other
    // tip away, as in every window of the program.
    auto* tips = new CToolTips(this, [](int) { return std::string(); });
    tips->WatchAll();

    OnInitDialog();
}

void CSetupDlg::OnInitDialog() {
    switch (CSettings::language) {
    case 2:
        languageIndex = 1;
        break;
    case 3:
        languageIndex = 2;
        break;
    default:
        languageIndex = 0;
        break;
    }
    builder_.Get<QCheckBox>(kToolTipBox)->setChecked(CSettings::toolTips != 0);
    UpdateRadioButtons();
}

void CSetupDlg::OnGermanFlag() {
    languageIndex = 0;
    UpdateRadioButtons();
}

void CSetupDlg::OnBritishFlag() {
    languageIndex = 1;
    UpdateRadioButtons();
}

void CSetupDlg::OnDutchFlag() {
    languageIndex = 2;
    UpdateRadioButtons();
}

void CSetupDlg::UpdateRadioButtons() {
    for (std::size_t i = 0; i < kRadioIds.size(); ++i) {
        if (static_cast<std::int32_t>(i) == languageIndex) {
            builder_.Get<QRadioButton>(kRadioIds[i])->setChecked(true);
        }
    }
}

std::int32_t CSetupDlg::ReadRadioButtons() const {
    for (std::size_t i = 0; i < kRadioIds.size(); ++i) {
        if (builder_.Get<QRadioButton>(kRadioIds[i])->isChecked()) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

void CSetupDlg::accept() {
    languageIndex = ReadRadioButtons();
    switch (languageIndex) {
    case 0:
        CSettings::language = 1;
        break;
    case 1:
        CSettings::language = 2;
        break;
    case 2:
        CSettings::language = 3;
        break;
    default:
        break; // nothing selected: the language stays
    }
    CSettings::toolTips = builder_.Get<QCheckBox>(kToolTipBox)->isChecked() ? 1 : 0;
    QDialog::accept();
}

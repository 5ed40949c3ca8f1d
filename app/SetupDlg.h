// The setup dialog: the user-interface language (with clickable flags) and
// the tool-tip switch. OK stores both in the settings; Cancel changes nothing.
#pragma once

#include "app/DialogBuilder.h"

#include <QDialog>

#include <cstdint>

class CSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSetupDlg(QWidget* parent = nullptr);

    // Selected radio button: 0 Deutsch, 1 English, 2 Nederlands; -1 before the dialog is set up.
    std::int32_t languageIndex = -1;

    void accept() override;

private:
    void OnInitDialog();
    void OnGermanFlag();
    void OnBritishFlag();
    void OnDutchFlag();
    // Checks the radio button of languageIndex.
    void UpdateRadioButtons();
    // The index of the checked radio button, or -1.
    std::int32_t ReadRadioButtons() const;

    CDialogBuilder builder_;
};

// The crop dialog: how many pixels are cut away at the edges of one
// overlay's frames (0 = none), on a copy of the slot; OK writes the crop
// into the target, Escape writes nothing.
#pragma once

#include "app/DialogBuilder.h"
#include "engine/ConvertJob.h"

#include <QDialog>

#include <cstdint>

class CCropDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCropDlg(QWidget* parent = nullptr);

    // Keeps the target (written only by OK), copies it and sets the
    // controls up from the copy.
    void SetTarget(OverlaySettings* target);

    void accept() override; // OK: the target's crop = the track bar's position

private:
    void OnInitDialog();
    void OnHScroll(int position);
    void RefreshFields();
    void ShowValueFields();
    std::string TipOf(int controlId) const;

    CDialogBuilder builder_;
    OverlaySettings* target_ = nullptr;
    OverlaySettings copy_;
    std::int32_t cropValue_ = 0; // the value field 1045
};

// The border dialog: colour (red, green, blue) and width of the border
// drawn around one overlay, on a copy of the slot, with a swatch of the
// colour. OK writes the three colour bytes and the width into the target;
// Escape writes nothing.
#pragma once

#include "app/DialogBuilder.h"
#include "engine/ConvertJob.h"

#include <QColor>
#include <QDialog>

#include <cstdint>

class CPaintArea;

class CBorderDlg : public QDialog {
    Q_OBJECT
public:
    explicit CBorderDlg(QWidget* parent = nullptr);

    // Keeps the target (written only by OK), copies it and sets the
    // controls up from the copy.
    void SetTarget(OverlaySettings* target);

    void accept() override; // OK

    // The swatch window (child 5001 of group box 1000).
    CPaintArea* Swatch() const { return swatch_; }
    // The colour the swatch shows: the copy's border bytes red, green, blue.
    QColor SwatchColor() const;

private:
    void OnInitDialog();
    void OnHScroll(int position);
    void RefreshFields();
    void ShowValueFields();
    void ColourValueField(int controlId, const QColor& background, const QColor& text);
    std::string TipOf(int controlId) const;

    CDialogBuilder builder_;
    OverlaySettings* target_ = nullptr;
    OverlaySettings copy_;
    CPaintArea* swatch_ = nullptr;
    // Value fields.
    std::int32_t blue_ = 0;
    std::int32_t green_ = 0;
    std::int32_t red_ = 0;
    std::int32_t width_ = 0;
};

// The quick positioning dialog: 34 buttons that picture where the overlay
// goes (quarters and centre, 3 x 3 and 4 x 4 grids, halves). A click
// computes the rectangle from the base frame size, writes the caller's four
// results and closes the dialog; any other way out writes nothing.
#pragma once

#include "app/DialogBuilder.h"

#include <QDialog>

#include <cstdint>

class CQuickPosDlg : public QDialog {
    Q_OBJECT
public:
    explicit CQuickPosDlg(QWidget* parent = nullptr);

    // Keeps the slot number (for the title), the base frame size and the
    // four result references (caller-owned; the caller presets x to -1 and
    // takes a negative x afterwards to mean that nothing was chosen).
    void SetTarget(std::int32_t number, std::int32_t width, std::int32_t height, std::int32_t* x,
                   std::int32_t* y, std::int32_t* rectWidth, std::int32_t* rectHeight);

private:
    void OnInitDialog();
    void OnPositionButton();

    CDialogBuilder builder_;
    std::int32_t number_ = 0;
    std::int32_t baseWidth_ = 0;
    std::int32_t baseHeight_ = 0;
    std::int32_t* x_ = nullptr;
    std::int32_t* y_ = nullptr;
    std::int32_t* width_ = nullptr;
    std::int32_t* height_ = nullptr;
};

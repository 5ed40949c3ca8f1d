// The preview window of the main window: a plain child with a thin border
// whose inside shows one picture, a packed DIB drawn as large as it fits in
// its proportions (those of its pixels too, for anamorphic video) with black
// bars beside or above and below it, or solid blue while there is no input.
//
// Each picture is drawn once, straight from the DIB's own pixel rows, onto
// the window's surface image; paint events and grab() show that image, so
// the window keeps its picture without holding on to the DIB.
#pragma once

#include "media/AviRecords.h"

#include <QFrame>
#include <QImage>

#include <cstddef>
#include <cstdint>

class CPreviewWidget : public QFrame {
    Q_OBJECT
public:
    explicit CPreviewWidget(QWidget* parent = nullptr);

    // Draws a DIB in proportion inside the border. dibBytes (when not 0) is
    // the length of the block, checked against the picture's size. False
    // (and the old picture kept) for a DIB that cannot be shown.
    bool DrawDib(const BITMAPINFOHEADER* dib, std::size_t dibBytes = 0);
    // The shape of the pictures' pixels, width to height, from the next
    // picture on; square (1:1) unless set, and for values that are not both
    // positive.
    void SetPixelAspect(std::int32_t num, std::int32_t den);
    // Fills the area inside the border with blue.
    void DrawNoInput();

    // The picture inside the border as it was last drawn.
    const QImage& Surface() const { return surface_; }
    // Pictures drawn so far (DIBs and blue fills), for the window's tests.
    std::uint64_t DrawCount() const { return drawCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Makes the surface as large as the area inside the border.
    void FitSurface();

    QImage surface_;
    std::int32_t aspectNum_ = 1;
    std::int32_t aspectDen_ = 1;
    std::uint64_t drawCount_ = 0;
};

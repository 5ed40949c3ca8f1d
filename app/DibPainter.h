// Drawing packed DIBs (as the AVI reader and the worker hand them out) with
// QPainter: the image wraps the DIB's own pixel rows, so nothing is converted
// or copied per frame for the 16-, 24- and 32-bit formats.
#pragma once

#include "media/AviRecords.h"

#include <QImage>
#include <QRect>

#include <cstddef>
#include <cstdint>

class QPainter;

// A QImage over the pixel rows of a packed DIB: header, a 1024-byte colour
// table below 16 bits per pixel, then the rows (padded to 4 bytes, or packed
// when biSizeImage says so). The image references the DIB's memory, which
// must stay valid while the image is used. Bottom-up DIBs (positive
// biHeight) come out upside down; *bottomUp tells. A null image for a DIB
// that cannot be shown: no header, compressed, a depth other than 8, 16,
// 24 or 32 bits, a size out of range, or a block (dibBytes, when not 0)
// too short for its pixels.
QImage WrapDibPixels(const BITMAPINFOHEADER* dib, std::size_t dibBytes, bool* bottomUp);

// Draws a DIB's picture stretched into target, nearest neighbour. source is
// the part to draw, in pixels counted from the picture's top-left corner; an
// empty source means the whole picture, and a source reaching past the
// picture is cut to it (the target shrinks in step). False when nothing
// was drawn.
// Where a picture of width x height pixels, each aspectNum:aspectDen wide
// to high, is drawn into area as large as it fits in its proportions,
// centred. The whole area for sizes or an aspect that are not positive.
QRect FitPicture(const QRect& area, std::int64_t width, std::int64_t height,
                 std::int32_t aspectNum = 1, std::int32_t aspectDen = 1);

bool DrawDibStretched(QPainter& painter, const QRect& target, const BITMAPINFOHEADER* dib,
                      std::size_t dibBytes = 0, const QRect& source = QRect());

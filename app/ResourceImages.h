// The program's images, drawn by our own code: the program icon (128), the
// picture of the main window (131, 256 x 256), the play button's bitmaps
// (133 ready, 134 inactive, 135 playing, 138 ready pressed, 139 playing
// pressed; 26 x 24) and the flags (150 British, 151 German, 152 Dutch; 36 x 18).
#pragma once

#include <QIcon>
#include <QPixmap>

class QPainter;

QPixmap ResourceBitmap(int id); // a null pixmap for an unknown id
QIcon ProgramIcon();
// Paints the program icon into the square of size x size at the painter's
// origin: on an image for the window icon, into an SVG for the desktop.
void PaintProgramIcon(QPainter& painter, int size);

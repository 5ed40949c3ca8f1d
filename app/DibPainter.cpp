#include "app/DibPainter.h"

#include <QPainter>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr std::int64_t kMaxDimension = 32768;
constexpr std::uint32_t kMaxHeaderSize = 4096;
constexpr std::size_t kColourTableBytes = 1024;

QImage::Format FormatOf(int bitCount) {
    switch (bitCount) {
    case 8:
        return QImage::Format_Indexed8;
    case 16:
        return QImage::Format_RGB555; // 5-5-5, blue in the low bits
    case 24:
        return QImage::Format_BGR888; // bytes blue, green, red
    case 32:
        return QImage::Format_RGB32; // bytes blue, green, red, unused
    default:
        return QImage::Format_Invalid;
    }
}

} // namespace

QImage WrapDibPixels(const BITMAPINFOHEADER* dib, std::size_t dibBytes, bool* bottomUp) {
    if (dib == nullptr || dib->biSize < sizeof(BITMAPINFOHEADER) || dib->biSize > kMaxHeaderSize ||
        dib->biCompression != 0) {
        return QImage();
    }
    const QImage::Format format = FormatOf(dib->biBitCount);
    const std::int64_t width = dib->biWidth;
    const std::int64_t height = dib->biHeight < 0 ? -std::int64_t{dib->biHeight} : dib->biHeight;
    if (format == QImage::Format_Invalid || width <= 0 || height <= 0 || width > kMaxDimension ||
        height > kMaxDimension) {
        return QImage();
    }
    const std::int64_t bits = width * dib->biBitCount;
    const std::int64_t padded = (bits + 31) / 32 * 4;
    const std::int64_t packed = bits / 8;
    // Frames made by the engine carry rows without padding; their image
    // size says so.
    const std::int64_t stride =
        (padded != packed && std::int64_t{dib->biSizeImage} == packed * height) ? packed : padded;
    const std::int64_t offset =
        std::int64_t{dib->biSize} + (dib->biBitCount < 16 ? std::int64_t{kColourTableBytes} : 0);
    if (dibBytes != 0 && offset + stride * height > static_cast<std::int64_t>(dibBytes)) {
        return QImage();
    }
    const auto* base = reinterpret_cast<const uchar*>(dib);
    QImage image(base + offset, static_cast<int>(width), static_cast<int>(height),
                 static_cast<qsizetype>(stride), format);
    if (format == QImage::Format_Indexed8) {
        const uchar* table = base + dib->biSize;
        QVector<QRgb> colours(256);
        for (int i = 0; i < 256; ++i) {
            colours[i] = qRgb(table[4 * i + 2], table[4 * i + 1], table[4 * i]);
        }
        image.setColorTable(colours);
    }
    if (bottomUp != nullptr) {
        *bottomUp = dib->biHeight > 0;
    }
    return image;
}

QRect FitPicture(const QRect& area, std::int64_t width, std::int64_t height, std::int32_t aspectNum,
                 std::int32_t aspectDen) {
    if (width <= 0 || height <= 0 || aspectNum <= 0 || aspectDen <= 0 || area.isEmpty()) {
        return area;
    }
    const double shownWidth = static_cast<double>(width) * aspectNum / aspectDen;
    const double scale =
        std::min(area.width() / shownWidth, area.height() / static_cast<double>(height));
    const int w = std::clamp(static_cast<int>(std::lround(shownWidth * scale)), 1, area.width());
    const int h = std::clamp(static_cast<int>(std::lround(height * scale)), 1, area.height());
    return QRect(area.left() + (area.width() - w) / 2, area.top() + (area.height() - h) / 2, w, h);
}

bool DrawDibStretched(QPainter& painter, const QRect& target, const BITMAPINFOHEADER* dib,
                      std::size_t dibBytes, const QRect& source) {
    bool bottomUp = false;
    const QImage image = WrapDibPixels(dib, dibBytes, &bottomUp);
    if (image.isNull() || target.isEmpty()) {
        return false;
    }
    const QRect picture = image.rect();
    const QRect wanted = source.isEmpty() ? picture : source;
    const QRect part = wanted.intersected(picture);
    if (part.isEmpty()) {
        return false;
    }
    // The target follows the cut: the part keeps its place within it.
    const double scaleX = static_cast<double>(target.width()) / wanted.width();
    const double scaleY = static_cast<double>(target.height()) / wanted.height();
    const QRectF to(target.left() + (part.left() - wanted.left()) * scaleX,
                    target.top() + (part.top() - wanted.top()) * scaleY, part.width() * scaleX,
                    part.height() * scaleY);

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (bottomUp) {
        // Memory row 0 is the picture's bottom row: draw the rows upwards.
        const QRect rows(part.left(), picture.height() - part.top() - part.height(), part.width(),
                         part.height());
        painter.translate(to.left(), to.top() + to.height());
        painter.scale(1.0, -1.0);
        painter.drawImage(QRectF(0.0, 0.0, to.width(), to.height()), image, rows);
    } else {
        painter.drawImage(to, image, part);
    }
    painter.restore();
    return true;
}

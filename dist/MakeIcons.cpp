// Writes the program icon for the desktop's hicolor theme, drawn by the same
// code as the window icon: "kadrimix_make_icons DIR" creates
// DIR/scalable/apps/org.quelmark.Kadrimix.svg and DIR/NxN/apps/...png for
// N = 48, 128 and 256. Exit status 0 when every file was written.
#include "app/ResourceImages.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr const char* kIconName = "org.quelmark.Kadrimix";

bool WriteSvg(const QString& folder) {
    const QString path = folder + QStringLiteral("/scalable/apps/%1.svg").arg(kIconName);
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(64, 64));
    svg.setViewBox(QRect(0, 0, 64, 64));
    svg.setTitle(QStringLiteral("Kadrimix"));
    QPainter painter;
    if (!QDir().mkpath(QFileInfo(path).path()) || !painter.begin(&svg)) {
        return false;
    }
    PaintProgramIcon(painter, 64);
    return painter.end();
}

bool WritePng(const QString& folder, int size) {
    const QString path = folder + QStringLiteral("/%1x%1/apps/%2.png").arg(size).arg(kIconName);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        PaintProgramIcon(painter, size);
    }
    return QDir().mkpath(QFileInfo(path).path()) && image.save(path, "PNG");
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: kadrimix_make_icons DIR\n");
        return 2;
    }
    // Painting needs no screen; the offscreen platform keeps the build
    // independent of one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = WriteSvg(folder);
    for (int size : {48, 128, 256}) {
        ok = WritePng(folder, size) && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "kadrimix_make_icons: cannot write the icons into %s\n", argv[1]);
    }
    return ok ? 0 : 1;
}

// Renders the application icon as PNG files of the usual sizes into a hicolor icon tree.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "help/Artwork.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("Usage: render-icons OUT_DIR\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) ||
            !sv::PaintIcon(size).save(folder + QStringLiteral("/sonivar.png"), "PNG")) {
            std::fprintf(stderr, "render-icons: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}

// Writes the program icon and the banner as PNG files, for installing and for the manual.
#include "app/Artwork.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Drawing needs fonts but no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaly_artwork OUTPUT-FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    bool written = true;
    for (const int size : tessaly::kIconSizes)
        written &= tessaly::drawProgramIcon(size).save(folder.filePath(QStringLiteral("tessaly-%1.png").arg(size)));
    written &= tessaly::drawBanner().save(folder.filePath(QStringLiteral("banner.png")));
    if (!written)
        std::fprintf(stderr, "tessaly_artwork: cannot write into %s\n", argv[1]);
    return written ? 0 : 1;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the avatar faces 1.bmp to 85.bmp into the given folder.
#include "contacts/faceart.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makefaces <folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;
    for (int n = 1; n <= FaceArt::Count; ++n)
        if (!FaceArt::face(n).save(dir.filePath(QStringLiteral("%1.bmp").arg(n)), "BMP"))
            return 1;
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the splash window's picture ahead, as the window would draw it, into
// its pixels as the screen takes them (32-bit RGB, this machine's order):
//   makesplash <picture.rgb32>
// Where no font can show Chinese, the file is left empty and the program
// draws the splash itself with the fonts of the machine it runs on.
#include "widgets/splashpicture.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makesplash <picture.rgb32>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
        return 0;
    // Opaque, as the window's backing store is, so text is smoothed alike.
    QImage picture(SplashPicture::Size, QImage::Format_RGB32);
    QPainter p(&picture);
    SplashPicture::draw(p, QGuiApplication::font());
    p.end();
    for (int y = 0; y < picture.height(); ++y)
        if (out.write(reinterpret_cast<const char *>(picture.constScanLine(y)),
                      picture.width() * qsizetype(sizeof(quint32))) < 0)
            return 1;
    return 0;
}

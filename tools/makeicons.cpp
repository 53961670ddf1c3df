// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program icon into the hicolor theme sizes: <folder>/NxN/apps/<name>.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: makeicons <icon.svg> <hicolor folder> <name>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid())
        return 1;
    const QDir root(QString::fromLocal8Bit(argv[2]));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!root.mkpath(folder))
            return 1;
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        if (!image.save(root.filePath(folder + QLatin1Char('/') + QString::fromLocal8Bit(argv[3]) +
                                      QStringLiteral(".png"))))
            return 1;
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's pictures ahead, at the sizes its first window shows
// them, so that window is drawn without loading the vector reader:
//   makeartwork <out folder> <sizes, comma separated> <picture.svg>...
// writes <out folder>/<name>-<N>.png for each, exactly as a vector icon of
// N x N pixels would draw it (fitted, keeping its shape).
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

static bool render(const QString &svg, const QDir &out, int size) {
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return false;
    QSize fitted = renderer.defaultSize();
    fitted.scale(QSize(size, size), Qt::KeepAspectRatio);
    QImage image(fitted, QImage::Format_ARGB32_Premultiplied);
    image.fill(0x00000000);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    const QString name = QFileInfo(svg).completeBaseName();
    return image.save(out.filePath(QStringLiteral("%1-%2.png").arg(name).arg(size)));
}

int main(int argc, char *argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: makeartwork <out folder> <sizes> <picture.svg>...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder))
        return 1;
    const QDir out(folder);
    const QStringList sizes = QString::fromLocal8Bit(argv[2]).split(QLatin1Char(','));
    for (int i = 3; i < argc; ++i)
        for (const QString &size : sizes)
            if (!render(QString::fromLocal8Bit(argv[i]), out, size.toInt())) {
                std::fprintf(stderr, "makeartwork: cannot render %s\n", argv[i]);
                return 1;
            }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's pictures ahead, at the sizes its first window shows
// them, so that window is drawn without loading the vector reader:
//   makeartwork <out folder> <sizes, comma separated> <picture.svg>...
// writes <out folder>/<name>-<N>.png for each, exactly as a vector icon of
// N x N pixels would draw it (fitted, keeping its shape).
//   makeartwork --decoded <out folder> <picture.png>...
// writes <out folder>/<name>.argb32: the picture decoded as the program's
// pixmap holds it, after its width and height (32 bits each, this machine's
// order), so the first window shows it without decoding.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
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

// Read as the program reads it, then converted as a pixmap converts it.
static bool decode(const QString &png, const QDir &out) {
    QImageReader reader(png, "png");
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QFile file(out.filePath(QFileInfo(png).completeBaseName() + QStringLiteral(".argb32")));
    if (image.isNull() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const quint32 size[] = {quint32(image.width()), quint32(image.height())};
    if (file.write(reinterpret_cast<const char *>(size), sizeof size) < 0)
        return false;
    for (int y = 0; y < image.height(); ++y)
        if (file.write(reinterpret_cast<const char *>(image.constScanLine(y)),
                       image.width() * qsizetype(sizeof(quint32))) < 0)
            return false;
    return true;
}

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "--decoded") == 0) {
        const QDir out(QString::fromLocal8Bit(argv[2]));
        for (int i = 3; i < argc; ++i)
            if (!decode(QString::fromLocal8Bit(argv[i]), out)) {
                std::fprintf(stderr, "makeartwork: cannot decode %s\n", argv[i]);
                return 1;
            }
        return 0;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: makeartwork <out folder> <sizes> <picture.svg>...\n");
        return 2;
    }
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

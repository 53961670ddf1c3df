// SPDX-License-Identifier: GPL-3.0-or-later
#include "photos/picturefile.h"

#include <QFileInfo>
#include <QImageReader>

namespace PictureFile {

namespace {
bool prepare(QImageReader &reader, const QString &path) {
    if (!QFileInfo(path).isFile())
        return false;
    reader.setFileName(path);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(int(MaxPixels * 4 / (1024 * 1024)) + 1);
    const QSize size = reader.size();
    return reader.canRead() && size.isValid() && !size.isEmpty() &&
           qint64(size.width()) * size.height() <= MaxPixels;
}
} // namespace

QSize naturalSize(const QString &path) {
    QImageReader reader;
    if (!prepare(reader, path))
        return {};
    QSize size = reader.size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}

QImage load(const QString &path, const QSize &target) {
    QImageReader reader;
    if (!prepare(reader, path))
        return {};
    if (!target.isValid() || target.isEmpty())
        return reader.read();
    // Palette pictures cannot be scaled smoothly as they are: their colour
    // indexes would be sampled, which turns fine detail into noise.
    const QImage::Format stored = reader.imageFormat();
    const bool palette = stored == QImage::Format_Mono || stored == QImage::Format_MonoLSB ||
                         stored == QImage::Format_Indexed8;
    if (!palette) {
        QSize scaled = target;
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            scaled.transpose();
        reader.setScaledSize(scaled);
        return reader.read();
    }
    QImage image = reader.read();
    if (image.isNull())
        return image;
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace PictureFile

// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/splashpicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QResource>

namespace SplashPicture {

// Drawn by code rather than from a vector file, so neither the build nor a
// start needs the vector reader for it.
void draw(QPainter &p, const QFont &base) {
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, Size.height());
    background.setColorAt(0, QColor(0xfb, 0xc8, 0x8f));
    background.setColorAt(1, QColor(0xf7, 0xa5, 0x55));
    p.fillRect(QRect(QPoint(0, 0), Size), background);
    const QColor brown(0x8a, 0x4b, 0x12);
    p.setPen(QPen(brown, 3));
    p.drawRect(QRectF(6, 6, 408, 248));

    // A notebook with a quill.
    p.save();
    p.translate(40, 60);
    p.scale(2.2, 2.2);
    p.setPen(QPen(brown, 2.5));
    p.setBrush(QColor(0xff, 0xf4, 0xe6));
    p.drawRoundedRect(QRectF(8, 6, 40, 52), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc4, 0x6f, 0x1f));
    p.drawRoundedRect(QRectF(8, 6, 9, 52), 3, 3);
    p.setPen(QPen(brown, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QLineF(23, 20, 42, 20));
    p.drawLine(QLineF(23, 28, 42, 28));
    p.drawLine(QLineF(23, 36, 36, 36));
    QPainterPath quill(QPointF(58, 4));
    quill.cubicTo(44, 10, 34, 24, 30, 44);
    quill.lineTo(34, 45);
    quill.cubicTo(40, 28, 50, 16, 58, 4);
    p.setPen(QPen(QColor(0x3b, 0x3b, 0x58), 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(quill);
    p.restore();

    QFont title = base;
    title.setPixelSize(44);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x5a, 0x2e, 0x06));
    p.drawText(QPointF(200, 130), QStringLiteral("Quillary"));
    QFont line = base;
    line.setPixelSize(16);
    p.setFont(line);
    p.setPen(QColor(0x6b, 0x3b, 0x0c));
    p.drawText(QPointF(202, 164), QStringLiteral("日记 · 小说 · 通讯录 · 相册"));
    line.setPixelSize(13);
    p.setFont(line);
    p.drawText(QPointF(202, 230), QStringLiteral("正在载入……"));
}

QImage drawnAhead(qreal pixelRatio) {
    // Kept as the screen takes it, uncompressed: shown straight from the
    // program's own pages, with nothing to decode.
    const QResource pixels(QStringLiteral(":/art/splash.rgb32"));
    const qsizetype line = Size.width() * qsizetype(sizeof(quint32));
    if (pixelRatio != 1.0 || pixels.compressionAlgorithm() != QResource::NoCompression ||
        pixels.size() != line * Size.height())
        return {};
    return QImage(pixels.data(), Size.width(), Size.height(), line, QImage::Format_RGB32);
}

} // namespace SplashPicture

// SPDX-License-Identifier: GPL-3.0-or-later
#include "contacts/faceart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace FaceArt {

namespace {
const QColor skins[] = {QColor(255, 224, 189), QColor(241, 194, 125), QColor(224, 172, 105),
                        QColor(198, 134, 66),  QColor(141, 85, 36),   QColor(255, 236, 148)};
const QColor hairs[] = {QColor(40, 30, 25),  QColor(120, 72, 30), QColor(230, 190, 90),
                        QColor(170, 60, 40), QColor(90, 90, 100), QColor(60, 110, 200),
                        QColor(200, 80, 160)};
const QColor shirts[] = {QColor(220, 70, 60), QColor(60, 140, 220), QColor(70, 170, 90),
                         QColor(240, 170, 40), QColor(140, 90, 200)};
} // namespace

QImage seeThrough(const QImage &picture) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] | 0xff000000) == Transparent)
                line[x] = 0;
    }
    return out;
}

namespace {
// What makes one face differ from another. Each trait cycles with its own
// period, so no two of the 85 agree on all.
struct Traits {
    QColor skin, hair, shirt;
    int hairStyle, eyes, mouth;
    bool glasses, cheeks;

    explicit Traits(int k)
        : skin(skins[k % 6]), hair(hairs[(k / 2) % 7]), shirt(shirts[(k / 3) % 5]),
          hairStyle((k / 5) % 4), eyes((k / 7) % 3), mouth((k / 4) % 4),
          glasses((k % 11) == 3 || (k % 13) == 7), cheeks((k % 3) == 1) {}
};

const QColor Ink(40, 30, 30);

void drawHair(QPainter &p, const Traits &t) {
    p.setBrush(t.hair);
    switch (t.hairStyle) {
    case 0: // short cap
        p.drawChord(QRectF(6, 4, 20, 14), 0, 180 * 16);
        break;
    case 1: { // side parting
        QPainterPath path;
        path.moveTo(6, 14);
        path.cubicTo(5, 2, 27, 2, 26, 14);
        path.lineTo(22, 9);
        path.lineTo(9, 11);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case 2: // long hair around the face
        p.drawChord(QRectF(5, 3, 22, 16), 0, 180 * 16);
        p.drawRect(QRectF(5, 11, 3, 12));
        p.drawRect(QRectF(24, 11, 3, 12));
        break;
    default: // spiky
        for (int i = 0; i < 5; ++i) {
            const QPointF tri[] = {{7.0 + i * 4, 11}, {9.0 + i * 4, 2}, {11.0 + i * 4, 11}};
            p.drawPolygon(tri, 3);
        }
        break;
    }
}

void drawEyes(QPainter &p, const Traits &t) {
    p.setBrush(Ink);
    switch (t.eyes) {
    case 0:
        p.drawEllipse(QRectF(11, 14, 3, 3));
        p.drawEllipse(QRectF(18, 14, 3, 3));
        break;
    case 1:
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(10, 13, 5, 5));
        p.drawEllipse(QRectF(17, 13, 5, 5));
        p.setBrush(Ink);
        p.drawEllipse(QRectF(12, 14.5, 2, 2));
        p.drawEllipse(QRectF(19, 14.5, 2, 2));
        break;
    default: { // happy closed eyes
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Ink, 1.3));
        p.drawArc(QRectF(10, 14, 5, 4), 0, 180 * 16);
        p.drawArc(QRectF(17, 14, 5, 4), 0, 180 * 16);
        p.setPen(Qt::NoPen);
        break;
    }
    }
}

void drawGlassesAndCheeks(QPainter &p, const Traits &t) {
    if (t.glasses) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(30, 30, 60), 1.2));
        p.drawEllipse(QRectF(9.5, 12.5, 6, 6));
        p.drawEllipse(QRectF(16.5, 12.5, 6, 6));
        p.drawLine(QPointF(15.5, 15.5), QPointF(16.5, 15.5));
        p.setPen(Qt::NoPen);
    }
    if (t.cheeks) {
        p.setBrush(QColor(255, 130, 130, 150));
        p.drawEllipse(QRectF(8.5, 18, 3.5, 2.5));
        p.drawEllipse(QRectF(20, 18, 3.5, 2.5));
    }
}

void drawMouth(QPainter &p, const Traits &t) {
    p.setPen(QPen(QColor(150, 40, 40), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    switch (t.mouth) {
    case 0: // smile
        p.drawArc(QRectF(12, 16, 8, 6), 200 * 16, 140 * 16);
        break;
    case 1: // open laugh
        p.setBrush(QColor(150, 40, 40));
        p.drawChord(QRectF(12, 18, 8, 6), 180 * 16, 180 * 16);
        break;
    case 2: // small o
        p.drawEllipse(QRectF(14.5, 20, 3, 3));
        break;
    default: // grin
        p.drawLine(QPointF(12.5, 21.5), QPointF(19.5, 21.5));
        break;
    }
}
} // namespace

QImage face(int n, int scale) {
    scale = std::clamp(scale, 1, 8);
    QImage img(Size * scale, Size * scale, QImage::Format_RGB32);
    img.fill(Transparent);
    if (n < 1 || n > Count)
        return img;
    const Traits traits(n - 1);

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);
    p.setBrush(traits.shirt);
    p.drawEllipse(QRectF(5, 25, 22, 14));
    p.setBrush(traits.skin);
    p.drawEllipse(QRectF(7, 6, 18, 20));
    drawHair(p, traits);
    drawEyes(p, traits);
    drawGlassesAndCheeks(p, traits);
    drawMouth(p, traits);
    p.end();
    return img;
}

} // namespace FaceArt

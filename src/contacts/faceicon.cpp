// SPDX-License-Identifier: GPL-3.0-or-later
#include "contacts/faceicon.h"

#include "contacts/faceart.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

namespace {
class FaceIconEngine : public QIconEngine {
public:
    explicit FaceIconEngine(int n) : m_n(n) {}
    QIconEngine *clone() const override { return new FaceIconEngine(m_n); }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, picture(rect.size() * ratio));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode, QIcon::State, qreal scale) override {
        QPixmap pm = picture(size * scale);
        pm.setDevicePixelRatio(scale);
        return pm;
    }

private:
    QPixmap picture(const QSize &pixels) {
        const int factor = std::max(
            1, (std::max(pixels.width(), pixels.height()) + FaceArt::Size - 1) / FaceArt::Size);
        if (m_cache.isNull() || m_cacheFactor != factor) {
            m_cache = QPixmap::fromImage(FaceArt::seeThrough(FaceArt::face(m_n, factor)));
            m_cacheFactor = factor;
        }
        return m_cache;
    }

    int m_n;
    QPixmap m_cache;
    int m_cacheFactor = 0;
};
} // namespace

QIcon faceIcon(int n) {
    return QIcon(new FaceIconEngine(n));
}

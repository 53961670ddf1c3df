// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/artwork.h"

#include <QApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmapCache>
#include <QResource>
#include <QStyle>
#include <QStyleOption>

Q_LOGGING_CATEGORY(lcArtwork, "quillary.artwork", QtWarningMsg)

namespace Artwork {

namespace {

// The pixels of a picture the first window shows, decoded by the build as a
// pixmap holds them: width and height, then the lines. Null for any other.
QImage decodedAhead(const QString &name, int side) {
    const QResource raw(QStringLiteral(":/art/%1-%2.argb32").arg(name).arg(side));
    constexpr qsizetype Header = 2 * sizeof(quint32);
    if (!raw.isValid() || raw.compressionAlgorithm() != QResource::NoCompression ||
        raw.size() < Header)
        return {};
    quint32 width = 0, height = 0;
    memcpy(&width, raw.data(), sizeof width);
    memcpy(&height, raw.data() + sizeof width, sizeof height);
    const qsizetype line = qsizetype(width) * qsizetype(sizeof(quint32));
    if (width == 0 || height == 0 || width > 1024 || height > 1024 ||
        raw.size() != Header + line * height)
        return {};
    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        memcpy(image.scanLine(y), raw.data() + Header + y * line, size_t(line));
    return image;
}

// Draws a picture from the copy the build rendered at that size, as the
// vector icon would have drawn it, and from the SVG at any other size. The
// vector reader is a library and a plugin: a start that shows only
// rendered sizes never loads them.
class Engine : public QIconEngine {
public:
    explicit Engine(const QString &name) : m_name(name) {}

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        const QString key = QStringLiteral("quillary-art-%1-%2x%3-%4-%5")
                                .arg(m_name)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(int(mode))
                                .arg(int(state));
        QPixmap pm;
        if (QPixmapCache::find(key, &pm))
            return pm;
        if (!load(pm, size)) {
            qCDebug(lcArtwork) << "drawn from its vector form:" << m_name << size;
            return vector().pixmap(size, 1.0, mode, state);
        }
        if (mode != QIcon::Normal && qobject_cast<QApplication *>(QCoreApplication::instance())) {
            QStyleOption option(0);
            option.palette = QGuiApplication::palette();
            const QPixmap generated = QApplication::style()->generatedIconPixmap(mode, pm, &option);
            if (!generated.isNull())
                pm = generated;
        }
        QPixmapCache::insert(key, pm);
        return pm;
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return pixmap(size, mode, state).size();
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode,
               QIcon::State state) override {
        QSize size = rect.size();
        if (painter->device())
            size *= painter->device()->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(size, mode, state));
    }
    QIconEngine *clone() const override { return new Engine(m_name); }
    QString key() const override { return QStringLiteral("quillary-artwork"); }

private:
    // The copy drawn into a square of the larger side is the one a vector
    // icon draws here if it fills the size one way and fits the other.
    bool load(QPixmap &pm, const QSize &size) const {
        const int side = qMax(size.width(), size.height());
        QImage image = decodedAhead(m_name, side);
        if (image.isNull()) {
            // Told it is PNG, the reader asks no image plugin whose file it
            // is, which would load them all, vector reader included.
            QImageReader reader(QStringLiteral(":/art/%1-%2.png").arg(m_name).arg(side), "png");
            reader.setAutoDetectImageFormat(false);
            image = reader.read();
        }
        if (image.isNull())
            return false;
        pm = QPixmap::fromImage(image);
        const QSize got = pm.size();
        return got.width() <= size.width() && got.height() <= size.height() &&
               (got.width() == size.width() || got.height() == size.height());
    }
    const QIcon &vector() {
        if (m_vector.isNull())
            m_vector = QIcon(QStringLiteral(":/icons/") + m_name + QStringLiteral(".svg"));
        return m_vector;
    }

    QString m_name;
    QIcon m_vector;
};

} // namespace

QIcon icon(const QString &name) {
    return QIcon(new Engine(name));
}

// The callers ask for a picture's own shape, which fitting keeps.
QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio) {
    QPixmap pm = icon(name).pixmap(size * devicePixelRatio, 1.0);
    pm.setDevicePixelRatio(devicePixelRatio);
    return pm;
}

} // namespace Artwork

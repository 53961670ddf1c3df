// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/artwork.h"

#include <QPainter>
#include <QSvgRenderer>

namespace Artwork {

static QString resource(const QString &name) {
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

QIcon icon(const QString &name) {
    return QIcon(resource(name));
}

QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio) {
    QPixmap pm(size * devicePixelRatio);
    pm.fill(Qt::transparent);
    QSvgRenderer renderer(resource(name));
    if (renderer.isValid()) {
        QPainter painter(&pm);
        renderer.render(&painter);
    }
    pm.setDevicePixelRatio(devicePixelRatio);
    return pm;
}

} // namespace Artwork

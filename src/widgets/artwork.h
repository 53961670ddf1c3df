// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, compiled in as SVG so they stay sharp at any scale,
// and drawn ahead at the sizes the first window shows.
namespace Artwork {
QIcon icon(const QString &name);
// Rendered for the given logical size at the device pixel ratio.
QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio = 1.0);
} // namespace Artwork

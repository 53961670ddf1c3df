// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>

class QFont;
class QPainter;

// The splash window's picture. The build draws it ahead (tools/makesplash)
// into the program's resources, so a start shows it without loading a font;
// where that picture does not fit the screen, the window draws it itself.
namespace SplashPicture {
constexpr QSize Size(420, 260);
void draw(QPainter &p, const QFont &base);
// The picture drawn ahead for a screen of this pixel ratio, or a null image.
QImage drawnAhead(qreal pixelRatio);
} // namespace SplashPicture

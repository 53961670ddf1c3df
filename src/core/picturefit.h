// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QSizeF>
#include <optional>

// Where a picture of natural size (w2, h2) shows inside a display box of
// (w1, h1): scaled by min(w1/w2, h1/h2) and centred, computed in single
// precision as the display box does. Empty for a picture without area.
std::optional<QRectF> fitPicture(float w1, float h1, float w2, float h2);

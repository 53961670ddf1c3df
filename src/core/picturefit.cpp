// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/picturefit.h"

std::optional<QRectF> fitPicture(float w1, float h1, float w2, float h2) {
    if (!(w2 > 0) || !(h2 > 0) || !(w1 > 0) || !(h1 > 0))
        return std::nullopt;
    float width, height;
    if (w2 > w1 || h2 > h1) { // larger in one dimension: shrink
        const float rw = w2 / w1, rh = h2 / h1;
        const float f = rw > rh ? rw : rh;
        width = w2 / f;
        height = h2 / f;
    } else { // grow
        const float sw = w1 / w2, sh = h1 / h2;
        const float g = sw > sh ? sh : sw;
        width = w2 * g;
        height = h2 * g;
    }
    const float top = (h1 - height) / 2;
    const float left = (w1 - width) / 2;
    return QRectF(left, top, width, height);
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The fitted view always lies inside the display box and keeps proportions.
#include "core/picturefit.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 16)
        return 0;
    float v[4];
    std::memcpy(v, data, 16);
    const auto fit = fitPicture(v[0], v[1], v[2], v[3]);
    if (!fit)
        return 0;
    const bool finite =
        std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]) && std::isfinite(v[3]);
    if (finite && v[0] < 1e6f && v[1] < 1e6f && v[2] < 1e6f && v[3] < 1e6f && v[2] > 1e-3f &&
        v[3] > 1e-3f) {
        const double slack = 1e-2 * (v[0] + v[1]) + 1e-3;
        if (fit->width() > v[0] + slack || fit->height() > v[1] + slack || fit->left() < -slack ||
            fit->top() < -slack)
            abort();
    }
    return 0;
}

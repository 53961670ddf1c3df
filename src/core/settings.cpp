// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

int Settings::songNumber(const QString &text) {
    for (int n = 1; n <= 10; ++n)
        if (text == QString::number(n))
            return n;
    return 0;
}

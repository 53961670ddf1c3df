// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/daykey.h"

QString dayKey(int year, int month, int day) {
    return QStringLiteral("%1%2%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A table or column name as SQL reads it: double quotes around it, and any
// inside it doubled, so a name from a foreign file cannot end the statement.
inline QString quoted(const QString &identifier) {
    QString s = identifier;
    s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/journalmonth.h"

#include "core/daykey.h"
#include "core/records.h"
#include "core/statement.h"

#include <QDate>

quint32 journalDaysInMonth(sqlite3 *db, int year, int month) {
    const int days = QDate(year, month, 1).daysInMonth();
    if (!db || days <= 0)
        return 0;
    Statement q(db, QByteArray("SELECT 1 FROM ") + JournalEntry::Table + " WHERE " +
                        JournalEntry::DayField + " = ? LIMIT 1");
    quint32 found = 0;
    for (int day = 1; day <= days && q.isValid(); ++day) {
        q.reset();
        q.bind(1, dayKey(year, month, day).toUtf8());
        if (q.step())
            found |= 1u << day;
    }
    return found;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

struct sqlite3;

// The days of one month that have at least one journal entry, as bits
// (1 << day), found by one look in the index of day keys per day: the cost
// stays the same however many entries the journal holds. A day counts when
// an entry's key is that day's key exactly, as a click on the day finds it.
quint32 journalDaysInMonth(sqlite3 *db, int year, int month);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/keylist.h"

#include <QString>
#include <optional>
#include <vector>

struct sqlite3;

// The name that reaches a table's row identity: rowid, oid or _rowid_,
// whichever no declared column shadows. Empty when all three are taken or
// the table has no row identity (WITHOUT ROWID): its rows cannot be told
// apart safely, and the program leaves such a table alone.
QString rowIdentity(sqlite3 *db, const QString &table);

// The row keys of a table in stored (rowid) order, read through SQLite itself:
// through a full index when the table has one, since the table's own pages
// hold every text. Empty optional when the table cannot be read.
std::optional<KeyRuns> readRowKeys(sqlite3 *db, const QString &table);

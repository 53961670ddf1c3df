#pragma once

#include <QString>
#include <optional>
#include <vector>

struct sqlite3;

// The row keys of a table in stored (rowid) order, read through SQLite itself:
// through a full index when the table has one, since the table's own pages
// hold every text. Empty optional when the table cannot be read.
std::optional<std::vector<qint64>> readRowKeys(sqlite3 *db, const QString &table);

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/rowkeys.h"

#include "core/sqlname.h"
#include "core/statement.h"

#include <QStringList>
#include <algorithm>
#include <sqlite3.h>

namespace {
bool select(sqlite3 *db, const QByteArray &sql, KeyRuns &keys) {
    KeyRuns::Builder found;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
        return false;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        found.add(sqlite3_column_int64(stmt, 0));
    sqlite3_finalize(stmt);
    keys = found.finish();
    return Damage::note(db, rc) == SQLITE_DONE;
}
} // namespace

QString rowIdentity(sqlite3 *db, const QString &table) {
    if (!db)
        return {};
    const QByteArray name = quoted(table).toUtf8();
    QStringList declared;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray info = "PRAGMA table_info(" + name + ")";
    if (sqlite3_prepare_v2(db, info.constData(), int(info.size()), &stmt, nullptr) != SQLITE_OK)
        return {};
    // Columns: cid, name, type, notnull, dflt_value, pk.
    while (sqlite3_step(stmt) == SQLITE_ROW)
        declared << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1)));
    sqlite3_finalize(stmt);
    for (const char *alias : {"rowid", "oid", "_rowid_"}) {
        if (declared.contains(QLatin1String(alias), Qt::CaseInsensitive))
            continue;
        const QByteArray probe = QByteArray("SELECT ") + alias + " FROM " + name + " LIMIT 0";
        const bool exists = sqlite3_prepare_v2(db, probe.constData(), int(probe.size()), &stmt,
                                               nullptr) == SQLITE_OK;
        sqlite3_finalize(stmt);
        return exists ? QString::fromLatin1(alias) : QString();
    }
    return {};
}

std::optional<KeyRuns> readRowKeys(sqlite3 *db, const QString &table) {
    if (!db)
        return std::nullopt;
    const QByteArray id = rowIdentity(db, table).toLatin1();
    if (id.isEmpty())
        return std::nullopt;
    const QByteArray name = quoted(table).toUtf8();
    QByteArray index;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray list = "PRAGMA index_list(" + name + ")";
    if (sqlite3_prepare_v2(db, list.constData(), int(list.size()), &stmt, nullptr) == SQLITE_OK) {
        // Columns: seq, name, unique, origin, partial.
        while (index.isEmpty() && sqlite3_step(stmt) == SQLITE_ROW)
            if (sqlite3_column_int(stmt, 4) == 0) {
                const auto *named = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1));
                index = quoted(QString::fromUtf8(named)).toUtf8();
            }
        sqlite3_finalize(stmt);
    }
    // An index gives the keys in its own order; the builder puts them in
    // rowid order, which is cheaper than asking SQLite to sort.
    KeyRuns keys;
    if (!(!index.isEmpty() &&
          select(db, "SELECT " + id + " FROM " + name + " INDEXED BY " + index, keys)) &&
        !select(db, "SELECT " + id + " FROM " + name, keys))
        return std::nullopt;
    return keys;
}

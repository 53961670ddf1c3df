#include "core/storeshape.h"

#include <sqlite3.h>

namespace {

QString text(sqlite3_stmt *stmt, int column) {
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(stmt, column));
}

// Runs one read and hands each row to take; false when it could not run.
template <typename Take> bool eachRow(sqlite3 *db, const QString &sql, Take take) {
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        take(stmt);
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

bool containsAll(const QStringList &have, const QStringList &wanted) {
    for (const QString &w : wanted)
        if (!have.contains(w, Qt::CaseInsensitive))
            return false;
    return true;
}

} // namespace

StoreShape StoreShape::read(sqlite3 *db) {
    StoreShape shape;
    if (!db)
        return shape;
    eachRow(db, QStringLiteral("PRAGMA application_id"),
            [&](sqlite3_stmt *s) { shape.applicationId = sqlite3_column_int(s, 0); });
    eachRow(db, QStringLiteral("PRAGMA user_version"),
            [&](sqlite3_stmt *s) { shape.userVersion = sqlite3_column_int(s, 0); });
    // Asking for the mode does not change it.
    eachRow(db, QStringLiteral("PRAGMA journal_mode"), [&](sqlite3_stmt *s) {
        shape.writeAhead = text(s, 0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    });
    QStringList tableNames;
    eachRow(db, QStringLiteral("SELECT type, name FROM sqlite_master"), [&](sqlite3_stmt *s) {
        const QString type = text(s, 0), name = text(s, 1).toLower();
        if (name.startsWith(QLatin1String("sqlite_")))
            return;
        if (type == QLatin1String("table"))
            tableNames << name;
        else if (type == QLatin1String("index"))
            shape.indexes << name;
        else if (type == QLatin1String("trigger"))
            shape.triggers << name;
    });
    for (const QString &name : tableNames) {
        QStringList &columns = shape.tables[name];
        QString quotedName = name;
        quotedName.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        eachRow(db, QStringLiteral("PRAGMA table_xinfo(\"%1\")").arg(quotedName),
                [&](sqlite3_stmt *s) { columns << text(s, 1); });
    }
    return shape;
}

bool StoreShape::isOurs(const std::map<QString, QStringList> &ourTables) const {
    if (applicationId == OurApplicationId)
        return true;
    if (applicationId != 0)
        return false;
    for (const auto &[name, columns] : tables) {
        const auto ours = ourTables.find(name);
        if (ours == ourTables.end() || !containsAll(ours->second, columns))
            return false;
    }
    return true;
}

bool StoreShape::needsUpgrade(const std::map<QString, QStringList> &ourTables,
                              const QStringList &ourIndexes, const QStringList &ourTriggers,
                              int schemaVersion) const {
    if (applicationId != OurApplicationId || !writeAhead)
        return true;
    if (userVersion > schemaVersion)
        return false; // a newer program's: used as it is
    if (userVersion < schemaVersion || !containsAll(indexes, ourIndexes) ||
        !containsAll(triggers, ourTriggers))
        return true;
    for (const auto &[name, columns] : ourTables) {
        const auto present = tables.find(name);
        if (present == tables.end() || !containsAll(present->second, columns))
            return true;
    }
    return false;
}

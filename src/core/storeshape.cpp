// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storeshape.h"

#include "core/sqlname.h"
#include "core/statement.h"

namespace {

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
    if (Statement q(db, "PRAGMA application_id"); q.step())
        shape.applicationId = qint32(q.integer(0));
    if (Statement q(db, "PRAGMA user_version"); q.step())
        shape.userVersion = int(q.integer(0));
    // Asking for the mode does not change it.
    if (Statement q(db, "PRAGMA journal_mode"); q.step())
        shape.writeAhead = q.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    QStringList tableNames;
    for (Statement q(db, "SELECT type, name FROM sqlite_master"); q.step();) {
        const QString type = q.text(0), name = q.text(1).toLower();
        if (name.startsWith(QLatin1String("sqlite_")))
            continue;
        if (type == QLatin1String("table"))
            tableNames << name;
        else if (type == QLatin1String("index"))
            shape.indexes << name;
        else if (type == QLatin1String("trigger"))
            shape.triggers << name;
    }
    for (const QString &name : tableNames) {
        QStringList &columns = shape.tables[name];
        for (Statement q(db, QStringLiteral("PRAGMA table_xinfo(%1)").arg(quoted(name)).toUtf8());
             q.step();)
            columns << q.text(1);
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/notebookmerge.h"

#include "core/rowkeys.h"
#include "core/sqlname.h"
#include "core/statement.h"
#include "core/store.h"
#include "core/storeshape.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace {

Result failure(const QString &why) {
    return Result::failure(Result::Code::Failed, why);
}

std::map<QString, QStringList> ourTables() {
    std::map<QString, QStringList> tables;
    for (const QString &table : Store::tables())
        tables[table] = Store::fields(table);
    return tables;
}

// What of a table the other file holds: its columns as ours name them
// (NULL for one it lacks), and the name that orders its rows.
struct Source {
    QString table;
    QStringList columns; // s."field" or NULL, in our field order
    QString identity;
};

std::vector<Source> sourcesOf(sqlite3 *db, const StoreShape &shape) {
    std::vector<Source> sources;
    for (const QString &table : Store::tables()) {
        const auto found = shape.tables.find(table);
        if (found == shape.tables.end())
            continue;
        Source source{table, {}, rowIdentity(db, table)};
        for (const QString &field : Store::fields(table))
            source.columns << (found->second.contains(field, Qt::CaseInsensitive)
                                   ? QStringLiteral("s.") + quoted(field)
                                   : QStringLiteral("NULL"));
        sources.push_back(source);
    }
    return sources;
}

// Reads the other file's shape; refuses what is not a notebook.
Result readSources(const QString &path, std::vector<Source> *sources) {
    sqlite3 *db = Snapshots::openForReading(path);
    const StoreShape shape = StoreShape::read(db);
    const bool ours = db && shape.isOurs(ourTables());
    if (ours)
        *sources = sourcesOf(db, shape);
    sqlite3_close(db);
    if (!ours)
        return failure(QStringLiteral("这个文件不是日记本，没有从中合并任何内容：\n%1").arg(path));
    return {};
}

QByteArray uriFor(const QString &path, const char *query) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toUtf8() + '?' + query;
}

// The notebook for writing, with the other file beside it as "other".
sqlite3 *openBoth(const QString &notebook, const QString &other) {
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(uriFor(notebook, "mode=rw").constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    // Finalised before the connection may have to close.
    if (!Statement(db, "ATTACH DATABASE ? AS other").bind(1, uriFor(other, "mode=ro")).run()) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

qint64 *countFor(NotebookCounts &counts, const QString &table) {
    if (table == QLatin1String(JournalEntry::Table))
        return &counts.entries;
    if (table == QLatin1String(Contact::Table))
        return &counts.contacts;
    return &counts.photos;
}

// Rows of other not yet in main with every field the same (NULL alike),
// in other's order.
bool addMissing(sqlite3 *db, const Source &source, qint64 *added) {
    const QStringList fields = Store::fields(source.table);
    QStringList quotedFields, same;
    for (int i = 0; i < fields.size(); ++i) {
        quotedFields << quoted(fields[i]);
        same << QStringLiteral("d.%1 IS %2").arg(quoted(fields[i]), source.columns[i]);
    }
    const QString table = quoted(source.table);
    QString sql =
        QStringLiteral("INSERT INTO main.%1 (%2) SELECT %3 FROM other.%1 AS s "
                       "WHERE NOT EXISTS (SELECT 1 FROM main.%1 AS d WHERE %4)")
            .arg(table, quotedFields.join(QLatin1Char(',')), source.columns.join(QLatin1Char(',')),
                 same.join(QStringLiteral(" AND ")));
    if (!source.identity.isEmpty())
        sql += QStringLiteral(" ORDER BY s.") + source.identity;
    if (!Statement(db, sql.toUtf8()).run())
        return false;
    *added = sqlite3_changes64(db);
    return true;
}

// Collects into main every row of damaged.table with a key in [low, high]
// that can be read. A range whose walk fails is split in two after the last
// key it reached, down to single keys, so a damaged page costs only the rows
// on it.
void copyReadable(sqlite3 *db, const Source &source, qint64 low, qint64 high, qint64 *saved) {
    const QString table = quoted(source.table), id = source.identity;
    QStringList fields;
    for (const QString &field : Store::fields(source.table))
        fields << quoted(field);
    Statement walk(db, QStringLiteral("SELECT %1 FROM damaged.%2 WHERE %1 BETWEEN ? AND ? "
                                      "ORDER BY %1")
                           .arg(id, table)
                           .toUtf8());
    Statement copy(db, QStringLiteral("INSERT INTO main.%1 (rowid, %2) SELECT s.%3, %4 FROM "
                                      "damaged.%1 AS s WHERE s.%3 = ?")
                           .arg(table, fields.join(QLatin1Char(',')), id,
                                source.columns.join(QLatin1Char(',')))
                           .toUtf8());
    if (!walk.isValid() || !copy.isValid())
        return;
    qint64 next = low;
    walk.bind(1, low).bind(2, high);
    while (walk.step()) {
        const qint64 key = walk.integer(0);
        copy.reset();
        if (copy.bind(1, key).run())
            ++*saved;
        next = key + 1;
    }
    if (walk.done() || next > high || (next == low && low == high))
        return;
    const qint64 middle = next + (high - next) / 2;
    copyReadable(db, source, next, middle, saved);
    copyReadable(db, source, middle + 1, high, saved);
}

} // namespace

namespace NotebookMerge {

Outcome merge(const QString &notebook, const QString &other) {
    Outcome out{{}, {0, 0, 0}};
    std::vector<Source> sources;
    if (!QFileInfo(other).isFile())
        out.result = failure(QStringLiteral("找不到这个文件：%1").arg(other));
    else
        out.result = readSources(other, &sources);
    if (!out.result ||
        QFileInfo(other).canonicalFilePath() == QFileInfo(notebook).canonicalFilePath())
        return out;
    sqlite3 *db = openBoth(notebook, other);
    bool ok = db && sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const Source &source : sources)
        ok = ok && addMissing(db, source, countFor(out.rows, source.table));
    if (ok)
        ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        const QString why = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        if (db)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        out = {failure(QStringLiteral("合并没有完成，日记本没有改变：%1").arg(why)), {0, 0, 0}};
    }
    sqlite3_close(db);
    return out;
}

Outcome salvage(const QString &damaged, const QString &into) {
    Outcome out{{}, {0, 0, 0}};
    sqlite3 *reader = Snapshots::openForReading(damaged);
    const std::vector<Source> sources =
        reader ? sourcesOf(reader, StoreShape::read(reader)) : std::vector<Source>();
    sqlite3_close(reader);
    if (!reader || QFileInfo::exists(into))
        return {failure(QStringLiteral("无法从这个文件抢救：%1").arg(damaged)), {}};
    {
        Store fresh;
        if (fresh.open(into) != Store::State::Open || fresh.isReadOnly())
            return {failure(QStringLiteral("新的日记本无法创建：%1").arg(into)), {}};
    }
    QFile::remove(into + QStringLiteral("-checked"));
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(into).constData(), &db,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
    bool ok =
        Statement(db, "ATTACH DATABASE ? AS damaged").bind(1, uriFor(damaged, "mode=ro")).run() &&
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const Source &source : sources)
        if (ok && !source.identity.isEmpty())
            copyReadable(db, source, -(qint64(1) << 61), qint64(1) << 62,
                         countFor(out.rows, source.table));
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (!ok) {
        QFile::remove(into);
        return {failure(QStringLiteral("抢救没有完成：%1").arg(damaged)), {}};
    }
    return out;
}

} // namespace NotebookMerge

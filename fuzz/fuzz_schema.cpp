// SPDX-License-Identifier: GPL-3.0-or-later
// Record-set steps on tables whose schemas come from the input: odd column
// names (rowid and its aliases among them), missing or extra columns, tables
// without a row identity. Every step returns, and no step reaches a row it
// did not mean to: a delete removes at most one row.
#include "core/recordset.h"
#include "core/store.h"

#include "sql.h"
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {
QTemporaryDir *folder = nullptr;

int count(Store &store, const QString &table) {
    SqlQuery q(store.nativeHandle());
    return q.exec(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)) && q.next()
               ? q.value(0).toInt()
               : -1;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    static QCoreApplication app(*argc, *argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const QString path = folder->filePath(QStringLiteral("work.db"));
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    // First byte: the table; then column names separated by commas, each
    // possibly a row identity alias; a trailing '!' makes it WITHOUT ROWID.
    static const char *const tables[] = {"diary", "address", "photo"};
    const QString table = QString::fromLatin1(tables[data[0] % 3]);
    QString layout =
        QString::fromLatin1(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const bool withoutRowid = layout.endsWith(QLatin1Char('!'));
    QStringList columns;
    for (QString c : layout.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        c.remove(QLatin1Char('"')).remove(QLatin1Char('!'));
        if (!c.trimmed().isEmpty() && columns.size() < 16)
            columns << QLatin1Char('"') + c.trimmed() + QLatin1Char('"');
    }
    if (columns.isEmpty())
        return 0;
    {
        Store maker;
        if (maker.open(path) != Store::State::Open)
            return 0;
        SqlQuery q(maker.nativeHandle());
        q.exec(QStringLiteral("DROP TABLE %1").arg(table));
        const QString key =
            withoutRowid ? QStringLiteral(", PRIMARY KEY(%1)").arg(columns.first()) : QString();
        if (!q.exec(QStringLiteral("CREATE TABLE %1 (%2%3)%4")
                        .arg(table, columns.join(QLatin1Char(',')), key,
                             withoutRowid ? QStringLiteral(" WITHOUT ROWID") : QString())))
            return 0;
        for (int i = 0; i < 4; ++i)
            q.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(table, columns.first())
                       .arg(i));
    }
    Store store;
    if (store.open(path) != Store::State::Open)
        return 0;
    RecordSet records(&store, table);
    if (!records.open())
        return 0;
    const int before = count(store, table);
    (void)records.moveFirst();
    (void)records.moveNext();
    for (const QString &field : records.fieldNames()) {
        records.text(field);
        (void)records.setField(field, QStringLiteral("x"));
    }
    (void)records.update();
    if (records.deleteCurrent() && count(store, table) < before - 1)
        abort(); // one delete reached more than one row
    (void)records.append({{records.fieldNames().first(), QStringLiteral("y")}});
    return 0;
}

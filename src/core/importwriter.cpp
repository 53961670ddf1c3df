// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/importwriter.h"

#include "core/journalindex.h"
#include "core/records.h"
#include "core/recordset.h"
#include "core/sqlname.h"
#include "core/statement.h"
#include "core/store.h"

#include <QElapsedTimer>
#include <QSet>
#include <QVariant>
#include <algorithm>
#include <sqlite3.h>

namespace {

// Two independent hashes of every field: a false match of both is beyond
// any journal's size, and the stored texts need not be held in memory.
using RowHash = std::pair<size_t, size_t>;

RowHash hashOf(const QStringList &values) {
    size_t a = 0x243F6A88, b = 0x85A308D3;
    for (const QString &v : values) {
        a = qHashMulti(a, v.size(), v);
        b = qHashMulti(b ^ 0x9E3779B9, v, v.size());
    }
    return {a, b};
}

Result sqlFailure(sqlite3 *db) {
    return Result::failure(Result::Code::Failed, QString::fromUtf8(sqlite3_errmsg(db)));
}

} // namespace

std::vector<bool> ImportWriter::storedAlready(sqlite3 *db, const QString &table,
                                              const std::vector<Row> &rows) {
    const QStringList fields = Store::fields(table);
    QStringList columns;
    for (const QString &f : fields)
        columns << QStringLiteral("ifnull(%1, '')").arg(quoted(f));
    Statement q(db, QStringLiteral("SELECT %1 FROM %2")
                        .arg(columns.join(QLatin1Char(',')), quoted(table))
                        .toUtf8());
    QSet<RowHash> stored;
    QStringList values;
    while (q.step()) {
        values.clear();
        for (int i = 0; i < fields.size(); ++i)
            values << q.text(i);
        stored.insert(hashOf(values));
    }
    std::vector<bool> found(rows.size(), false);
    for (size_t i = 0; i < rows.size() && !stored.isEmpty(); ++i)
        found[i] = stored.contains(hashOf(rows[i]));
    return found;
}

ImportWriter::ImportWriter(Store *store, const QString &table, std::vector<Row> rows)
    : m_store(store), m_table(table), m_fields(Store::fields(table)), m_rows(std::move(rows)) {}

ImportWriter::~ImportWriter() {
    if (m_autoCheckpoint >= 0)
        sqlite3_wal_autocheckpoint(m_store->nativeHandle(), m_autoCheckpoint);
}

Result ImportWriter::start() {
    if (!m_store || !m_store->isOpen())
        return Result::failure(Result::Code::Unavailable, QStringLiteral("no store"));
    if (!m_store->readyToWrite())
        return Result::failure(Result::Code::ReadOnly, QStringLiteral("the store is read-only"));
    m_records = std::make_unique<RecordSet>(m_store, m_table);
    if (Result opened = m_records->open(); !opened)
        return opened;
    Statement pages(m_store->nativeHandle(), "PRAGMA wal_autocheckpoint");
    if (pages.step()) {
        m_autoCheckpoint = int(pages.integer(0));
        sqlite3_wal_autocheckpoint(m_store->nativeHandle(), 0);
    }
    return {};
}

Result ImportWriter::writeSome(int budgetMs) {
    if (!m_records)
        return Result::failure(Result::Code::Unavailable, QStringLiteral("not started"));
    QElapsedTimer clock;
    clock.start();
    sqlite3 *db = m_store->nativeHandle();
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return sqlFailure(db);
    const bool journal = m_table == QLatin1String(JournalEntry::Table);
    const JournalIndex::State index = journal ? JournalIndex::state(db) : JournalIndex::State();
    const qsizetype last = std::min(total(), m_written + MostRows);
    qsizetype next = m_written;
    qint64 firstKey = -1;
    Result result;
    while (next < last && result) {
        // The first row alone, so the key the transaction began with is known.
        const qsizetype count = std::min(last - next, firstKey < 0 ? 1 : RowsBetweenLooks);
        result =
            m_records->appendRows(m_fields, std::span(m_rows).subspan(size_t(next), size_t(count)));
        if (firstKey < 0)
            firstKey = m_records->currentKey();
        next += count;
        if (clock.elapsed() >= budgetMs)
            break;
    }
    // Should the index refuse, the rows are still kept and it is built again.
    if (result && journal)
        skipFailure(JournalIndex::leaveToBuild(db, index, firstKey, m_records->currentKey()),
                    "handing imported entries to the search index");
    if (result && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        // Let go as they are written: a large import is not freed all at once
        // at its end, holding the window.
        std::fill(m_rows.begin() + m_written, m_rows.begin() + next, Row());
        m_written = next;
        return {};
    }
    if (result)
        result = sqlFailure(db);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    // The record set counted rows that are not there now.
    skipFailure(m_records->open(), "rereading a table after a refused import");
    return result;
}

Result ImportWriter::writeAll() {
    while (!finished())
        if (Result r = writeSome(1000); !r)
            return r;
    return {};
}

QString writeFailure(const Result &why) {
    switch (why.code()) {
    case Result::Code::ReadOnly:
        return QStringLiteral("日记本以只读方式打开，不能写入。");
    case Result::Code::Unavailable:
        return QStringLiteral("日记本文件无法读取。");
    default:
        return QStringLiteral("写入日记本时出错（%1）。").arg(why.message());
    }
}

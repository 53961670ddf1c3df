// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/importwriter.h"

#include "core/journalindex.h"
#include "core/records.h"
#include "core/sqlname.h"
#include "core/statement.h"
#include "core/store.h"

#include <QElapsedTimer>
#include <QSet>
#include <QUrl>
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
    m_insert.reset(); // before the connection it was made on
    sqlite3_close(m_db);
}

Result ImportWriter::refused() const {
    if (!m_store || !m_store->isOpen())
        return Result::failure(Result::Code::Unavailable, QStringLiteral("no store"));
    if (!m_store->readyToWrite())
        return Result::failure(Result::Code::ReadOnly, QStringLiteral("the store is read-only"));
    if (m_fields.isEmpty())
        return Result::failure(Result::Code::Failed, QStringLiteral("no such table"));
    return {};
}

// What SQLite said; or, once the store was found damaged (by this
// connection or another), that it is left as it is: this connection copies
// nothing more into the file, not even as it closes.
Result ImportWriter::failed() {
    if (m_store->refusal() != Store::Refusal::Damaged)
        return sqlFailure(m_db);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    execute(m_db, "PRAGMA wal_autocheckpoint=0");
    return Result::failure(Result::Code::ReadOnly,
                           QStringLiteral("the store is damaged and kept as it is"));
}

Result ImportWriter::start() {
    if (Result why = refused(); !why)
        return why;
    const QByteArray uri = QUrl::fromLocalFile(m_store->path()).toEncoded() + "?mode=rw";
    // No mutex of SQLite's own: one thread at a time, as with any connection here.
    if (sqlite3_open_v2(uri.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const Result failed = sqlFailure(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        return failed;
    }
    sqlite3_busy_timeout(m_db, Store::WriteWaitMs);
    m_indexHold = m_store->holdIndexBuild();
    // A commit waits for the disk only at the end (see writeSome): a row
    // lost to a power cut halfway through is brought in by importing again,
    // which skips what is there. The log is copied into the file every
    // LogPages pages by this connection, so it stays a few times that.
    execute(m_db, "PRAGMA synchronous=NORMAL");
    Store::keepLogShort(m_db);
    execute(m_db, QByteArray("PRAGMA wal_autocheckpoint=") + QByteArray::number(LogPages));
    QStringList columns, marks;
    for (const QString &field : m_fields) {
        columns << quoted(field);
        marks << QStringLiteral("?");
    }
    m_insert =
        std::make_unique<Statement>(m_db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                              .arg(quoted(m_table), columns.join(QLatin1Char(',')),
                                                   marks.join(QLatin1Char(','))));
    return m_insert->isValid() ? Result() : sqlFailure(m_db);
}

Result ImportWriter::writeSome(int budgetMs) {
    if (!m_db)
        return Result::failure(Result::Code::Unavailable, QStringLiteral("not started"));
    QElapsedTimer clock;
    clock.start();
    if (m_store->refusal() == Store::Refusal::Damaged || !execute(m_db, "BEGIN IMMEDIATE"))
        return failed();
    const bool journal = m_table == QLatin1String(JournalEntry::Table);
    const JournalIndex::State index = journal ? JournalIndex::state(m_db) : JournalIndex::State();
    Statement &insert = *m_insert;
    const qsizetype last = std::min(total(), m_written + MostRows);
    qsizetype next = m_written;
    qint64 firstKey = -1;
    bool ok = true;
    while (next < last && ok) {
        insert.reset();
        const Row &row = m_rows[size_t(next)];
        for (int i = 0; i < m_fields.size(); ++i)
            insert.bind(i + 1, QVariant(row.value(i)));
        if (!(ok = insert.run()))
            break;
        if (firstKey < 0)
            firstKey = sqlite3_last_insert_rowid(m_db);
        ++next;
        if ((next - m_written) % RowsBetweenLooks == 0 && clock.elapsed() >= budgetMs)
            break;
    }
    // Should the index refuse, the rows are still kept and it is built again.
    if (ok && journal && next > m_written)
        skipFailure(
            JournalIndex::leaveToBuild(m_db, index, firstKey, sqlite3_last_insert_rowid(m_db)),
            "handing imported entries to the search index");
    if (ok && execute(m_db, "COMMIT")) {
        // Let go as they are written: a large import is not freed all at once
        // at its end.
        std::fill(m_rows.begin() + m_written, m_rows.begin() + next, Row());
        m_written = next;
        // Everything on the disk before the import says it is done.
        if (finished()) {
            Damage::note(m_db, sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE,
                                                         nullptr, nullptr));
            m_indexHold.reset();
        }
        return {};
    }
    const Result failure = failed();
    execute(m_db, "ROLLBACK");
    return failure;
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

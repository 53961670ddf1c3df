// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class Statement;
class Store;
struct sqlite3;

// Rows brought into a table from a file, in transactions of a bounded size:
// a kill leaves whole rows only, and a save elsewhere never waits long. The
// writer has a connection of its own, so it may run on a worker thread while
// the window goes on; it copies the log into the file as it goes, which
// keeps the log small however large the import. It stops once the store is
// found damaged, by any connection, and leaves the file as it is.
class ImportWriter {
public:
    using Row = QStringList; // values in Store::fields(table) order
    template <typename Record> static Row rowOf(const Record &record) {
        const auto values = record.toRow();
        Row row;
        for (const QString &field : Record::fields())
            row << values.value(field).toString();
        return row;
    }

    // Which rows are stored already, identical in every field (a missing
    // value counts as empty). db may be any connection to the store.
    static std::vector<bool> storedAlready(sqlite3 *db, const QString &table,
                                           const std::vector<Row> &rows);

    // Each row is let go once it is written.
    ImportWriter(Store *store, const QString &table, std::vector<Row> rows);
    ~ImportWriter();
    ImportWriter(const ImportWriter &) = delete;
    ImportWriter &operator=(const ImportWriter &) = delete;

    // Refuses a store that may not be written; then opens the writer's
    // connection. From here on it may be used on any one thread at a time.
    Result start();
    // One transaction: up to MostRows rows, fewer when budgetMs has passed.
    // Refuses once the store was found damaged.
    Result writeSome(int budgetMs);
    // One transaction after another until all are in.
    Result writeAll();

    bool finished() const { return m_written == qsizetype(m_rows.size()); }
    qsizetype written() const { return m_written; }
    qsizetype total() const { return qsizetype(m_rows.size()); }

    static constexpr int MostRows = 1000;
    static constexpr int LogPages = 8000; // 32 MB
    // Rows written between two looks at the clock.
    static constexpr qsizetype RowsBetweenLooks = 50;

private:
    Result refused() const;
    Result failed();

    Store *m_store;
    QString m_table;
    QStringList m_fields;
    std::vector<Row> m_rows;
    qsizetype m_written = 0;
    sqlite3 *m_db = nullptr;
    std::unique_ptr<Statement> m_insert; // on m_db, for every transaction
    std::shared_ptr<void> m_indexHold;   // till the last row is in
};

// A failed write in words for the person who asked for it.
QString writeFailure(const Result &why);

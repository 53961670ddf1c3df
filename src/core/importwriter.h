// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class RecordSet;
class Store;
struct sqlite3;

// Rows brought into a table from a file. They go in through a record set of
// the table, as a typed row does (so the journal's search index follows
// them), in transactions of a bounded size: a kill leaves whole rows only,
// and the window's event loop is never held for long.
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

    // Refuses a store that may not be written. Until the writer goes, the
    // store's connection leaves copying the log into the file (a checkpoint,
    // which would hold a window's thread for long) to someone else.
    Result start();
    // One transaction: up to MostRows rows, fewer when budgetMs has passed.
    Result writeSome(int budgetMs);
    // One transaction after another until all are in.
    Result writeAll();

    bool finished() const { return m_written == qsizetype(m_rows.size()); }
    qsizetype written() const { return m_written; }
    qsizetype total() const { return qsizetype(m_rows.size()); }

    static constexpr int MostRows = 1000;
    // Rows written between two looks at the clock.
    static constexpr qsizetype RowsBetweenLooks = 50;

private:
    Store *m_store;
    QString m_table;
    QStringList m_fields;
    std::vector<Row> m_rows;
    qsizetype m_written = 0;
    std::unique_ptr<RecordSet> m_records;
    int m_autoCheckpoint = -1; // the connection's own, given back at the end
};

// A failed write in words for the person who asked for it.
QString writeFailure(const Result &why);

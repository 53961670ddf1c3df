// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/keylist.h"
#include "core/result.h"

class Store;

// A cursor over one table in stored (rowid) order, with the semantics the
// panels rely on: begin/end markers, a current row, pending field changes
// that are written by update() or when the row is left, append and delete.
// Only row keys are held in memory; the current row's fields are read on
// demand, so a table of any size opens at once.
class RecordSet : public QObject {
    Q_OBJECT
public:
    RecordSet(Store *store, const QString &table, QObject *parent = nullptr);

    // Reads the row keys. A closed store or missing table gives an empty set
    // on which every operation fails.
    Result open();
    bool isOpen() const { return m_open; }
    QString table() const { return m_table; }
    Store *store() const { return m_store; }
    QStringList fieldNames() const { return m_fields; }

    bool bof() const;
    bool eof() const;
    bool hasCurrent() const; // a stored or a new row is current
    bool isNewRow() const { return m_state == State::New; }
    int recordCount() const { return int(m_keys.size()); }
    int absolutePosition() const; // 1-based; 0 when there is no current stored row
    qint64 currentKey() const;    // rowid of the current stored row, or -1

    // Each fails where a cursor operation cannot be done; the
    // cursor is then where it was. Leaving a row writes what is pending.
    Result moveFirst();
    Result moveLast();
    Result moveNext();
    Result movePrevious();
    Result moveToKey(qint64 rowid);
    Result addNew();
    Result update();
    Result deleteCurrent();
    // Appends a row with these fields; a row that cannot be written is
    // abandoned and the cursor rests at the end.
    Result append(const QHash<QString, QVariant> &fields);
    // Many rows appended as append() would write each, through one prepared
    // statement: each row holds the texts of names, in that order (a null
    // text is stored as NULL). The cursor rests on the last row written and
    // currentChanged is told once. The first row refused ends it; the rows
    // before it stay.
    Result appendRows(const QStringList &names, std::span<const QStringList> rows);
    // append(), written on a worker thread through a connection of its own,
    // which waits up to Store::WriteWaitMs for a store another program holds,
    // while this thread's events go on. waiting is called if it is not over
    // within WaitingAfterMs. Refused while another such write is under way.
    Result appendAside(const QHash<QString, QVariant> &fields,
                       const std::function<void()> &waiting = {});
    // The same with the values of these fields made on the worker, in their
    // order: a long text is put together, converted and let go there.
    Result appendAside(const QStringList &names, std::function<QVariantList()> values,
                       const std::function<void()> &waiting = {});
    static constexpr int WaitingAfterMs = 300;
    // A row holding more than this, or given as much, is changed or deleted
    // as appendAside() writes, the caller waiting as for any write: freeing
    // its pages, which SQLite overwrites, would stop this thread's events.
    static constexpr qint64 AsideBytes = 1 << 20;
    bool isWriting() const { return m_writing; }
    // Drops the pending changes; an appended row that was never written is
    // abandoned and the cursor rests at the end.
    void cancelUpdate();

    QVariant field(const QString &name) const; // pending value first
    QString text(const QString &name) const { return field(name).toString(); }
    Result setField(const QString &name, const QVariant &value);
    // Every field of the current row, pending values first; empty without one.
    QHash<QString, QVariant> currentRow() const;
    template <typename Record> Record current() const { return Record::fromRow(currentRow()); }
    bool hasPending() const { return !m_pending.isEmpty(); }
    bool hasPending(const QString &name) const { return m_pending.contains(name); }
    // The current row's value as stored, pending changes aside.
    QVariant storedValue(const QString &name) const { return storedRow().value(name); }

    // The first row in stored order whose field equals value, through an index.
    qint64 findFirst(const QString &fieldName, const QVariant &value) const;
    // The first row in stored order whose field begins with prefix.
    qint64 findFirstWithPrefix(const QString &fieldName, const QString &prefix) const;

    // Row keys in stored order, as they are now.
    std::shared_ptr<const KeyRuns> keys() const { return m_keys.snapshot(); }

Q_SIGNALS:
    // The current row changed (moved, appended, deleted or refreshed).
    void currentChanged();

private:
    enum class State { Bof, Row, Eof, New, Deleted };

    Result leaveRow();
    // update() for a new row and for changes to a stored one.
    Result insertPending();
    Result updatePending();
    // The statement and the values its marks take, in order.
    struct Write {
        QString sql;
        QVariantList values;
    };
    Write insertStatement() const;
    Write updateStatement(qint64 key) const;
    // Runs it inside the store's write of row key (-1: a new one); the row
    // it wrote, or nothing with why in error. gone: asked to change one row,
    // it found none.
    std::optional<qint64> run(const Write &write, qint64 key, QString &error, bool *gone = nullptr);
    qint64 rowBytes(qint64 key) const;
    static qint64 textChars(const QVariantList &values);
    Result rowAppended(qint64 rowid);
    // Rows written by appendRows() up to and including last; reread: their
    // keys did not all follow the ones held.
    Result rowsAppended(qint64 last, bool reread);
    Result failed(const QString &error, const char *doing) const;
    // The current row as stored, read when first asked for: moving past a
    // row of millions of characters costs nothing.
    const QHash<QString, QVariant> &storedRow() const;
    void forgetStoredRow();
    void setState(State s, qsizetype pos);
    bool validField(const QString &name) const;
    // A failure naming the first of names the table lacks.
    Result knownFields(const QStringList &names) const;
    QString insertSql(const QStringList &names) const;

    Store *m_store;
    QString m_table;
    QString m_id; // rowid, or the alias of it no column shadows
    QStringList m_fields;
    bool m_open = false;
    KeyList m_keys;
    qsizetype m_pos = -1;
    State m_state = State::Bof;
    mutable QHash<QString, QVariant> m_row;
    mutable bool m_rowRead = false;
    QHash<QString, QVariant> m_pending;
    bool m_writing = false;
};

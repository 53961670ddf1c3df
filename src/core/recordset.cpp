// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/recordset.h"

#include "core/rowkeys.h"
#include "core/sqlname.h"
#include "core/statement.h"
#include "core/store.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <thread>

using Code = Result::Code;

namespace {
Result noRow() {
    return Result::failure(Code::NoRow, QStringLiteral("no current row"));
}
Result notOpen() {
    return Result::failure(Code::Unavailable, QStringLiteral("the table is not open"));
}
Result refused(const Store &store) {
    return Result::failure(Code::ReadOnly,
                           store.refusal() == Store::Refusal::Damaged
                               ? QStringLiteral("the store is damaged and kept as it is")
                               : QStringLiteral("the store is read-only"));
}

// Runs write on a worker thread while this thread's events go on; writing
// is set meanwhile.
Store::Written waitAside(std::function<Store::Written()> write, QObject *context, bool &writing,
                         const std::function<void()> &waiting,
                         QEventLoop::ProcessEventsFlags events = QEventLoop::AllEvents) {
    Store::Written outcome;
    QEventLoop loop;
    QTimer slow;
    slow.setSingleShot(true);
    if (waiting)
        QObject::connect(&slow, &QTimer::timeout, context, waiting);
    slow.start(RecordSet::WaitingAfterMs);
    writing = true;
    std::thread worker([&] {
        outcome = write();
        write = nullptr; // what it held goes here, not on the window's thread
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(events);
    worker.join();
    writing = false;
    return outcome;
}

} // namespace

RecordSet::RecordSet(Store *store, const QString &table, QObject *parent)
    : QObject(parent), m_store(store), m_table(table), m_fields(Store::fields(table)) {}

Result RecordSet::failed(const QString &error, const char *doing) const {
    const QString message =
        QStringLiteral("%1 in %2: %3")
            .arg(QLatin1String(doing), m_table, error.isEmpty() ? m_store->lastError() : error);
    qCInfo(lcStore).noquote() << message;
    return Result::failure(m_store->isReadOnly() ? Code::ReadOnly : Code::Failed, message);
}

Result RecordSet::open() {
    m_open = false;
    m_keys.clear();
    forgetStoredRow();
    m_pending.clear();
    m_state = State::Bof;
    m_pos = -1;
    if (!m_store || !m_store->isOpen())
        return Result::failure(Code::Unavailable, QStringLiteral("no store"));
    // Rows are addressed by an identity no column can shadow; a table with
    // none is left alone rather than risk one statement reaching every row.
    m_id = m_store->rowIdentity(m_table);
    if (m_id.isEmpty())
        return Result::failure(Code::Unavailable,
                               QStringLiteral("%1 has no row identity to address").arg(m_table));
    std::optional<KeyRuns> keys = m_store->takePrefetchedKeys(m_table);
    if (!keys)
        keys = readRowKeys(m_store->nativeHandle(), m_table);
    if (!keys)
        return Result::failure(Code::Failed, QStringLiteral("cannot read the table ") + m_table);
    m_keys = KeyList(std::move(*keys));
    m_open = true;
    if (!m_keys.empty()) {
        m_pos = 0;
        m_state = State::Row;
        forgetStoredRow();
    }
    return {};
}

bool RecordSet::bof() const {
    return m_keys.empty() ? m_state != State::New : m_state == State::Bof;
}
bool RecordSet::eof() const {
    return m_keys.empty() ? m_state != State::New : m_state == State::Eof;
}
bool RecordSet::hasCurrent() const {
    return m_state == State::Row || m_state == State::New;
}

int RecordSet::absolutePosition() const {
    return m_state == State::Row ? int(m_pos) + 1 : 0;
}

qint64 RecordSet::currentKey() const {
    return m_state == State::Row ? m_keys[m_pos] : -1;
}

void RecordSet::setState(State s, qsizetype pos) {
    m_state = s;
    m_pos = pos;
    m_pending.clear();
    forgetStoredRow();
    Q_EMIT currentChanged();
}

const QHash<QString, QVariant> &RecordSet::storedRow() const {
    if (m_rowRead || m_state != State::Row)
        return m_row;
    m_rowRead = true;
    Statement q(m_store->nativeHandle(),
                QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(quoted(m_table), m_id));
    if (!q.bind(1, m_keys[m_pos]).step())
        return m_row;
    for (int i = 0; i < q.columnCount(); ++i)
        m_row.insert(q.columnName(i), q.value(i));
    return m_row;
}

void RecordSet::forgetStoredRow() {
    m_row.clear();
    m_rowRead = false;
}

// Writes what is pending before the cursor moves on; a row that cannot be
// written keeps the cursor where it is, so nothing typed is silently lost.
Result RecordSet::leaveRow() {
    if (m_state == State::New || (m_state == State::Row && !m_pending.isEmpty()))
        return update();
    return {};
}

Result RecordSet::moveFirst() {
    if (!m_open)
        return notOpen();
    if (Result left = leaveRow(); !left)
        return left;
    if (m_keys.empty())
        setState(State::Bof, -1);
    else
        setState(State::Row, 0);
    return {};
}

Result RecordSet::moveLast() {
    if (!m_open)
        return notOpen();
    if (Result left = leaveRow(); !left)
        return left;
    if (m_keys.empty())
        setState(State::Eof, 0);
    else
        setState(State::Row, qsizetype(m_keys.size()) - 1);
    return {};
}

Result RecordSet::moveNext() {
    if (!m_open)
        return notOpen();
    if (m_state == State::Eof || (m_keys.empty() && m_state != State::New))
        return Result::failure(Code::NoRow, QStringLiteral("already past the last row"));
    if (Result left = leaveRow(); !left)
        return left;
    // After a delete the cursor already rests on the row that followed.
    const qsizetype next = m_state == State::Deleted ? m_pos : m_pos + 1;
    if (next >= qsizetype(m_keys.size()))
        setState(State::Eof, qsizetype(m_keys.size()));
    else
        setState(State::Row, next);
    return {};
}

Result RecordSet::movePrevious() {
    if (!m_open)
        return notOpen();
    if (m_state == State::Bof || (m_keys.empty() && m_state != State::New))
        return Result::failure(Code::NoRow, QStringLiteral("already before the first row"));
    if (Result left = leaveRow(); !left)
        return left;
    const qsizetype prev = m_pos - 1;
    if (prev < 0)
        setState(State::Bof, -1);
    else
        setState(State::Row, std::min(prev, qsizetype(m_keys.size()) - 1));
    return {};
}

Result RecordSet::moveToKey(qint64 rowid) {
    if (!m_open)
        return notOpen();
    const size_t at = m_keys.lowerBound(rowid);
    if (at == m_keys.size() || m_keys[at] != rowid)
        return Result::failure(Code::NoRow, QStringLiteral("no row %1").arg(rowid));
    if (Result left = leaveRow(); !left)
        return left;
    setState(State::Row, qsizetype(at));
    return {};
}

Result RecordSet::addNew() {
    if (!m_open)
        return notOpen();
    if (Result left = leaveRow(); !left)
        return left;
    setState(State::New, qsizetype(m_keys.size()));
    return {};
}

Result RecordSet::update() {
    const bool writes = m_state == State::New || (m_state == State::Row && !m_pending.isEmpty());
    if (writes && !m_store->readyToWrite())
        return refused(*m_store);
    if (m_state == State::New)
        return insertPending();
    if (m_state != State::Row)
        return noRow();
    if (m_pending.isEmpty())
        return {};
    return updatePending();
}

QString RecordSet::insertSql(const QStringList &names) const {
    if (names.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_table));
    QStringList columns, marks;
    for (const QString &name : names) {
        columns << quoted(name);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoted(m_table), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

Result RecordSet::knownFields(const QStringList &names) const {
    for (const QString &name : names)
        if (!validField(name))
            return Result::failure(Code::NoField,
                                   QStringLiteral("%1 has no field %2").arg(m_table, name));
    return {};
}

RecordSet::Write RecordSet::insertStatement() const {
    // A hash gives its keys and its values in the same order.
    return {insertSql(m_pending.keys()), m_pending.values()};
}

std::optional<qint64> RecordSet::run(const Write &write, qint64 key, QString &error, bool *gone) {
    if (key >= 0 && (rowBytes(key) > AsideBytes || textChars(write.values) * 3 > AsideBytes)) {
        // Awaited as a write on this thread would be, user input waiting too.
        const Store::Written w = waitAside(m_store->changer(m_table, key, write.sql, write.values),
                                           this, m_writing, {}, QEventLoop::ExcludeUserInputEvents);
        error = w.error;
        if (gone)
            *gone = w.code == SQLITE_NOTFOUND;
        return w.key;
    }
    sqlite3 *db = m_store->nativeHandle();
    std::optional<qint64> written;
    const bool ok = m_store->writeRow(m_table, key, [&]() -> std::optional<qint64> {
        Statement q(db, write.sql);
        for (int i = 0; i < write.values.size(); ++i)
            q.bind(i + 1, write.values[i]);
        if (!q.run()) {
            error = q.error();
            return std::nullopt;
        }
        if (gone && (*gone = sqlite3_changes(db) != 1))
            return std::nullopt;
        return written = key >= 0 ? key : sqlite3_last_insert_rowid(db);
    });
    return ok ? written : std::nullopt;
}

Result RecordSet::insertPending() {
    QString error;
    const std::optional<qint64> rowid = run(insertStatement(), -1, error);
    if (!rowid)
        return failed(error, "appending a row");
    return rowAppended(*rowid);
}

Result RecordSet::rowAppended(qint64 rowid) {
    // Rowids only grow while rows are appended, so the key list stays sorted.
    if (!m_keys.empty() && rowid <= m_keys.back()) {
        if (Result reread = open(); !reread)
            return reread;
        return moveToKey(rowid);
    }
    m_keys.push_back(rowid);
    m_pending.clear();
    m_state = State::Row;
    m_pos = qsizetype(m_keys.size()) - 1;
    forgetStoredRow();
    Q_EMIT currentChanged(); // bound boxes now show the stored row
    return {};
}

RecordSet::Write RecordSet::updateStatement(qint64 key) const {
    QStringList sets;
    Write w;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        sets << quoted(it.key()) + QStringLiteral(" = ?");
        w.values << it.value();
    }
    w.sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                .arg(quoted(m_table), sets.join(QLatin1Char(',')), m_id);
    w.values << key;
    return w;
}

Result RecordSet::updatePending() {
    const qint64 key = m_keys[size_t(m_pos)];
    QString error;
    bool gone = false;
    if (!run(updateStatement(key), key, error, &gone)) {
        if (gone)
            return Result::failure(Code::NoRow,
                                   QStringLiteral("row %1 of %2 is gone").arg(key).arg(m_table));
        return failed(error, "updating a row");
    }
    m_pending.clear();
    forgetStoredRow();
    return {};
}

Result RecordSet::deleteCurrent() {
    if (m_state == State::New) {
        // Deleting a row that was never written just abandons it.
        m_state = State::Deleted;
        m_pos = qsizetype(m_keys.size());
        m_pending.clear();
        forgetStoredRow();
        Q_EMIT currentChanged();
        return {};
    }
    if (m_state != State::Row)
        return noRow();
    if (!m_store->readyToWrite())
        return refused(*m_store);
    const qint64 key = m_keys[size_t(m_pos)];
    QString error;
    if (!run({QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(quoted(m_table), m_id), {key}}, key,
             error))
        return failed(error, "deleting a row");
    m_pos = qsizetype(m_keys.snapshot()->lowerBound(key));
    m_keys.erase(m_pos);
    m_state = State::Deleted;
    m_pending.clear();
    forgetStoredRow();
    Q_EMIT currentChanged();
    return {};
}

Result RecordSet::append(const QHash<QString, QVariant> &fields) {
    if (Result added = addNew(); !added)
        return added;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        if (Result set = setField(it.key(), it.value()); !set) {
            cancelUpdate();
            return set;
        }
    Result written = update();
    if (!written)
        cancelUpdate();
    return written;
}

Result RecordSet::appendRows(const QStringList &names, std::span<const QStringList> rows) {
    if (!m_open)
        return notOpen();
    if (Result known = knownFields(names); !known)
        return known;
    if (Result left = leaveRow(); !left)
        return left;
    if (rows.empty())
        return {};
    if (!m_store->readyToWrite())
        return refused(*m_store);
    sqlite3 *db = m_store->nativeHandle();
    Statement q(db, insertSql(names));
    QString error;
    qint64 last = -1;
    bool reread = false, stopped = false;
    for (const QStringList &row : rows) {
        const bool written = m_store->writeRow(m_table, -1, [&]() -> std::optional<qint64> {
            q.reset();
            for (int i = 0; i < names.size(); ++i)
                q.bind(i + 1, QVariant(row.value(i)));
            if (!q.run()) {
                error = q.error();
                return std::nullopt;
            }
            return sqlite3_last_insert_rowid(db);
        });
        if ((stopped = !written))
            break;
        last = sqlite3_last_insert_rowid(db);
        reread = reread || (!m_keys.empty() && last <= m_keys.back());
        if (!reread)
            m_keys.push_back(last);
    }
    const Result kept = rowsAppended(last, reread);
    return stopped && kept ? failed(error, "appending a row") : kept;
}

Result RecordSet::rowsAppended(qint64 last, bool reread) {
    if (reread) {
        if (Result again = open(); !again)
            return again;
        return last >= 0 ? moveToKey(last) : moveLast();
    }
    if (last < 0)
        setState(State::Eof, qsizetype(m_keys.size()));
    else
        setState(State::Row, qsizetype(m_keys.size()) - 1);
    return {};
}

Result RecordSet::appendAside(const QHash<QString, QVariant> &fields,
                              const std::function<void()> &waiting) {
    return appendAside(
        fields.keys(), [values = fields.values()] { return values; }, waiting);
}

Result RecordSet::appendAside(const QStringList &names, std::function<QVariantList()> values,
                              const std::function<void()> &waiting) {
    if (!m_open)
        return notOpen();
    if (m_writing)
        return Result::failure(Code::Failed, QStringLiteral("a row is still being written"));
    if (Result known = knownFields(names); !known)
        return known;
    if (Result left = leaveRow(); !left)
        return left;
    if (!m_store->readyToWrite())
        return refused(*m_store);
    const Store::Written outcome = waitAside(
        m_store->appender(m_table, insertSql(names), std::move(values)), this, m_writing, waiting);
    if (outcome.key)
        return rowAppended(*outcome.key);
    const QString message = QStringLiteral("appending a row in %1: %2").arg(m_table, outcome.error);
    qCInfo(lcStore).noquote() << message;
    const bool busy = outcome.code == SQLITE_BUSY || outcome.code == SQLITE_LOCKED;
    return Result::failure(busy                    ? Code::Busy
                           : m_store->isReadOnly() ? Code::ReadOnly
                                                   : Code::Failed,
                           message);
}

// The bytes the row's fields hold, read without them.
qint64 RecordSet::rowBytes(qint64 key) const {
    qint64 bytes = 0;
    for (const QString &name : m_fields) {
        sqlite3_blob *blob = nullptr;
        if (sqlite3_blob_open(m_store->nativeHandle(), "main", m_table.toUtf8().constData(),
                              name.toUtf8().constData(), key, 0, &blob) == SQLITE_OK)
            bytes += sqlite3_blob_bytes(blob);
        sqlite3_blob_close(blob);
    }
    return bytes;
}

qint64 RecordSet::textChars(const QVariantList &values) {
    qint64 chars = 0;
    for (const QVariant &value : values)
        if (value.metaType().id() == QMetaType::QString)
            chars += value.toString().size();
    return chars;
}

void RecordSet::cancelUpdate() {
    if (m_state == State::New) {
        setState(State::Eof, qsizetype(m_keys.size()));
        return;
    }
    if (!m_pending.isEmpty()) {
        m_pending.clear();
        Q_EMIT currentChanged();
    }
}

bool RecordSet::validField(const QString &name) const {
    return m_fields.contains(name);
}

QVariant RecordSet::field(const QString &name) const {
    if (!hasCurrent() || !validField(name))
        return {};
    const auto p = m_pending.constFind(name);
    if (p != m_pending.cend())
        return *p;
    return storedRow().value(name);
}

Result RecordSet::setField(const QString &name, const QVariant &value) {
    if (!hasCurrent())
        return noRow();
    if (Result known = knownFields({name}); !known)
        return known;
    m_pending.insert(name, value);
    return {};
}

QHash<QString, QVariant> RecordSet::currentRow() const {
    QHash<QString, QVariant> row;
    if (hasCurrent())
        for (const QString &name : m_fields)
            row.insert(name, field(name));
    return row;
}

qint64 RecordSet::findFirst(const QString &fieldName, const QVariant &value) const {
    if (!m_open || !validField(fieldName))
        return -1;
    Statement q(m_store->nativeHandle(),
                QStringLiteral("SELECT %3 FROM %1 WHERE %2 = ? ORDER BY %3 LIMIT 1")
                    .arg(quoted(m_table), quoted(fieldName), m_id));
    return q.bind(1, value).step() ? q.integer(0) : -1;
}

qint64 RecordSet::findFirstWithPrefix(const QString &fieldName, const QString &prefix) const {
    if (!m_open || !validField(fieldName) || prefix.isEmpty())
        return -1;
    const QChar last = prefix.back();
    if (last.unicode() < 0x7f) {
        // [prefix, prefix with its last character raised) holds exactly the
        // values that begin with prefix, and the index can walk that range.
        QString upper = prefix;
        upper.back() = QChar(last.unicode() + 1);
        Statement q(m_store->nativeHandle(), QStringLiteral("SELECT %3 FROM %1 WHERE %2 >= ? AND "
                                                            "%2 < ? ORDER BY %3 LIMIT 1")
                                                 .arg(quoted(m_table), quoted(fieldName), m_id));
        return q.bind(1, prefix.toUtf8()).bind(2, upper.toUtf8()).step() ? q.integer(0) : -1;
    }
    Statement q(m_store->nativeHandle(),
                QStringLiteral("SELECT %3 FROM %1 WHERE substr(%2, 1, ?) = ? ORDER BY %3 LIMIT 1")
                    .arg(quoted(m_table), quoted(fieldName), m_id));
    return q.bind(1, qint64(prefix.size())).bind(2, prefix.toUtf8()).step() ? q.integer(0) : -1;
}

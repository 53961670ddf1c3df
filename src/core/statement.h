// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <sqlite3.h>

// Where SQLite says a file's pages are damaged, whichever connection and
// thread found it, the one that watches that file hears of it at once.
namespace Damage {
// found runs on the thread that met the damage, once per watch. Only one
// watcher per file: a later watch of the same file replaces the earlier.
void watch(const void *owner, sqlite3 *db, std::function<void()> found);
void unwatch(const void *owner);
// Passes rc through; tells the watcher of db's file when rc says damaged.
int note(sqlite3 *db, int rc);
} // namespace Damage

// One statement outside a prepared one (BEGIN, COMMIT, a PRAGMA); true when
// SQLite ran it.
bool execute(sqlite3 *db, const char *sql);
inline bool execute(sqlite3 *db, const QByteArray &sql) {
    return execute(db, sql.constData());
}

// One prepared statement on SQLite's own connection. Finalised when it goes.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql) : m_db(db) {
        if (db)
            m_rc = Damage::note(db, sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr));
    }
    Statement(sqlite3 *db, const QByteArray &sql) : Statement(db, sql.constData()) {}
    Statement(sqlite3 *db, const QString &sql) : Statement(db, sql.toUtf8()) {}
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    Statement &bind(int at, qint64 value) {
        sqlite3_bind_int64(m_stmt, at, value);
        return *this;
    }
    Statement &bind(int at, const QByteArray &utf8) {
        sqlite3_bind_text(m_stmt, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // As a field value: a null one (or a null string) is NULL, bytes a
    // blob, numbers numbers, and anything else its text.
    Statement &bind(int at, const QVariant &value);
    // True while it yields a row.
    bool step() {
        if (!m_stmt)
            return false;
        m_rc = Damage::note(m_db, sqlite3_step(m_stmt));
        return m_rc == SQLITE_ROW;
    }
    // Runs it to the end; true when it finished without an error.
    bool run() {
        while (step()) {
        }
        return m_rc == SQLITE_DONE;
    }
    bool done() const { return m_rc == SQLITE_DONE; }
    // SQLite's primary result code of the last step (or of preparing).
    int code() const { return m_rc & 0xff; }
    // What SQLite said of the last failure, while nothing else ran since.
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }
    void reset() {
        if (!m_stmt)
            return; // clearing the bindings of nothing would crash
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    // Text as stored, NULs inside it kept.
    QString text(int column) const {
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, column));
    }
    QByteArray bytes(int column) const {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
        return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
    }
    // As its stored type: a whole number, a real, text, bytes, or a null string.
    QVariant value(int column) const;
    int columnCount() const { return sqlite3_column_count(m_stmt); }
    QString columnName(int column) const {
        return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
    }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_ERROR;
};

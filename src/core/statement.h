// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <sqlite3.h>

// One prepared statement on SQLite's own connection, for work done on
// worker threads, where Qt's connections cannot go. Finalised when it goes.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql) {
        if (db)
            m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    Statement(sqlite3 *db, const QByteArray &sql) : Statement(db, sql.constData()) {}
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
    // True while it yields a row.
    bool step() {
        if (!m_stmt)
            return false;
        m_rc = sqlite3_step(m_stmt);
        return m_rc == SQLITE_ROW;
    }
    // Runs it to the end; true when it finished without an error.
    bool run() {
        while (step()) {
        }
        return m_rc == SQLITE_DONE;
    }
    bool done() const { return m_rc == SQLITE_DONE; }
    void reset() {
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

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_ERROR;
};

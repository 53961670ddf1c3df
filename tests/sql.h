// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What tests set up and read back behind the program's back: statements on
// the store's own connection, or on a file opened as another program would.

#include "core/statement.h"

#include <QString>
#include <QVariantList>
#include <memory>

class SqlQuery {
public:
    explicit SqlQuery(sqlite3 *db) : m_db(db) {}

    bool prepare(const QString &sql) {
        m_stmt.reset();
        m_sql = sql;
        m_values.clear();
        m_bound = 0;
        return true;
    }
    // After each run the values are given again from the first mark on.
    void addBindValue(const QVariant &value) { bindValue(m_bound++, value); }
    void bindValue(int at, const QVariant &value) {
        while (m_values.size() <= at)
            m_values << QVariant();
        m_values[at] = value;
    }
    void setForwardOnly(bool) {}
    // Runs it up to its first row, as a row to take with next().
    bool exec() {
        m_stmt.reset();
        m_stmt = std::make_unique<Statement>(m_db, m_sql);
        for (int i = 0; i < m_values.size(); ++i)
            m_stmt->bind(i + 1, m_values[i]);
        m_bound = 0;
        m_firstRow = m_stmt->step();
        return m_firstRow || m_stmt->done();
    }
    bool exec(const QString &sql) {
        prepare(sql);
        return exec();
    }
    bool next() {
        if (!m_stmt)
            return false;
        return std::exchange(m_firstRow, false) || m_stmt->step();
    }
    QVariant value(int column) const { return m_stmt ? m_stmt->value(column) : QVariant(); }
    QString lastError() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }

private:
    sqlite3 *m_db;
    QString m_sql;
    QVariantList m_values;
    int m_bound = 0;
    std::unique_ptr<Statement> m_stmt;
    bool m_firstRow = false;
};

// A database file opened by name, as another program opens it.
class SqlFile {
public:
    explicit SqlFile(const QString &path) : m_path(path) {}
    ~SqlFile() { close(); }
    SqlFile(const SqlFile &) = delete;
    SqlFile &operator=(const SqlFile &) = delete;

    bool open() {
        close();
        if (sqlite3_open_v2(m_path.toUtf8().constData(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            return false;
        sqlite3_busy_timeout(m_db, 1000);
        return true;
    }
    void close() {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    operator sqlite3 *() const { return m_db; }

private:
    QString m_path;
    sqlite3 *m_db = nullptr;
};

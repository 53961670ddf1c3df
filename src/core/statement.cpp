// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/statement.h"

bool execute(sqlite3 *db, const char *sql) {
    return db && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement &Statement::bind(int at, const QVariant &value) {
    const bool nullString = value.typeId() == QMetaType::QString && value.toString().isNull();
    const bool nullBytes = value.typeId() == QMetaType::QByteArray && value.toByteArray().isNull();
    if (value.isNull() || nullString || nullBytes) {
        sqlite3_bind_null(m_stmt, at);
        return *this;
    }
    switch (value.typeId()) {
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(m_stmt, at, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        sqlite3_bind_int64(m_stmt, at, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(m_stmt, at, value.toDouble());
        break;
    default:
        bind(at, value.toString().toUtf8());
    }
    return *this;
}

QVariant Statement::value(int column) const {
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return integer(column);
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, column);
    case SQLITE_BLOB:
        return bytes(column);
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default:
        return text(column);
    }
}

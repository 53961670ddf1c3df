// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/statement.h"

#include <map>
#include <mutex>

namespace {

struct Watch {
    const void *owner;
    std::function<void()> found;
};

std::mutex watchesLock;
// By the file's full name, so every connection to it, on any thread, finds it.
std::map<QByteArray, Watch> &watches() {
    static std::map<QByteArray, Watch> byFile;
    return byFile;
}

QByteArray fileOf(sqlite3 *db) {
    const char *name = db ? sqlite3_db_filename(db, "main") : nullptr;
    return name ? QByteArray(name) : QByteArray();
}

} // namespace

namespace Damage {

void watch(const void *owner, sqlite3 *db, std::function<void()> found) {
    const QByteArray file = fileOf(db);
    if (file.isEmpty())
        return;
    const std::lock_guard lock(watchesLock);
    watches()[file] = {owner, std::move(found)};
}

void unwatch(const void *owner) {
    const std::lock_guard lock(watchesLock);
    std::erase_if(watches(), [owner](const auto &entry) { return entry.second.owner == owner; });
}

int note(sqlite3 *db, int rc) {
    if ((rc & 0xff) != SQLITE_CORRUPT && (rc & 0xff) != SQLITE_NOTADB)
        return rc;
    std::function<void()> found;
    {
        const std::lock_guard lock(watchesLock);
        const auto it = watches().find(fileOf(db));
        if (it == watches().end())
            return rc;
        found = std::move(it->second.found);
        watches().erase(it);
    }
    if (found)
        found();
    return rc;
}

} // namespace Damage

bool execute(sqlite3 *db, const char *sql) {
    return db && Damage::note(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) == SQLITE_OK;
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

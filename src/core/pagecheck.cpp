// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/pagecheck.h"

#include "core/statement.h"

#include <sqlite3.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

std::mutex pacingLock;

PageCheck::Pacing &pacing() {
    static PageCheck::Pacing p;
    return p;
}

PageCheck::Pacing currentPacing() {
    const std::lock_guard<std::mutex> hold(pacingLock);
    return pacing();
}

// The schema's own table first: its step also reads the list of free pages.
// Empty when the list could not be read.
QStringList tablesOf(sqlite3 *db) {
    QStringList names{QStringLiteral("sqlite_master")};
    Statement q(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND rootpage > 0 "
                    "ORDER BY rowid");
    while (q.step())
        names << q.text(0);
    return q.done() ? names : QStringList();
}

bool mayGoOn(const QString &table) {
    const auto beforeTable = currentPacing().beforeTable;
    return !beforeTable || beforeTable(table);
}

QByteArray checkOf(const QString &table) {
    QString name = table;
    name.replace(QLatin1Char('\''), QStringLiteral("''"));
    return "PRAGMA quick_check('" + name.toUtf8() + "')";
}

} // namespace

PageCheck::PageCheck(QByteArray uri, int openFlags) : m_uri(std::move(uri)), m_flags(openFlags) {}

void PageCheck::setPacing(Pacing p) {
    const std::lock_guard<std::mutex> hold(pacingLock);
    pacing() = std::move(p);
}

// A small page cache and no mapping, closed when done, so a check of any
// size leaves the process as large as it was.
bool PageCheck::connect() {
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(m_uri.constData(), &db, m_flags | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, 1000);
    execute(db, "PRAGMA mmap_size=0");
    execute(db, "PRAGMA cache_size=-64");
    // An interrupt that comes before a statement runs is forgotten when it
    // starts; the flag is not, and is looked at before the walk begins.
    sqlite3_progress_handler(
        db, 1, [](void *flag) { return static_cast<std::atomic_bool *>(flag)->load() ? 1 : 0; },
        &m_stop);
    const std::lock_guard<std::mutex> hold(m_lock);
    m_db = db;
    return true;
}

void PageCheck::disconnect() {
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        sqlite3_close(m_db);
        m_db = nullptr;
    }
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

std::optional<bool> PageCheck::answer(const QByteArray &sql) {
    Statement check(m_db, sql);
    if (check.step())
        return check.text(0) == QLatin1String("ok");
    if (check.code() == SQLITE_CORRUPT || check.code() == SQLITE_NOTADB)
        return false;
    return std::nullopt;
}

std::optional<bool> PageCheck::whole() {
    if (!connect())
        return std::nullopt;
    if (!mayGoOn(QString()))
        stop();
    const std::optional<bool> healthy = stopped() ? std::nullopt : answer("PRAGMA quick_check(1)");
    disconnect();
    return healthy;
}

std::optional<bool> PageCheck::byTables(QStringList &done) {
    if (!connect())
        return std::nullopt;
    const QStringList tables = tablesOf(m_db);
    bool answered = !tables.isEmpty(), sound = answered;
    for (const QString &table : tables) {
        if (done.contains(table))
            continue;
        if (!mayGoOn(table))
            stop();
        const std::optional<bool> said = stopped() ? std::nullopt : answer(checkOf(table));
        if (said != true) {
            answered = said.has_value();
            sound = false;
            break;
        }
        done << table;
    }
    disconnect();
    return answered ? std::optional<bool>(sound) : std::nullopt;
}

bool PageCheck::rest() {
    const std::chrono::milliseconds wait = currentPacing().rest;
    std::unique_lock<std::mutex> hold(m_lock);
    return !m_woken.wait_for(hold, wait, [this] { return m_stop.load(); });
}

void PageCheck::stop() {
    m_stop = true;
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_db)
        sqlite3_interrupt(m_db);
    m_woken.notify_all();
}

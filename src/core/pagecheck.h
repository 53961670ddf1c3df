// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

struct sqlite3;

// SQLite's own page check, through a connection of its own made on the
// checking thread, which stop() ends at once from any other: SQLite's walk
// over the b-trees never calls a progress handler, but it does see an
// interrupt. Answers are whether the pages are sound, or nothing when the
// check was stopped or could not read the store.
class PageCheck {
public:
    PageCheck(QByteArray uri, int openFlags);
    PageCheck(const PageCheck &) = delete;
    PageCheck &operator=(const PageCheck &) = delete;

    // Every page in one walk, as before any write.
    std::optional<bool> whole();
    // A table and its indexes at a time (the schema first, with the free
    // pages), leaving out those in done and adding each that checks out, so
    // a check cut short goes on where it stopped. It leaves out only what a
    // walk over the whole file adds: pages that no table uses.
    std::optional<bool> byTables(QStringList &done);
    // Waits the rest the pacing asks for before a check that runs now and
    // then; false when stopped meanwhile.
    bool rest();

    // From any thread; what runs now ends, and nothing more starts.
    void stop();
    bool stopped() const { return m_stop.load(); }

    // How the check that runs now and then goes: it waits rest after the
    // store opened, so it does not compete with the start. beforeTable (for
    // tests) hears on the checking thread of each table before it is read (of
    // the whole file as an empty name), and may stop the check there.
    struct Pacing {
        std::chrono::milliseconds rest{30000};
        std::function<bool(const QString &table)> beforeTable;
    };
    static void setPacing(Pacing pacing);

private:
    bool connect();
    void disconnect();
    std::optional<bool> answer(const QByteArray &sql);

    const QByteArray m_uri;
    const int m_flags;
    std::mutex m_lock;
    std::condition_variable m_woken;
    sqlite3 *m_db = nullptr; // under m_lock, for stop()
    std::atomic_bool m_stop = false;
};

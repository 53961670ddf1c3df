// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFuture>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "core/keylist.h"
#include "core/records.h"

struct sqlite3;

class PageCheck;
class QObject;

// The one database file that holds the journal, the contacts and the photos.
// A file that is not a database is left exactly as it is: the program then
// runs with empty record sets rather than risk a user's only copy. Nor is a
// database that is not ours, or one whose pages do not check out, written to:
// it is shown read-only.
class Store {
public:
    enum class State {
        Closed,   // not opened, or no usable path
        Open,     // ready
        Unusable, // the file exists but is not a database we can read
    };

    Store();
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // Opens the file, creating it with the three tables when it is missing.
    State open(const QString &path);
    void close();

    State state() const { return m_state; }
    bool isOpen() const { return m_state == State::Open; }
    // Open for reading only (see refusal()). Every save then fails, and says
    // so to its caller.
    bool isReadOnly() const { return m_readOnly || m_damage->found; }

    // Why a file that is there is not written to.
    enum class Refusal {
        None,
        WriteProtected, // the file or its folder cannot be written, or the disk is full
        Foreign,        // a database, but not a notebook of ours
        Damaged,        // ours, but its pages do not check out
        Unreadable,     // not a database at all
    };
    // As far as known: a check still running has not found damage yet.
    Refusal refusal() const { return m_damage->found ? Refusal::Damaged : m_refusal; }
    // Before each write: waits for the check begun at open (it is usually
    // long done) and leaves a damaged store read-only. False when nothing may
    // be written.
    bool readyToWrite();
    // Calls done on context's thread with the refusal once the check begun at
    // open is over (or the one that runs now and then behind a mark, which no
    // save waits for); soon after, when it already is.
    void whenChecked(QObject *context, std::function<void(Refusal)> done);
    // Calls told on context's thread when a statement on any connection, or
    // the check that still runs now and then behind a store that checked out
    // before, finds its pages damaged after it was opened. The store is
    // read-only by then and keeps no mark of a sound check.
    void whenFoundDamaged(QObject *context, std::function<void()> told);
    QString path() const { return m_path; }
    // Where a reader on a thread of its own opens the store: read-only, and
    // as a fixed file where this connection had to.
    QByteArray readerUri() const;
    // SQLite's own connection, on this object's thread.
    sqlite3 *nativeHandle() const { return m_db; }
    // What SQLite said of the last write that failed on this connection.
    QString lastError() const { return m_lastError; }
    // The name of the table's row identity (see readRowKeys); empty when its
    // rows cannot be addressed safely.
    QString rowIdentity(const QString &table) const;

    // The background build of the journal's search index waits while a
    // hold is kept, on any thread: an import goes first, and its rows are
    // indexed after it.
    std::shared_ptr<void> holdIndexBuild();

    // Starts reading a table's row keys on a worker thread of its own
    // connection, so a large journal is read while the window is built.
    void prefetchKeys(const QString &table);
    // The keys read ahead for the table, once; empty when none were asked for,
    // they could not be read, or this connection has written since.
    std::optional<KeyRuns> takePrefetchedKeys(const QString &table);

    // The journal rows whose keys lie in [first, last], in stored order, with
    // at most headBytes bytes of their text (cut as bytes: a NUL that a text
    // edited elsewhere may hold does not end it). For the entry list.
    struct EntryHead {
        qint64 key;
        QString dates;
        QByteArray thingsHead;
    };
    std::vector<EntryHead> journalHeads(qint64 first, qint64 last, int headBytes) const;
    // One journal row whole; empty when it is not there.
    std::optional<JournalEntry> journalEntry(qint64 key) const;

    // Runs write, which changes the row key of table (-1: appends one) and
    // returns the key it wrote, or nothing when it failed. What follows from
    // the journal's rows (its search index) changes in the same transaction,
    // so a crash leaves both as they were or both as they are now.
    bool writeRow(const QString &table, qint64 key,
                  const std::function<std::optional<qint64>()> &write);

    // How long a write on a worker waits for a store another program, or
    // this one's index build, holds.
    static constexpr int WriteWaitMs = 5000;
    struct Written {
        std::optional<qint64> key; // the row written
        int code = 0;              // else SQLite's primary result code
        QString error;             // and what it said
    };
    // A write to run on any thread, through a connection of its own: appends
    // a row to table by sql (an INSERT with a mark per value), and what
    // follows from it in the same transaction, as writeRow() does.
    std::function<Written()> appender(const QString &table, const QString &sql,
                                      const QVariantList &values) const;
    // The same with the values made on the write's thread, when it runs;
    // none made writes nothing.
    std::function<Written()> appender(const QString &table, const QString &sql,
                                      std::function<QVariantList()> values) const;
    // The same for the row key, which sql (an UPDATE or a DELETE) changes;
    // a row that is not there is written as none, with SQLITE_NOTFOUND.
    std::function<Written()> changer(const QString &table, qint64 key, const QString &sql,
                                     const QVariantList &values) const;

    // Hands back the page cache filled while the keys were read at start-up,
    // and the heap pages it leaves free, to the system.
    void releaseMemory();

    // Field names of the three tables, in their stored order.
    static QStringList fields(const QString &table);
    static QStringList tables();

    // 2: the journal's search index; 3: the index folds whole texts;
    // 5: long entries' pieces in an index of their own.
    static constexpr int SchemaVersion = 5;
    // The most a connection that writes leaves of the store's log once it
    // starts it over: a 50 MB save, an import or a rebuild of the index
    // would otherwise keep that much on the disk till the program ends.
    static constexpr qint64 LogKeptBytes = qint64(32) << 20;
    static void keepLogShort(sqlite3 *db);
    // However often the store checks out unchanged at start, its pages are
    // read again in the background after this many starts or days, a while
    // after the start (PageCheck::Pacing), and on from where the last run
    // stopped.
    static constexpr int FullCheckEveryStarts = 10;
    static constexpr int FullCheckEveryDays = 7;

private:
    // SQLite's primary result code: 0 when the store answers.
    int connect(const QString &path, const QString &uriQuery);
    static bool ensureSchema(sqlite3 *db);
    bool createFile(const QString &path);
    int connectAsAllowed(const QString &path);
    void settleWriting(bool checked);
    void openReadOnly(Refusal why);
    void removeNewSideFiles();
    std::function<Written()> writer(const QString &table, qint64 key, const QString &sql,
                                    std::function<QVariantList()> values) const;
    // Checks the pages on a worker unless that is done already, brings the
    // store up to date once they check out (upgrade), then builds what the
    // journal's search index lacks there.
    void startWorker(bool checked, bool upgrade = false);
    void startIdleCheck();
    void settleCheck();
    // Read-only from now on, the check mark gone, nothing checkpointed at close.
    void lockAsDamaged();
    void damageFound(int generation);

    sqlite3 *m_db = nullptr;
    QString m_lastError;
    QString m_path;
    State m_state = State::Closed;
    bool m_readOnly = false;
    bool m_immutable = false;
    Refusal m_refusal = Refusal::None;
    struct {
        bool wal = false, shm = false;
    } m_sideFilesBefore;   // beside the file when it was opened
    QFuture<bool> m_check; // true: healthy
    bool m_checkSettled = true;
    std::thread m_checker;
    std::shared_ptr<std::atomic_bool> m_stopCheck;
    std::vector<std::shared_ptr<PageCheck>> m_pageChecks; // stopped at once by close()
    std::thread m_idleChecker;
    // The idle checker's thread id, so a close can lift it out of idle
    // priority: at idle, a busy machine may never let it see the stop.
    std::shared_ptr<std::atomic<int>> m_idleThread = std::make_shared<std::atomic<int>>(0);
    struct DamageFlag {
        std::atomic_bool found = false;
    };
    std::shared_ptr<DamageFlag> m_damage = std::make_shared<DamageFlag>();
    std::shared_ptr<std::atomic<int>> m_indexHolds = std::make_shared<std::atomic<int>>(0);
    int m_generation = 0;             // of open(), so late news of a closed store is dropped
    std::unique_ptr<QObject> m_owner; // on this object's thread, for news from others
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_damageListeners;
    // The last time every page was read and found sound, and the starts since.
    qint64 m_fullCheckAt = 0;
    int m_startsSinceFullCheck = 0;
    std::shared_ptr<std::atomic<qint64>> m_idleCheckedAt;
    // The tables read and found sound in the check under way now and then.
    std::shared_ptr<QStringList> m_tablesChecked = std::make_shared<QStringList>();
    QFuture<bool> m_idleCheck; // true: sound, or stopped before it could say
    struct Prefetch {
        std::future<std::optional<KeyRuns>> keys;
        qint64 changesBefore;
    };
    std::map<QString, Prefetch> m_prefetched;
    mutable std::map<QString, QString> m_identities;
    qint64 totalChanges() const;
};

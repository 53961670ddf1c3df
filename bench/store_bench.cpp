// SPDX-License-Identifier: GPL-3.0-or-later
// Busy stores and long entries: how long an index batch holds the store's
// write lock when another program added a long entry, and when the program
// saved one itself, how long the index takes to be whole again, how long a
// save waits for a lock another program holds, the longest the event loop
// stands still while a long entry is saved beside it, and while the program
// deletes one.
// Usage: store_bench [entries] [megabytes] [same|varied]
//        (defaults 10000, 50 and same: one character over and over)

#include "core/journalindex.h"
#include "core/records.h"
#include "core/recordset.h"
#include "core/searchtext.h"
#include "core/statement.h"
#include "core/store.h"
#include "generate.h"
#include "sql.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <thread>
#include <vector>

namespace {

// One character over and over, the hardest text for the index to merge, or
// text of a few thousand characters in lines, as a pasted novel has.
bool variedText = false;

QString longText(int megabytes) {
    const qsizetype length = qsizetype(megabytes) * 1024 * 1024 / 3;
    if (!variedText)
        return QString(length, QChar(0x5929));
    QString text(length, QChar(0x3002));
    QRandomGenerator rng(7);
    for (qsizetype i = 0; i < length; ++i)
        if (i % 80 == 79)
            text[i] = QLatin1Char('\n');
        else if (i % 13 != 12)
            text[i] = QChar(0x4e00 + int(rng.bounded(3500)));
    return text;
}

// Another connection that asks for the write lock every few milliseconds,
// as a save would: the longest it waited is the longest the lock was held.
class LockProbe {
public:
    explicit LockProbe(const QString &path) {
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);

        m_thread = std::thread([this] {
            m_started = true;
            while (!m_stop.load()) {
                QElapsedTimer t;
                t.start();
                // Asked for every fraction of a millisecond, not with the
                // busy handler's growing sleeps, which miss short gaps.
                while (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) !=
                           SQLITE_OK &&
                       !m_stop.load())
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
                m_longestNs = std::max(m_longestNs.load(), t.nsecsElapsed());
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        while (!m_started.load())
            std::this_thread::yield();
    }
    ~LockProbe() {
        stop();
        sqlite3_close(m_db);
    }
    LockProbe(const LockProbe &) = delete;
    LockProbe &operator=(const LockProbe &) = delete;
    // A wait still going on is counted when it ends.
    double longestMs() {
        stop();
        return double(m_longestNs.load()) / 1e6;
    }

private:
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    sqlite3 *m_db = nullptr;
    std::atomic_bool m_stop{false}, m_started{false};
    std::atomic<qint64> m_longestNs{0};
    std::thread m_thread;
};

struct Build {
    double longestBatch = 0, longestHold = 0, longestHoldCpu = 0, longestWait = 0, totalMs = 0;
    int batches = 0;
};

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The builder's own account: from the end of a BEGIN IMMEDIATE that took
// the lock to the end of the COMMIT or ROLLBACK that gave it back, in wall
// time and in the builder's processor time, which load does not stretch.
int timeTheLock(unsigned, void *build, void *statement, void *) {
    static QElapsedTimer clock;
    static qint64 since = -1;
    static double cpuSince = 0;
    if (!clock.isValid())
        clock.start();
    auto *stmt = static_cast<sqlite3_stmt *>(statement);
    const QByteArray sql(sqlite3_sql(stmt));
    if (sql.startsWith("BEGIN IMMEDIATE") && sqlite3_get_autocommit(sqlite3_db_handle(stmt)) == 0) {
        since = clock.nsecsElapsed();
        cpuSince = threadCpuMs();
    } else if (since >= 0 && (sql.startsWith("COMMIT") || sql.startsWith("ROLLBACK"))) {
        auto *b = static_cast<Build *>(build);
        b->longestHold = std::max(b->longestHold, double(clock.nsecsElapsed() - since) / 1e6);
        b->longestHoldCpu = std::max(b->longestHoldCpu, threadCpuMs() - cpuSince);
        since = -1;
    }
    return 0;
}

// The index built to the end in the batches the program runs, with a save
// asking for the lock meanwhile.
Build buildToTheEnd(const QString &path) {
    SqlFile builder(path);
    builder.open();
    SearchText::registerTokenizer(builder);
    Build b;
    sqlite3_trace_v2(builder, SQLITE_TRACE_PROFILE, timeTheLock, &b);
    LockProbe probe(path);
    QElapsedTimer whole;
    whole.start();
    for (JournalIndex::Step step = JournalIndex::Step::More;
         step != JournalIndex::Step::Done && b.batches < 100000;) {
        QElapsedTimer t;
        t.start();
        step = JournalIndex::buildSome(builder, JournalIndex::BatchMs);
        b.longestBatch = std::max(b.longestBatch, double(t.nsecsElapsed()) / 1e6);
        ++b.batches;
        // The pause the program's own builder takes between batches.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    b.totalMs = double(whole.nsecsElapsed()) / 1e6;
    b.longestWait = probe.longestMs();
    return b;
}

void print(const char *what, const Build &b) {
    std::printf("  %s: lock held at most %.1f ms, %.1f ms of processor time\n"
                "    (longest batch %.1f ms), another save waited at most %.1f ms,\n"
                "    %d batches, complete after %.0f ms\n",
                what, b.longestHold, b.longestHoldCpu, b.longestBatch, b.longestWait, b.batches,
                b.totalMs);
}

// Another program writes a long entry: the index is built again.
Build afterAnotherProgram(const QString &path, int megabytes) {
    SqlFile other(path);
    other.open();
    SqlQuery q(other);
    q.prepare(QStringLiteral("INSERT INTO diary VALUES ('20240101', ?)"));
    q.addBindValue(longText(megabytes));
    q.exec();
    return buildToTheEnd(path);
}

// The program saves a long entry itself: the longest wait of another save
// meanwhile; then, while the store's own builder makes the index whole
// (at once, if the save did), another save's longest wait.
void afterOwnSave(RecordSet &journal, int megabytes) {
    const QString path = journal.store()->path();
    const QHash<QString, QVariant> row = JournalEntry{"20240104", longText(megabytes)}.toRow();
    LockProbe duringSave(path);
    QElapsedTimer t;
    t.start();
    skipFailure(journal.appendAside(row), "saving a long entry");
    const double savedMs = double(t.nsecsElapsed()) / 1e6, saveWait = duringSave.longestMs();
    LockProbe afterSave(path);
    SqlFile reader(path);
    reader.open();
    while (!JournalIndex::state(reader).complete() && t.elapsed() < 600000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::printf("  %d MB entry: saved in %.0f ms, another save waited at most %.1f ms;\n"
                "    the index complete after %.0f ms, another save waiting at most %.1f ms\n",
                megabytes, savedMs, saveWait, double(t.nsecsElapsed()) / 1e6,
                afterSave.longestMs());
}

// Pieces of changed entries the builder has still to take out, or long
// entries to index apart: none where the index keeps no such list.
bool workLeft(sqlite3 *reader) {
    Statement q(reader, "SELECT EXISTS (SELECT 1 FROM journal_search_gone) OR "
                        "EXISTS (SELECT 1 FROM journal_search_redo)");
    return q.step() && q.integer(0) != 0;
}

// The program deletes its newest entry, a long one, on the window's thread:
// how long that thread stands still, and another save's longest wait
// meanwhile; then how long until the index is whole with nothing left to
// take out of it, another save waiting at most how long. Watched from a
// connection of its own, which sees the builder's batches as they end.
void afterOwnDelete(RecordSet &journal, int megabytes) {
    const QString path = journal.store()->path();
    SqlFile reader(path);
    reader.open();
    QElapsedTimer t;
    t.start();
    while ((!JournalIndex::state(reader).complete() || workLeft(reader)) && t.elapsed() < 600000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Statement last(reader, "SELECT max(rowid) FROM diary");
    const qint64 key = last.step() ? last.integer(0) : -1;
    last.reset();
    LockProbe duringDelete(path);
    QTimer tick;
    QElapsedTimer gap;
    double stillMs = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        stillMs = std::max(stillMs, double(gap.nsecsElapsed()) / 1e6);
        gap.restart();
    });
    tick.start(1);
    gap.start();
    t.restart();
    const bool deleted = journal.moveToKey(key) && journal.deleteCurrent();
    stillMs = std::max(stillMs, double(gap.nsecsElapsed()) / 1e6);
    tick.stop();
    const double deletedMs = double(t.nsecsElapsed()) / 1e6, deleteWait = duringDelete.longestMs();
    LockProbe afterDelete(path);
    const bool rebuilt = JournalIndex::state(reader).stale;
    // A read transaction kept open meanwhile would keep every batch in the log.
    qint64 logBytes = 0;
    while ((!JournalIndex::state(reader).complete() || workLeft(reader)) && t.elapsed() < 600000) {
        logBytes = std::max(logBytes, QFileInfo(path + QStringLiteral("-wal")).size());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::printf("  deleting a %d MB entry: %s in %.0f ms, the window's thread standing still at "
                "most %.1f ms,\n    another save waiting at most %.1f ms; the index complete %s "
                "after %.0f ms,\n    another save waiting at most %.1f ms, the log at most %.1f "
                "MB\n",
                megabytes, deleted ? "deleted" : "refused", deletedMs, stillMs, deleteWait,
                rebuilt ? "(built again)" : "(pieces taken out)", double(t.nsecsElapsed()) / 1e6,
                afterDelete.longestMs(), double(logBytes) / (1 << 20));
}

// A save while another program holds the write lock for holdMs (or for
// longer than a save waits); the time the save took, and whether it stored.
std::pair<double, bool> saveUnderLock(Store &store, RecordSet &journal, int holdMs) {
    SqlFile other(store.path());
    other.open();
    SqlQuery(other).exec(QStringLiteral("BEGIN IMMEDIATE"));
    QTimer::singleShot(holdMs, [&] { SqlQuery(other).exec(QStringLiteral("COMMIT")); });
    QElapsedTimer t;
    t.start();
    const Result saved = journal.appendAside(JournalEntry{"20240102", "held"}.toRow());
    const double ms = double(t.nsecsElapsed()) / 1e6;
    while (t.elapsed() < holdMs + 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return {ms, saved.isOk()};
}

// The longest gap between two turns of the event loop while a long entry is
// saved and indexed.
double longestStandStill(RecordSet &journal, int megabytes, double *savedMs) {
    QTimer tick;
    QElapsedTimer gap, whole;
    double longest = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
        gap.restart();
    });
    const QHash<QString, QVariant> row = JournalEntry{"20240103", longText(megabytes)}.toRow();
    tick.start(1);
    gap.start();
    whole.start();
    const Result saved = journal.appendAside(row);
    *savedMs = saved ? double(whole.nsecsElapsed()) / 1e6 : -1;
    return longest;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? atoi(argv[1]) : 10000;
    const int megabytes = argc > 2 ? std::max(1, atoi(argv[2])) : 50;
    variedText = argc > 3 && QByteArray(argv[3]) == "varied";
    std::vector<int> sizes = {std::min(2, megabytes)};
    if (megabytes > 2)
        sizes.push_back(megabytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("work.db"));
    Store store;
    if (store.open(path) != Store::State::Open)
        return 1;
    Generate::journal(store, entries);
    Generate::indexJournal(store);
    std::printf("%d entries; the index built again after another program wrote\n", entries);
    // Closed meanwhile, so that its own builder does not build alongside.
    store.close();
    for (int mb : sizes) {
        const QByteArray what = QByteArray::number(mb) + " MB entry";
        print(what.constData(), afterAnotherProgram(path, mb));
    }
    if (store.open(path) != Store::State::Open)
        return 1;
    RecordSet journal(&store, QString::fromLatin1(JournalEntry::Table));
    if (!journal.open())
        return 1;
    const auto [waited, stored] = saveUnderLock(store, journal, 2000);
    std::printf("  save while another holds the lock 2 s   %9.1f ms (%s)\n", waited,
                stored ? "stored" : "refused");
    const auto [gaveUp, kept] = saveUnderLock(store, journal, Store::WriteWaitMs + 1000);
    std::printf("  save while another holds it %d s        %9.1f ms (%s)\n",
                Store::WriteWaitMs / 1000 + 1, gaveUp, kept ? "stored" : "refused, said so");
    std::printf("the program's own save of a long entry, and the index after it\n");
    for (int mb : sizes)
        afterOwnSave(journal, mb);
    double savedMs = 0;
    const double still = longestStandStill(journal, megabytes, &savedMs);
    std::printf("  saving a %d MB entry: %.1f ms; longest event-loop stand-still %.1f ms\n",
                megabytes, savedMs, still);
    afterOwnDelete(journal, megabytes);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Busy stores and long entries: how long an index batch holds the store's
// write lock when another program added a long entry, how long a save waits
// for a lock another program holds, and the longest the event loop stands
// still while a long entry is saved beside it.
// Usage: store_bench [entries] [megabytes]     (defaults 10000 and 50)

#include "core/journalindex.h"
#include "core/records.h"
#include "core/recordset.h"
#include "core/searchtext.h"
#include "core/store.h"
#include "generate.h"
#include "sql.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

QString longText(int megabytes) {
    return QString(megabytes * 1024 * 1024 / 3, QChar(0x5929));
}

// The index built again after another program wrote a long entry, in the
// batches the program runs: the longest one.
double longestBatch(const QString &path, int megabytes) {
    SqlFile other(path);
    other.open();
    SqlQuery q(other);
    q.prepare(QStringLiteral("INSERT INTO diary VALUES ('20240101', ?)"));
    q.addBindValue(longText(megabytes));
    q.exec();
    SqlFile builder(path);
    builder.open();
    SearchText::registerTokenizer(builder);
    double longest = 0;
    for (JournalIndex::Step step = JournalIndex::Step::More; step == JournalIndex::Step::More;) {
        QElapsedTimer t;
        t.start();
        step = JournalIndex::buildSome(builder, 40);
        longest = std::max(longest, double(t.nsecsElapsed()) / 1e6);
    }
    return longest;
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
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("work.db"));
    Store store;
    if (store.open(path) != Store::State::Open)
        return 1;
    Generate::journal(store, entries);
    Generate::indexJournal(store);
    std::printf("%d entries, one of %d MB written by another program:\n", entries, megabytes);
    std::printf("  longest index batch (write lock held)   %9.1f ms\n",
                longestBatch(path, megabytes));
    RecordSet journal(&store, QString::fromLatin1(JournalEntry::Table));
    if (!journal.open())
        return 1;
    const auto [waited, stored] = saveUnderLock(store, journal, 2000);
    std::printf("  save while another holds the lock 2 s   %9.1f ms (%s)\n", waited,
                stored ? "stored" : "refused");
    const auto [gaveUp, kept] = saveUnderLock(store, journal, Store::WriteWaitMs + 1000);
    std::printf("  save while another holds it %d s        %9.1f ms (%s)\n",
                Store::WriteWaitMs / 1000 + 1, gaveUp, kept ? "stored" : "refused, said so");
    double savedMs = 0;
    const double still = longestStandStill(journal, megabytes, &savedMs);
    std::printf("  saving a %d MB entry: %.1f ms; longest event-loop stand-still %.1f ms\n",
                megabytes, savedMs, still);
    return 0;
}

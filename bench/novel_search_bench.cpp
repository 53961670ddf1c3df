// SPDX-License-Identifier: GPL-3.0-or-later
// Journal search on real text: a journal cut from the four novels in the
// shared data (entries of a few lines to a few pages, days over six
// decades), asked a fixed set of 50 queries through the call the search
// window's worker makes. Reports each query's first hits and whole answer,
// the slowest, and the memory the worst pasted query takes.
// Usage: novel_search_bench [entries] [runs] [store] [long]   (defaults 1000000 and 5)
// With "long", every entry is 100 KB to 2 MB of text, indexed in pieces.
// A store named is kept: the next run with it asks the same journal again
// instead of writing and indexing it for minutes. Exits 77 where the shared
// data is missing.

#include "core/journalindex.h"
#include "core/searchtext.h"
#include "core/store.h"
#include "generate.h"
#include "measure.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

QString novels() {
    QString text;
    QStringDecoder gbk("GB18030");
    for (const char *novel : {"hlm", "sgyy", "shz", "xyj"}) {
        const QDir folder(QStringLiteral(QUILLARY_SHARED_DATA "/story/") + QLatin1String(novel));
        for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
            QFile f(folder.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                text += gbk.decode(f.readAll());
        }
    }
    return text;
}

// Mostly a few hundred characters, now and then a few thousand.
qsizetype entryLength(QRandomGenerator &rng) {
    const double u = rng.generateDouble();
    return qsizetype(40 + 360 * u * u + (rng.bounded(50) == 0 ? rng.bounded(4000) : 0));
}

// 100 KB to 2 MB of UTF-8, as many short ones as long, three bytes a character.
qsizetype longEntryLength(QRandomGenerator &rng) {
    return qsizetype(100000.0 / 3 * std::pow(20.0, rng.generateDouble()));
}
bool longEntries = false;

void write(Store &store, const QString &text, int entries) {
    sqlite3 *db = store.nativeHandle();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *add = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO diary (dates, things) VALUES (?, ?)", -1, &add, nullptr);
    QRandomGenerator rng(2026);
    const QDate first(1962, 1, 1);
    const qint64 days = first.daysTo(QDate(2025, 12, 31));
    for (int i = 0; i < entries; ++i) {
        const qsizetype length = longEntries ? longEntryLength(rng) : entryLength(rng);
        const qsizetype at = qsizetype(rng.bounded(quint64(text.size() - length)));
        const QByteArray day = first.addDays(qint64(rng.bounded(quint64(days))))
                                   .toString(QStringLiteral("yyyyMMdd"))
                                   .toLatin1();
        const QByteArray body = text.mid(at, length).toUtf8();
        sqlite3_bind_text(add, 1, day.constData(), int(day.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(add, 2, body.constData(), int(body.size()), SQLITE_TRANSIENT);
        sqlite3_step(add);
        sqlite3_reset(add);
    }
    sqlite3_finalize(add);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

const char *const Queries[50] = {
    // one character, common to rare
    "的", "了", "道", "曰", "人", "之", "不", "玉", "龙", "鬼",
    // two to eight characters
    "宝玉", "黛玉", "曹操", "孔明", "宋江", "林冲", "行者", "八戒", "只见", "如何", "却说", "太师",
    "王夫人", "三藏道", "孙悟空", "刘玄德", "及时雨", "不在话下", "且听下回分解", "话说天下大势",
    "忽听得外面人说", "一面说一面走进来",
    // phrases and two words
    "\"只见那\"", "\"笑道：\"", "\"众人听了\"", "宝玉 黛玉", "曹操 刘备", "林冲 鲁智深",
    "行者 妖精", "玄德 关公 张飞", "风 雨", "\"次日\" 天明",
    // Latin, and what no novel holds
    "the", "qt", "Song", "A", "coffee meeting", "长城", "电脑", "xyz"};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

using ownprocess::cpuMs;
using ownprocess::peakKb;
using ownprocess::resetPeak;

// The peak resident memory of one search, from where it starts.
long searchPeakKb(sqlite3 *reader, const QString &query, double *ms) {
    const long before = resetPeak();
    QElapsedTimer t;
    t.start();
    JournalIndex::search(reader, query, 500);
    *ms = double(t.nsecsElapsed()) / 1e6;
    return peakKb() - before;
}

struct Timing {
    QString query;
    double first, whole, cpu;
    qint64 count;
    long peakKb;
};

Timing measure(sqlite3 *reader, const char *query, int runs) {
    std::vector<double> first, whole, cpu;
    qint64 count = 0;
    const long before = resetPeak();
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const double began = cpuMs();
        double shown = -1;
        count = JournalIndex::search(
                    reader, QString::fromUtf8(query), 500, {}, JournalIndex::Way::IndexWhenReady,
                    [&](const JournalIndex::Answer &) { shown = double(t.nsecsElapsed()) / 1e6; })
                    .count;
        whole.push_back(double(t.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - began);
        first.push_back(shown < 0 ? whole.back() : shown);
    }
    return {QString::fromUtf8(query), median(first), median(whole), median(cpu), count,
            peakKb() - before};
}

// The store's own background build may hold the write lock a moment.
double index(Store &store) {
    double indexed = 0;
    for (int tries = 0; tries < 50 && !JournalIndex::state(store.nativeHandle()).complete();
         ++tries) {
        indexed += Generate::indexJournal(store);
        QCoreApplication::processEvents();
    }
    if (!JournalIndex::state(store.nativeHandle()).complete())
        std::printf("the index could not be built: every query reads every entry\n");
    return indexed;
}

void build(Store &store, const QString &text, int entries) {
    QElapsedTimer t;
    t.start();
    write(store, text, entries);
    const double written = double(t.elapsed()) / 1000.0;
    const double indexed = index(store);
    std::printf("%d entries from %lld characters of novels: written in %.1f s, indexed in %.1f s\n",
                entries, qint64(text.size()), written, indexed);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    longEntries = argc > 4 && qstrcmp(argv[4], "long") == 0;
    const QString text = novels();
    if (text.size() < 100000) {
        std::printf("novel_search_bench: the novels in the shared data are missing\n");
        return 77;
    }
    QTemporaryDir dir;
    const QString path = argc > 3 ? QString::fromLocal8Bit(argv[3]) : dir.filePath("work.db");
    const bool kept = argc > 3 && QFile::exists(path);
    Store store;
    store.open(path);
    // A store made by an older program is checked and brought up to date on
    // a worker first: till then its index looks whole, and is not.
    store.readyToWrite();
    if (!kept)
        build(store, text, entries);
    else if (!JournalIndex::state(store.nativeHandle()).complete())
        // Made by an older program: its index is built again once, and kept.
        std::printf("the kept store's index built again in %.1f s\n", index(store));
    else
        std::printf("the journal kept in %s\n", qPrintable(path));

    sqlite3 *reader = nullptr;
    sqlite3_open_v2(store.readerUri().constData(), &reader, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                    nullptr);
    SearchText::registerTokenizer(reader);
    std::vector<Timing> all;
    for (const char *query : Queries)
        all.push_back(measure(reader, query, runs));
    std::sort(all.begin(), all.end(),
              [](const Timing &a, const Timing &b) { return a.whole > b.whole; });
    std::printf("%-24s %10s %12s %12s %10s %10s\n", "query (slowest first)", "hits", "first ms",
                "whole ms", "cpu ms", "+peak MB");
    double worstFirst = 0, worstCpu = 0;
    long worstPeak = 0;
    for (const Timing &q : all) {
        std::printf("%-24s %10lld %12.1f %12.1f %10.1f %10.1f\n", qPrintable(q.query), q.count,
                    q.first, q.whole, q.cpu, double(q.peakKb) / 1024.0);
        worstCpu = std::max(worstCpu, q.cpu);
        worstFirst = std::max(worstFirst, q.first);
        worstPeak = std::max(worstPeak, q.peakKb);
    }
    std::printf("slowest whole answer %.1f ms (%s); slowest first hits %.1f ms; "
                "most processor time %.1f ms; most memory +%.1f MB\n",
                all.front().whole, qPrintable(all.front().query), worstFirst, worstCpu,
                double(worstPeak) / 1024.0);
    double ms = 0;
    const long kb = searchPeakKb(reader, QString(32767, QChar(0x9053)), &ms);
    std::printf("a pasted query of 32767 x 道: %.1f ms, peak memory +%.1f MB\n", ms,
                double(kb) / 1024.0);
    sqlite3_close(reader);
    return 0;
}

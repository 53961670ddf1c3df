// SPDX-License-Identifier: GPL-3.0-or-later
// The worst a journal search can be asked: pasted queries of tens of
// thousands of characters against entries of a hundred thousand to a million
// characters, through the index and, with the index stale, by reading every
// entry. Reports each search's time and the peak memory it adds, and which
// went past 2 s or 100 MB.
// Usage: search_limits_bench [scale]   (1: the sizes above; less for a smoke run)

#include "core/journalindex.h"
#include "core/recordset.h"
#include "core/searchtext.h"
#include "core/store.h"
#include "generate.h"
#include "measure.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

using ownprocess::cpuMs;
using ownprocess::peakKb;
using ownprocess::resetPeak;

// Chinese text with little repeated.
QString varied(qsizetype length, quint32 seed) {
    QRandomGenerator rng(seed);
    QString text(length, Qt::Uninitialized);
    for (QChar &c : text)
        c = QChar(char16_t(0x4e00 + rng.bounded(0x51a5)));
    return text;
}

struct Case {
    const char *what;
    QList<QString> entries;
    QString query;
};

bool over = false;

void ask(sqlite3 *db, const char *what, const char *way, const QString &query) {
    const long before = resetPeak();
    QElapsedTimer t;
    t.start();
    const double cpu = cpuMs();
    const JournalIndex::Answer a = JournalIndex::search(db, query, 500);
    const double ms = double(t.nsecsElapsed()) / 1e6, used = cpuMs() - cpu;
    const double mb = double(peakKb() - before) / 1024.0;
    const bool tooMuch = ms > 2000 || mb > 100;
    over = over || tooMuch;
    std::printf("%-44s %-8s %6lld %5s %5s %10.1f %10.1f %9.1f%s\n", what, way, a.count,
                a.indexed ? "yes" : "no", a.cut ? "yes" : "no", ms, used, mb,
                tooMuch ? "  over 2 s or 100 MB" : "");
}

void run(const QString &path, const Case &c) {
    {
        Store store;
        store.open(path);
        RecordSet diary(&store, QStringLiteral("diary"));
        diary.open();
        int day = 20200101;
        for (const QString &text : c.entries)
            diary.append({{QStringLiteral("dates"), QString::number(day++)},
                          {QStringLiteral("things"), text}});
        for (int tries = 0; tries < 50 && !JournalIndex::state(store.nativeHandle()).complete();
             ++tries)
            Generate::indexJournal(store);
    }
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    SearchText::registerTokenizer(db);
    ask(db, c.what, JournalIndex::state(db).complete() ? "index" : "unbuilt", c.query);
    sqlite3_exec(db, "UPDATE journal_search_state SET stale = 1", nullptr, nullptr, nullptr);
    ask(db, c.what, "stale", c.query);
    sqlite3_close(db);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const double scale = argc > 1 ? std::clamp(atof(argv[1]), 0.001, 1.0) : 1.0;
    const auto chars = [scale](qsizetype n) {
        return std::max<qsizetype>(100, qsizetype(double(n) * scale));
    };
    const QChar dao(0x9053);
    const QString million = varied(chars(1000000), 1);
    // 1 MB of UTF-8, three bytes a character.
    const qsizetype megabyte = chars(1 << 20) / 3;
    QList<QString> pieced;
    for (quint32 i = 0; i < 4; ++i)
        pieced << QString(megabyte, dao) << varied(megabyte, 10 + i);
    const Case cases[] = {
        {"32767 x 道 in 100,000 x 道", {QString(chars(100000), dao)}, QString(32767, dao)},
        {"32,000 characters in 1,000,000", {million}, million.mid(million.size() / 2, 32000)},
        {"32767 x 道 in 8 entries of 1 MB", pieced, QString(32767, dao)},
        {"32,000 characters in 8 entries of 1 MB", pieced,
         pieced[5].mid(pieced[5].size() / 2, 32000)},
    };
    std::printf("%-44s %-8s %6s %5s %5s %10s %10s %9s\n", "query and journal", "way", "hits",
                "index", "cut", "ms", "cpu ms", "+peak MB");
    QTemporaryDir dir;
    int n = 0;
    for (const Case &c : cases)
        run(dir.filePath(QStringLiteral("limits%1.db").arg(n++)), c);
    std::printf(over ? "some search went past 2 s or 100 MB\n"
                     : "every search within 2 s and 100 MB\n");
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Times journal search on generated journals: the answer for queries of one,
// two and many characters, Latin words, several words and no hit, through
// the search call the window's worker makes and through the window itself;
// a save with the index in place; and what the index adds to the store.
// Usage: search_bench [runs] [entries...]     (defaults 15, 100000 1000000)

#include "core/journalindex.h"
#include "core/recordset.h"
#include "core/searchtext.h"
#include "core/store.h"
#include "generate.h"
#include "journal/findjournalwindow.h"

#include "sql.h"
#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const QString &what, const std::vector<double> &ms, const QString &extra = {}) {
    std::printf("  %-36s median %8.2f ms   max %8.2f ms  %s\n", qPrintable(what), median(ms),
                *std::max_element(ms.begin(), ms.end()), qPrintable(extra));
}

void benchSize(int entries, int runs) {
    QTemporaryDir dir;
    const QString path = dir.filePath("work.db");
    Store store;
    store.open(path);
    QElapsedTimer t;
    t.start();
    Generate::journal(store, entries);
    qint64 textBytes = 0;
    {
        SqlQuery q(store.nativeHandle());
        q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        q.exec(QStringLiteral("SELECT sum(length(CAST(things AS BLOB))) FROM diary"));
        q.next();
        textBytes = q.value(0).toLongLong();
    }
    const qint64 before = QFileInfo(path).size();
    const double indexing = Generate::indexJournal(store);
    SqlQuery(store.nativeHandle()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    const qint64 after = QFileInfo(path).size();
    std::printf("%d entries: generated in %.1f s, indexed in %.1f s; text %.1f MB, store %.1f -> "
                "%.1f MB, growth %.2f x the text\n",
                entries, double(t.elapsed()) / 1000.0 - indexing, indexing, double(textBytes) / 1e6,
                double(before) / 1e6, double(after) / 1e6,
                double(after - before) / double(std::max<qint64>(1, textBytes)));

    // The window's worker reads through a read-only connection of its own.
    sqlite3 *reader = nullptr;
    sqlite3_open_v2(store.readerUri().constData(), &reader, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                    nullptr);
    SearchText::registerTokenizer(reader);
    const char *queries[][2] = {
        {"one common character", "天"},  {"one rare character", "钓"},
        {"two characters", "公园"},      {"many characters", "湖边钓鱼孩子"},
        {"Latin word", "coffee"},        {"two words", "meeting 风筝"},
        {"a phrase", "\"散步看见\""},    {"no hit, Chinese", "长城"},
        {"no hit, one character", "龙"}, {"no hit, Latin", "zebra"},
    };
    for (const auto &[what, query] : queries) {
        qint64 count = 0;
        std::vector<double> first, whole;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer q;
            q.start();
            double shown = -1;
            count =
                JournalIndex::search(
                    reader, QString::fromUtf8(query), 500, {}, JournalIndex::Way::IndexWhenReady,
                    [&](const JournalIndex::Answer &) { shown = double(q.nsecsElapsed()) / 1e6; })
                    .count;
            whole.push_back(double(q.nsecsElapsed()) / 1e6);
            first.push_back(shown < 0 ? whole.back() : shown);
        }
        report(QStringLiteral("first hits: %1").arg(QString::fromUtf8(what)), first,
               QStringLiteral("(%1 hits; whole answer %2 ms)")
                   .arg(count)
                   .arg(median(whole), 0, 'f', 2));
    }
    sqlite3_close(reader);

    FindJournalWindow window(&store, nullptr);
    window.show();
    for (const char *query : {"天", "湖边钓鱼孩子", "长城"}) {
        std::vector<double> first, whole;
        for (int i = 0; i < runs; ++i) {
            window.queryBox->setText(QString());
            window.searchNow();
            QElapsedTimer q;
            q.start();
            window.queryBox->setText(QString::fromUtf8(query));
            window.searchNow();
            double shown = -1;
            while (!window.countLabel->text().startsWith(QStringLiteral("共"))) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                if (shown < 0 && !window.countLabel->text().isEmpty())
                    shown = double(q.nsecsElapsed()) / 1e6;
            }
            whole.push_back(double(q.nsecsElapsed()) / 1e6);
            first.push_back(shown < 0 ? whole.back() : shown);
        }
        report(QStringLiteral("window, first results: %1").arg(QString::fromUtf8(query)), first,
               QStringLiteral("(whole answer %1 ms)").arg(median(whole), 0, 'f', 2));
    }
    RecordSet diary(&store, QStringLiteral("diary"));
    diary.open().isOk();
    QRandomGenerator rng(7);
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const QString text = Generate::entryText(rng);
        QElapsedTimer q;
        q.start();
        if (!diary.append({{QStringLiteral("dates"), QStringLiteral("20300101")},
                           {QStringLiteral("things"), text}}))
            std::printf("  a save failed\n");
        ms.push_back(double(q.nsecsElapsed()) / 1e6);
    }
    report(QStringLiteral("save with the index in place"), ms);
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(std::max(1, atoi(argv[i])));
    if (sizes.empty())
        sizes = {100000, 1000000};
    for (int entries : sizes)
        benchSize(entries, runs);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Times snapshots of generated notebooks: how long one takes and how big it
// is, the longest the event loop waits while one is written (with a save
// every 200 ms on the window's thread), the time to build and show the main
// window with a snapshot being written beside it and without, a merge of the
// notebook into an empty one, and salvage.
// Usage: backup_bench [entries...]     (defaults 100000 1000000)

#include "app/mainwindow.h"
#include "backups/backupkeeper.h"
#include "core/notebookmerge.h"
#include "core/recordset.h"
#include "core/snapshots.h"
#include "core/statement.h"
#include "core/store.h"
#include "generate.h"
#include "music/backgroundmusic.h"
#include "silentplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

double megabytes(qint64 bytes) {
    return double(bytes) / (1024 * 1024);
}

// The longest gap between ticks of a 1 ms timer while the keeper writes a
// snapshot, with a journal save every 200 ms meanwhile.
double longestWait(Store &store, const QString &folder, double *seconds) {
    BackupKeeper keeper(store.path(), folder);
    RecordSet journal(&store, QStringLiteral("diary"));
    (void)journal.open();
    QElapsedTimer clock, sinceTick, sinceSave;
    double longest = 0;
    bool done = false;
    clock.start();
    keeper.snapshot([&](const Snapshots::Outcome &out) {
        done = true;
        *seconds = double(clock.elapsed()) / 1000.0;
        if (!out.result)
            std::printf("  snapshot failed: %s\n", qPrintable(out.result.message()));
    });
    QTimer tick;
    tick.setInterval(1);
    sinceTick.start();
    sinceSave.start();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
        if (sinceSave.elapsed() > 200) {
            (void)journal.append({{QStringLiteral("dates"), QStringLiteral("20261209")},
                                  {QStringLiteral("things"), QStringLiteral("written meanwhile")}});
            sinceSave.restart();
        }
        sinceTick.restart();
    });
    tick.start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return longest;
}

// Building and showing the window, the journal's rows read; a snapshot
// started just before when asked.
double timeToWindow(Store &store, const QString &folder, bool snapshotting) {
    std::unique_ptr<BackupKeeper> keeper;
    if (snapshotting) {
        keeper = std::make_unique<BackupKeeper>(store.path(), folder);
        keeper->snapshot();
    }
    QElapsedTimer t;
    t.start();
    MainWindow window(&store, nullptr, MainWindow::Start::Deferred);
    window.show();
    QCoreApplication::processEvents();
    window.completeStart();
    QCoreApplication::processEvents();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    while (keeper && keeper->isWorking())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return ms;
}

void benchSize(int entries) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("work.db"));
    {
        Store store;
        store.open(path);
        Generate::journal(store, entries);
        Generate::contacts(store, 2000);
        Generate::indexJournal(store);
        execute(store.nativeHandle(), "PRAGMA wal_checkpoint(TRUNCATE)");
    }
    std::printf("%d entries, store %.0f MB\n", entries, megabytes(QFileInfo(path).size()));
    Store store;
    store.open(path);
    const QString folder = dir.filePath(QStringLiteral("backups"));
    double seconds = 0;
    const double wait = longestWait(store, folder, &seconds);
    const auto all = Snapshots::list(folder);
    std::printf("  snapshot %.2f s, %.0f MB; longest event-loop wait meanwhile %.1f ms\n", seconds,
                megabytes(all.empty() ? 0 : all.front().bytes), wait);
    // The same written at once, as quillary --backup does at normal priority.
    QElapsedTimer direct;
    direct.start();
    const Snapshots::Outcome once =
        Snapshots::write(path, dir.filePath(QStringLiteral("direct.db")));
    std::printf("  at normal priority on this thread %.2f s%s\n", double(direct.elapsed()) / 1000.0,
                once.result ? "" : " (failed)");
    QFile::remove(dir.filePath(QStringLiteral("direct.db")));
    std::vector<double> with, without;
    for (int run = 0; run < 3; ++run) {
        without.push_back(timeToWindow(store, folder, false));
        with.push_back(timeToWindow(store, folder, true));
    }
    std::sort(with.begin(), with.end());
    std::sort(without.begin(), without.end());
    std::printf("  window built and shown: median %.0f ms without a snapshot, %.0f ms with one "
                "(%.2f x)\n",
                without[1], with[1], with[1] / without[1]);
    QElapsedTimer t;
    t.start();
    const QString empty = dir.filePath(QStringLiteral("empty.db"));
    {
        Store fresh;
        fresh.open(empty);
    }
    const NotebookMerge::Outcome merged = NotebookMerge::merge(empty, path);
    std::printf("  merge into an empty notebook %.2f s (%lld entries)",
                double(t.elapsed()) / 1000.0, merged.rows.entries);
    t.restart();
    const NotebookMerge::Outcome again = NotebookMerge::merge(empty, path);
    std::printf(", again %.2f s (%lld)\n", double(t.elapsed()) / 1000.0, again.rows.entries);
    t.restart();
    const NotebookMerge::Outcome saved =
        NotebookMerge::salvage(path, dir.filePath(QStringLiteral("saved.db")));
    std::printf("  salvage of the sound notebook %.2f s (%lld entries)\n",
                double(t.elapsed()) / 1000.0, saved.rows.entries);
}

} // namespace

int main(int argc, char *argv[]) {
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<SilentPlayer>(); });
    QApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << atoi(argv[i]);
    if (sizes.isEmpty())
        sizes = {100000, 1000000};
    for (int entries : sizes)
        benchSize(entries);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Times the interface operations on a generated store of realistic size:
// the journal's on 100,000 entries, stepping through contacts and photos,
// and the longest a key waits while an entry of a million characters is
// kept as a draft.
// Usage: ops_bench [entries] [runs]     (defaults 100000 and 25)

#include "app/mainwindow.h"
#include "contacts/contactspanel.h"
#include "core/recordset.h"
#include "core/store.h"
#include "generate.h"
#include "journal/entrylistmodel.h"
#include "journal/journalpanel.h"
#include "music/backgroundmusic.h"
#include "pages.h"
#include "photos/photopanel.h"
#include "silentplayer.h"
#include "widgets/interaction.h"
#include "widgets/picturebutton.h"

#include "sql.h"
#include <QApplication>
#include <QCalendarWidget>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QListView>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

class AlwaysOk : public Interaction {
public:
    bool confirm(QWidget *, const QString &, const QString &) override { return true; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char *what, const std::vector<double> &ms) {
    std::printf("%-34s median %8.2f ms   max %8.2f ms   (%zu runs)\n", what, median(ms),
                *std::max_element(ms.begin(), ms.end()), ms.size());
}

std::vector<double> timeRuns(int runs, const std::function<void(int)> &op) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        op(i);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 25;

    QTemporaryDir dir;
    {
        Store store;
        store.open(dir.filePath("work.db"));
        QElapsedTimer t;
        t.start();
        Generate::journal(store, entries);
        Generate::indexJournal(store); // as a store in use has it
        Generate::contacts(store, 1000);
        Generate::photos(store, 1000, dir.filePath("pictures"));
        std::printf("generated %d entries in %.1f s\n", entries, double(t.elapsed()) / 1000.0);
    }
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<SilentPlayer>(); });
    AlwaysOk ok;
    Interaction::install(&ok);
    QRandomGenerator rng(1);

    std::vector<double> startup = timeRuns(std::max(3, runs / 5), [&](int) {
        Store store;
        store.open(dir.filePath("work.db"));
        MainWindow diary(&store);
    });
    report("start-up (store, window, list)", startup);

    Store store;
    store.open(dir.filePath("work.db"));
    MainWindow diary(&store);
    diary.show();
    JournalPage j(&diary);
    const QDate first(1990, 1, 1);
    const int days = int(entries / 1.5);
    auto randomDay = [&] { return first.addDays(rng.bounded(days)); };

    report("list fill (loaddata)", timeRuns(runs, [&](int) {
               j->reloadList();
               j.entryList()->model()->index(0, 0).data(); // the first screenful is read
           }));
    report("date click", timeRuns(runs, [&](int) {
               j.calendar()->setSelectedDate(randomDay());
               j->showEntryOfSelectedDay();
           }));
    report("list click", timeRuns(runs, [&](int) {
               j->showListedEntry(j.entries()->index(int(rng.bounded(j.entries()->rowCount()))));
           }));
    report("month switch (days with entries)", timeRuns(runs, [&](int) {
               const QDate d = randomDay();
               j.calendar()->setCurrentPage(d.year(), d.month());
           }));
    report("save with list refill", timeRuns(runs, [&](int) {
               j.calendar()->setSelectedDate(randomDay());
               j.editor()->setPlainText(Generate::entryText(rng));
               j->saveEntry();
               QCoreApplication::processEvents();
           }));
    report("delete with list refill", timeRuns(runs, [&](int) {
               j.calendar()->setSelectedDate(randomDay());
               j->deleteEntry();
               QCoreApplication::processEvents();
           }));
    // Keys at a typist's pace into a million characters: what a key waits
    // for is its own handling, or the draft handed over after a pause.
    j.calendar()->setSelectedDate(first.addDays(days + 10));
    j->showEntryOfSelectedDay();
    j.editorText()->setText(QString(1'000'000, QChar(0x65e5)));
    QCoreApplication::processEvents();
    j.editor()->moveCursor(QTextCursor::Start);
    for (int i = 0; i < 200; ++i) { // the window fills between events
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    std::vector<double> keys, drafts;
    for (int i = 0; i < runs * 8; ++i) {
        QThread::msleep(40);
        QElapsedTimer t;
        t.start();
        QCoreApplication::processEvents(); // the draft's turn, when it is due
        drafts.push_back(double(t.nsecsElapsed()) / 1e6);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("字"));
        t.restart();
        QApplication::sendEvent(j.editor(), &press);
        keys.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    report("key into 1,000,000 characters", keys);
    report("events between keys (draft kept)", drafts);
    std::vector<double> handOver;
    for (int i = 0; i < runs; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("字"));
        QApplication::sendEvent(j.editor(), &press);
        QElapsedTimer t;
        t.start();
        j->keepDraftNow();
        handOver.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    report("draft hand-over, 1,000,000 characters", handOver);
    ContactsPage c(&diary);
    report("contact step (1,000 contacts)", timeRuns(runs * 4, [&](int i) {
               if ((i / 20) % 2)
                   c->showPrevious();
               else
                   c->showNext();
           }));
    PhotoPage p(&diary);
    diary.photoPageButton->click();
    report("photo step until its preview (1,000)", timeRuns(runs * 4, [&](int i) {
               if ((i / 20) % 2)
                   p->showPreviousPhoto();
               else
                   p->showNextPhoto();
               while (p->isDecoding())
                   QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
           }));
    Interaction::install(nullptr);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Times a chapter click and a day click on very long texts, through the reading
// pane and an editor like the journal's: first screen, then the longest the
// event loop waits (the click included) while the rest goes in and while the
// user scrolls to the end.
// A chapter kept at 80 % is reopened through the catalogue's choice: the time
// until its line is at the top and the longest wait meanwhile.
// A save of a journal entry of megabytes, from the click on the save label
// until the list and the calendar show it: the longest the event loop waits.
// Then keys typed into such an entry and into a line of a million characters,
// and a day click on it with the draft of those keys.
// Uses the real novels beside the project when present, generated text otherwise.
// Usage: chapter_bench [runs] [megabytes saved] [journal]   (defaults 15 and 50;
// "journal" leaves the chapters out)

#include "app/mainwindow.h"
#include "core/apppaths.h"
#include "core/catalogue.h"
#include "core/store.h"
#include "fakeinteraction.h"
#include "journal/journalpanel.h"
#include "music/backgroundmusic.h"
#include "novels/novelpanel.h"
#include "pages.h"
#include "silentplayer.h"
#include "widgets/textwindow.h"

#include "sql.h"
#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Times this thread gave up the processor: blocked (voluntary) or pushed off
// by another thread (involuntary).
std::pair<long, long> switches() {
    rusage r{};
    getrusage(RUSAGE_THREAD, &r);
    return {r.ru_nvcsw, r.ru_nivcsw};
}

// The longest wait of the event loop while work runs, seen by a 1 ms timer;
// and the most processor time this thread spent between two turns, which a
// busy machine does not inflate. Of the longest wait: the processor time in
// it, and how often the thread blocked or was pushed off meanwhile, which
// tells the program's own work from a machine that is busy elsewhere.
struct StallWatch {
    QElapsedTimer clock;
    qint64 last = 0;
    double worst = 0;
    double lastCpu = threadCpuMs(), worstCpu = 0;
    std::pair<long, long> lastSwitches = switches();
    double worstGapCpu = 0;
    long worstBlocked = 0, worstPushed = 0;
    QTimer tick;
    StallWatch() {
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [this] { note(); });
        clock.start();
        tick.start();
    }
    void note() {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = threadCpuMs();
        const std::pair<long, long> now2 = switches();
        if (double(now - last) / 1e6 > worst) {
            worst = double(now - last) / 1e6;
            worstGapCpu = cpu - lastCpu;
            worstBlocked = now2.first - lastSwitches.first;
            worstPushed = now2.second - lastSwitches.second;
        }
        last = now;
        worstCpu = std::max(worstCpu, cpu - lastCpu);
        lastCpu = cpu;
        lastSwitches = now2;
    }
};

// Runs the event loop until the document has stopped changing for 50 ms.
void settle(QTextEdit *pane) {
    QElapsedTimer quiet;
    quiet.start();
    int last = -1;
    while (quiet.elapsed() < 50) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const int now = pane->document()->characterCount();
        if (now != last)
            quiet.restart();
        last = now;
    }
}

struct Times {
    std::vector<double> first, feed, scroll, busy, gapCpu, blocked, pushed;
    void noteWorst(const StallWatch &w) {
        feed.push_back(w.worst);
        busy.push_back(w.worstCpu);
        gapCpu.push_back(w.worstGapCpu);
        blocked.push_back(double(w.worstBlocked));
        pushed.push_back(double(w.worstPushed));
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
double most(const std::vector<double> &v) {
    return *std::max_element(v.begin(), v.end());
}

void measure(const char *what, int runs, QTextEdit *pane, TextWindow *window,
             const std::function<void()> &click) {
    Times t;
    for (int i = 0; i < runs; ++i) {
        window->setText(QString());
        settle(pane);
        StallWatch feeding;
        QElapsedTimer clock;
        clock.start();
        click();
        // The first screen: text in the document, painted.
        while (pane->document()->isEmpty())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QCoreApplication::processEvents();
        t.first.push_back(double(clock.nsecsElapsed()) / 1e6);
        settle(pane);
        t.feed.push_back(feeding.worst);
        StallWatch watch;
        QScrollBar *bar = pane->verticalScrollBar();
        for (int step = 0; step < 40; ++step) { // the user drags to the end, and again
            bar->setValue(bar->maximum());
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        t.scroll.push_back(watch.worst);
    }
    std::printf("%-44s first screen %6.1f ms (max %6.1f) | longest wait: feeding %5.1f ms "
                "(max %5.1f), scrolling %5.1f ms (max %5.1f)\n",
                what, median(t.first), most(t.first), median(t.feed), most(t.feed),
                median(t.scroll), most(t.scroll));
}

// Of the longest waits: the processor time the window's thread spent in them,
// and how often it blocked or was pushed off the processor meanwhile.
void printWorstGap(const Times &t) {
    std::printf("%-44s in the longest wait: own work %5.1f ms (max %5.1f), blocked %3.0f times, "
                "pushed off %3.0f times (medians)\n",
                "", median(t.gapCpu), most(t.gapCpu), median(t.blocked), median(t.pushed));
}

// Keeps a place at 80 % of the chapter in the pane, then chooses the novel
// again as the catalogue does, until the pane is back at that line. False
// when it came back elsewhere.
bool measureReopening(int runs, NovelPanel &reader, const NovelPage &page, const QString &key) {
    // The whole chapter read: its first part, then the rest on the worker.
    auto whole = [&] { return page.paneText()->size() > 1000000; };
    page.chapterList()->setCurrentRow(0);
    reader.openChapter();
    while (!whole())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    settle(page.readingPane());
    page.paneText()->showOffset(page.paneText()->size() * 8 / 10);
    settle(page.readingPane());
    const qsizetype kept = page.paneText()->offsetAt(0);
    const double at = 100.0 * double(kept) / double(page.paneText()->size());
    reader.keepReadingPlace();
    Times t;
    bool sameLine = true;
    for (int i = 0; i < runs; ++i) {
        // The page button keeps the place and empties the pane before the
        // catalogue comes up; the choice made there is what is timed.
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        reader.openCatalogue();
        settle(page.readingPane());
        StallWatch watch;
        QElapsedTimer clock;
        clock.start();
        reader.chooseNovel(key);
        while ((!whole() || page.paneText()->offsetAt(0) != kept) && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        t.first.push_back(double(clock.nsecsElapsed()) / 1e6);
        settle(page.readingPane());
        t.feed.push_back(watch.worst);
        sameLine = sameLine && page.paneText()->offsetAt(0) == kept;
    }
    std::printf(
        "%-44s at its line %6.1f ms (max %6.1f) | longest wait %5.1f ms (max %5.1f) | "
        "same line: %s\n",
        qPrintable(QStringLiteral("reopening 6 MB chapter kept at %1 %").arg(at, 0, 'f', 1)),
        median(t.first), most(t.first), median(t.feed), most(t.feed), sameLine ? "yes" : "NO");
    return sameLine;
}

// Typed (as far as the drafts know) and saved on a day of its own each run.
// False when what was stored differs from what was typed.
bool measureSave(int runs, int megabytes, Store &store, MainWindow &diary, const JournalPage &j) {
    FakeInteraction yes;
    const QString text(megabytes * 1024 * 1024 / 3, u'天');
    Times t;
    bool whole = true;
    for (int i = 0; i < runs; ++i) {
        const QDate day(2024, 2, 1 + i);
        j.calendar()->setSelectedDate(day);
        Q_EMIT j.calendar()->clicked(day);
        j.editorText()->setText(text);
        Q_EMIT j.editorText()->edited(); // a paste: the draft follows
        diary.savePendingEdits();
        settle(j.editor());
        const int rows = j.entries()->rowCount();
        StallWatch watch;
        QElapsedTimer clock;
        clock.start();
        j.saveButton()->click();
        while ((j.entries()->rowCount() <= rows ||
                j.calendar()->dateTextFormat(day).fontWeight() != QFont::Bold) &&
               clock.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        t.first.push_back(double(clock.nsecsElapsed()) / 1e6);
        settle(j.editor());
        t.noteWorst(watch);
        StallWatch idle; // what the machine alone costs, for as long
        while (idle.clock.elapsed() < std::min<qint64>(clock.elapsed(), 5000))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        t.scroll.push_back(idle.worst);
        const qint64 key = j.entries()
                               ->index(j.entries()->rowCount() - 1)
                               .data(EntryListModel::KeyRole)
                               .toLongLong();
        const std::optional<JournalEntry> stored = store.journalEntry(key);
        whole = whole && stored && stored->things == text;
    }
    std::printf("%-44s listed %9.1f ms (max %9.1f) | longest wait %5.1f ms (max %5.1f), "
                "idle alike %5.1f ms, its own work %5.1f ms (max %5.1f) | stored whole: %s\n",
                qPrintable(QStringLiteral("saving a %1 MB entry").arg(megabytes)), median(t.first),
                most(t.first), median(t.feed), most(t.feed), median(t.scroll), median(t.busy),
                most(t.busy), whole ? "yes" : "NO");
    printWorstGap(t);
    return whole;
}

void showDay(const JournalPage &j, QDate day) {
    j.calendar()->setSelectedDate(day);
    Q_EMIT j.calendar()->clicked(day);
}

// Runs the event loop until the editor holds the whole of an entry that long.
void readToEnd(const JournalPage &j, qsizetype size) {
    QElapsedTimer clock;
    clock.start();
    while (j.editorText()->size() < size && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    settle(j.editor());
}

// Keys typed into the first line seen half way down a day's long entry: the
// window thread's time per key, the key and its layout; then the longest wait while the typing
// pause hands the text to the drafts.
void measureTyping(const char *what, int runs, MainWindow &diary, const JournalPage &j, QDate day,
                   qsizetype size) {
    Times t;
    std::vector<double> perKey;
    for (int i = 0; i < runs; ++i) {
        showDay(j, QDate(2024, 1, 9));
        showDay(j, day);
        readToEnd(j, size);
        j.editorText()->showOffset(size / 2);
        settle(j.editor());
        j.editor()->setTextCursor(j.editor()->cursorForPosition(QPoint(20, 20)));
        StallWatch pause;
        for (int key = 0; key < 10; ++key) {
            const double before = threadCpuMs();
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("天"));
            QCoreApplication::sendEvent(j.editor(), &press);
            QCoreApplication::processEvents();
            perKey.push_back(threadCpuMs() - before);
        }
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        t.noteWorst(pause);
        diary.savePendingEdits();
    }
    std::printf("%-44s a key %5.1f ms (max %5.1f) | typing and its draft: longest wait %5.1f ms "
                "(max %5.1f), its own work %5.1f ms (max %5.1f)\n",
                what, median(perKey), most(perKey), median(t.feed), most(t.feed), median(t.busy),
                most(t.busy));
    printWorstGap(t);
}

// From act() until done() holds, the longest wait of the event loop.
void measureUntil(const char *what, int runs, const JournalPage &j,
                  const std::function<void()> &prepare, const std::function<void()> &act,
                  const std::function<bool()> &done) {
    Times t;
    for (int i = 0; i < runs; ++i) {
        prepare();
        settle(j.editor());
        StallWatch watch;
        QElapsedTimer clock;
        clock.start();
        act();
        while (!done() && clock.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        t.first.push_back(double(clock.nsecsElapsed()) / 1e6);
        settle(j.editor());
        t.noteWorst(watch);
    }
    std::printf("%-44s done %8.1f ms (max %8.1f) | longest wait %5.1f ms (max %5.1f), "
                "its own work %5.1f ms (max %5.1f)\n",
                what, median(t.first), most(t.first), median(t.feed), most(t.feed), median(t.busy),
                most(t.busy));
    printWorstGap(t);
}

// A day click on a long entry with a long draft, until the draft is offered;
// then the draft asked back, until the editor holds it.
void measureShowing(int megabytes, int runs, const JournalPage &j, QDate day) {
    QWidget *bar = j->findChild<QWidget *>(QStringLiteral("draftbar"));
    const QByteArray shown =
        QStringLiteral("showing a %1 MB entry with its draft").arg(megabytes).toUtf8();
    measureUntil(
        shown.constData(), runs, j, [&] { showDay(j, QDate(2024, 1, 9)); },
        [&] { showDay(j, day); }, [&] { return bar->isVisible(); });
    qsizetype before = 0;
    const QByteArray restored = QStringLiteral("restoring a %1 MB draft").arg(megabytes).toUtf8();
    measureUntil(
        restored.constData(), runs, j,
        [&] {
            showDay(j, day);
            while (!bar->isVisible())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            before = j.editorText()->size();
        },
        [&] { j->findChild<LabelButton *>(QStringLiteral("draftrestore"))->click(); },
        [&] { return j.editorText()->size() != before; });
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    const int savedMegabytes = argc > 2 ? std::max(1, atoi(argv[2])) : 50;
    const bool journalOnly = argc > 3 && qstrcmp(argv[3], "journal") == 0;

    QByteArray real;
    for (const char *novel : {"hlm", "shz"}) {
        const QDir folder(QStringLiteral(QUILLARY_SHARED_DATA "/story/") + QLatin1String(novel));
        for (int i = 1; folder.exists(QString::number(i)); ++i) {
            QFile f(folder.filePath(QString::number(i)));
            if (f.open(QIODevice::ReadOnly))
                real += f.readAll();
        }
    }
    const char *source = real.isEmpty() ? "generated" : "real";
    if (real.isEmpty()) {
        QString text;
        while (text.size() < 1024 * 1024)
            text +=
                QStringLiteral("　　话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。\n");
        real = QStringEncoder("GB18030").encode(text);
    }

    // The reading pane as a chapter click fills it, from the user's own folder.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QCoreApplication::setApplicationName(QStringLiteral("quillary"));
    QWidget shell;
    QTimer scrollTimer;
    NovelPanel reader(&shell, &scrollTimer);
    const NovelPage page(&shell);
    shell.resize(640, 480);
    shell.show();
    const Catalogue::Novel novel = Catalogue::novels().first();
    const QString folder = AppPaths::userChapterFolder(novel.folder);
    QDir().mkpath(folder);
    reader.chooseNovel(novel.key);
    bool reopened = true;
    for (const int megabytes : journalOnly ? std::vector<int>{} : std::vector<int>{2, 6, 60}) {
        QByteArray gbk;
        while (gbk.size() < megabytes * 1024 * 1024)
            gbk += real;
        gbk.truncate(megabytes * 1024 * 1024);
        QFile out(folder + QStringLiteral("/1"));
        out.open(QIODevice::WriteOnly);
        out.write(gbk);
        out.close();
        const QByteArray what = QStringLiteral("%1 MB GBK chapter (%2 text)")
                                    .arg(megabytes)
                                    .arg(QLatin1String(source))
                                    .toUtf8();
        measure(what.constData(), megabytes > 6 ? std::max(1, runs / 5) : runs, page.readingPane(),
                page.paneText(), [&] {
                    page.chapterList()->setCurrentRow(0);
                    reader.openChapter();
                });
        if (megabytes == 6)
            reopened = measureReopening(runs, reader, page, novel.key);
    }
    // A day click in the journal on an entry written elsewhere as one line.
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<SilentPlayer>(); });
    Store store;
    store.open(home.filePath(QStringLiteral("work.db")));
    SqlQuery insert(store.nativeHandle());
    insert.prepare(QStringLiteral("INSERT INTO diary VALUES (?, ?)"));
    for (const int millions : {1, 20}) {
        insert.bindValue(0, QStringLiteral("2024010%1").arg(millions == 1 ? 1 : 2));
        insert.bindValue(1, QString(millions * 1000000, u'天'));
        insert.exec();
    }
    MainWindow diary(&store);
    diary.show();
    JournalPage j(&diary);
    QCoreApplication::processEvents();
    for (const int millions : {1, 20}) {
        const QByteArray what =
            QStringLiteral("day click, %1,000,000 characters on one line").arg(millions).toUtf8();
        measure(
            what.constData(), millions > 1 ? std::max(1, runs / 5) : runs, j.editor(),
            j.editorText(), [&] {
                for (const QDate day : {QDate(2024, 1, 9), QDate(2024, 1, millions == 1 ? 1 : 2)}) {
                    j.calendar()->setSelectedDate(day); // first a day without an entry
                    Q_EMIT j.calendar()->clicked(day);
                }
            });
    }
    const int saves = std::clamp(runs / 5, 1, 3);
    const bool saved = measureSave(saves, savedMegabytes, store, diary, j);
    const qsizetype savedSize = qsizetype(savedMegabytes) * 1024 * 1024 / 3;
    measureTyping("typing into 1,000,000 characters on one line", saves, diary, j,
                  QDate(2024, 1, 1), 1000000);
    const QByteArray typed =
        QStringLiteral("typing into a %1 MB entry").arg(savedMegabytes).toUtf8();
    measureTyping(typed.constData(), saves, diary, j, QDate(2024, 2, 1), savedSize);
    measureShowing(savedMegabytes, saves, j, QDate(2024, 2, 1));
    return reopened && saved ? 0 : 1;
}

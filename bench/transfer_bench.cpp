// SPDX-License-Identifier: GPL-3.0-or-later
// Times exports and imports through the real dialogs: the journal to each
// format and back into an empty notebook, the contacts to vCard and back,
// and the longest the window's event loop waited meanwhile.
// Usage: transfer_bench [entries] [contacts]     (defaults 100000 and 10000)

#include "core/journalexport.h"
#include "core/recordset.h"
#include "core/store.h"
#include "generate.h"
#include "transfer/exportdialog.h"
#include "transfer/importdialog.h"
#include "widgets/interaction.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

class AlwaysOk : public Interaction {
public:
    bool confirm(QWidget *, const QString &, const QString &) override { return true; }
};

// The event the window's thread spent most processor time on, outermost
// deliveries only: where a long wait of the loop came from.
struct Slowest {
    double ms = 0;
    QByteArray what;
} slowestEvent;

class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;

private:
    int m_depth = 0;
};

struct Run {
    double seconds, cpuSeconds, longestWaitMs, longestBusyMs;
    double closeMs = -1; // the dialog closed and gone, after an import
    double closeBusyMs = 0;
    qint64 logBytes = -1; // the store's log file then
};

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Runs the event loop until done says so: the seconds it took, the
// processor time of all threads (on a busy machine the two differ), the
// longest gap between two ticks of a 1 ms timer (the loop's longest wait),
// and the most processor time the window's thread spent between two ticks
// (that wait without the time other programs had the processor).
Run runLoop(const std::function<bool()> &done) {
    slowestEvent = {};
    const std::clock_t cpu = std::clock();
    QElapsedTimer clock, gap;
    double longest = 0, busiest = 0, busyFrom = threadCpuMs();
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
        gap.restart();
        const double now = threadCpuMs();
        busiest = std::max(busiest, now - busyFrom);
        busyFrom = now;
    });
    clock.start();
    gap.start();
    tick.start();
    // Sleeps between events as a window does: the overload with a time limit
    // drops WaitForMoreEvents and would spin, taking a core from the work.
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {double(clock.nsecsElapsed()) / 1e9, double(std::clock() - cpu) / CLOCKS_PER_SEC,
            longest, busiest};
}

bool TimedApplication::notify(QObject *receiver, QEvent *event) {
    if (m_depth > 0 || QThread::currentThread() != thread())
        return QApplication::notify(receiver, event);
    const QByteArray what = QByteArray(receiver->metaObject()->className()) + ' ' +
                            receiver->objectName().toUtf8() + " event " +
                            QByteArray::number(int(event->type()));
    const double from = threadCpuMs();
    ++m_depth;
    const bool handled = QApplication::notify(receiver, event);
    --m_depth;
    if (const double spent = threadCpuMs() - from; spent > slowestEvent.ms)
        slowestEvent = {spent, what};
    return handled;
}

template <typename T> T *child(QWidget *dialog, const char *name) {
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

Run exportThrough(Store &store, int what, int format, const QString &path) {
    ExportDialog dialog(&store, nullptr);
    child<QComboBox>(&dialog, "whatBox")->setCurrentIndex(what);
    child<QComboBox>(&dialog, "formatBox")->setCurrentIndex(format);
    child<QLineEdit>(&dialog, "pathEdit")->setText(path);
    dialog.show();
    auto *button = child<QPushButton>(&dialog, "exportButton");
    QTimer::singleShot(0, button, &QPushButton::click);
    bool started = false;
    return runLoop([&] {
        started = started || !button->isEnabled();
        return started && button->isEnabled();
    });
}

// The table read again as the main window does once told of the rows, in the
// loop that is timed.
Run importThrough(Store &store, int what, const QString &path) {
    auto dialog = std::make_unique<ImportDialog>(&store, nullptr);
    RecordSet records(&store, what == 2 ? QStringLiteral("address") : QStringLiteral("diary"));
    for (auto told : {&ImportDialog::journalImported, &ImportDialog::contactsImported})
        QObject::connect(dialog.get(), told, &records, [&] { (void)records.open(); });
    child<QComboBox>(dialog.get(), "whatBox")->setCurrentIndex(what);
    child<QLineEdit>(dialog.get(), "pathEdit")->setText(path);
    dialog->show();
    auto *button = child<QPushButton>(dialog.get(), "importButton");
    auto *status = child<QLabel>(dialog.get(), "statusLabel");
    QTimer::singleShot(0, dialog.get(), &ImportDialog::preview);
    bool pressed = false;
    Run run = runLoop([&] {
        if (!pressed && button->isEnabled()) {
            pressed = true;
            button->click();
        }
        return status->text().startsWith(QStringLiteral("已导入")) ||
               status->text().startsWith(QStringLiteral("没有"));
    });
    QElapsedTimer closing;
    closing.start();
    const double busyFrom = threadCpuMs();
    dialog->close();
    dialog.reset();
    run.closeMs = double(closing.nsecsElapsed()) / 1e6;
    run.closeBusyMs = threadCpuMs() - busyFrom;
    run.logBytes = QFileInfo(store.path() + QStringLiteral("-wal")).size();
    return run;
}

void report(const char *what, const Run &run) {
    std::printf("%-30s %7.2f s (processor %6.2f s)   longest wait %6.1f ms (busy %5.1f ms)", what,
                run.seconds, run.cpuSeconds, run.longestWaitMs, run.longestBusyMs);
    if (run.closeMs >= 0)
        std::printf("   closed in %.1f ms (busy %.1f ms), log %.1f MB", run.closeMs,
                    run.closeBusyMs, double(run.logBytes) / (1 << 20));
    std::printf("\n    slowest event %.1f ms: %s\n", slowestEvent.ms,
                slowestEvent.what.constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[]) {
    TimedApplication app(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int contacts = argc > 2 ? std::atoi(argv[2]) : 10000;
    AlwaysOk ok;
    Interaction::install(&ok);
    QTemporaryDir dir;
    Store source;
    source.open(dir.filePath("source.db"));
    Generate::journal(source, entries);
    // As a store in use has it: built in the background instead, it would
    // take the processor from every export and import timed below.
    Generate::indexJournal(source);
    Generate::contacts(source, contacts);
    std::printf("%d entries, %d contacts\n", entries, contacts);
    const struct {
        const char *name, *suffix;
    } formats[] = {{"Markdown", "md"}, {"text", "txt"}, {"HTML", "html"}};
    for (int f = 0; f < 3; ++f) {
        const QString file = dir.filePath(QStringLiteral("j.") + formats[f].suffix);
        report(qPrintable(QStringLiteral("journal export, %1").arg(formats[f].name)),
               exportThrough(source, 0, f, file));
        if (f == 2)
            break;
        Store target;
        target.open(dir.filePath(QStringLiteral("target-%1.db").arg(f)));
        report(qPrintable(QStringLiteral("journal import, %1").arg(formats[f].name)),
               importThrough(target, 0, file));
    }
    report("contacts export, vCard 4.0", exportThrough(source, 1, 0, dir.filePath("c.vcf")));
    Store target;
    target.open(dir.filePath("contacts.db"));
    report("contacts import, vCard 4.0", importThrough(target, 2, dir.filePath("c.vcf")));
    Interaction::install(nullptr);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Kills the program with SIGKILL at random moments while it saves and
// deletes journal entries, contacts and photos (and, in crash_files.cpp,
// while it imports novels and renders songs), and checks the store after
// every kill: it passes SQLite's integrity check, every save that had
// returned is there exactly once, a delete that had returned took its row
// and no other, and no row holds parts of another. Snapshots are written
// all the while and notebooks merged in, so kills land in those too: a
// merge that returned brought its rows once, and no snapshot cut short is
// ever counted. Then kills it while a user types into the journal, and
// checks that each key typed a second before the kill is in the day's draft.
// Usage: crash_harness <kills>      (the child modes are internal)

#include "app/backupcoordinator.h"
#include "app/mainwindow.h"
#include "backups/backupkeeper.h"
#include "contacts/contactspanel.h"
#include "core/daykey.h"
#include "core/drafts.h"
#include "core/journalindex.h"
#include "core/notebookmerge.h"
#include "core/searchtext.h"
#include "core/snapshots.h"
#include "core/store.h"
#include "crash_files.h"
#include "journal/journalpanel.h"
#include "music/backgroundmusic.h"
#include "pages.h"
#include "photos/photopanel.h"
#include "silentplayer.h"
#include "widgets/interaction.h"

#include "sql.h"
#include <QApplication>
#include <QCalendarWidget>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

namespace {

class AlwaysOk : public Interaction {
public:
    bool confirm(QWidget *, const QString &, const QString &) override { return true; }
    QString chooseOpenFile(QWidget *, const QList<FileFilter> &) override { return picture; }
    QString picture;
};

// One line, written at once: a kill never leaves half of it.
void say(char op, const QString &mark) {
    if (op)
        std::printf("%c", op);
    std::printf("%s\n", qPrintable(mark));
    std::fflush(stdout);
}

// A notebook from elsewhere, with journal marks of its own on a day no run
// deletes from.
QStringList makeLaptop(const QString &path, quint32 seed) {
    {
        Store made;
        made.open(path);
    }
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    QStringList marks;
    for (int i = 0; i < 300; ++i) {
        marks << QStringLiteral("J L%1-%2").arg(seed).arg(i);
        const QByteArray sql = QStringLiteral("INSERT INTO diary VALUES ('17000101', '%1%2')")
                                   .arg(marks.last(), QString(i % 50, QChar(0x65e5)))
                                   .toUtf8();
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return marks;
}

// Saves and deletes forever. A save is announced once it has returned; a
// delete before it starts ("-") and once it has returned ("x"), so a kill
// in between leaves its row there or gone, and every other row as it was.
int child(const QString &dbPath, quint32 seed, int run) {
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<SilentPlayer>(); });
    AlwaysOk ok;
    Interaction::install(&ok);
    Store store;
    store.open(dbPath);
    MainWindow diary(&store);
    QRandomGenerator rng(seed);
    // Days no other run writes on, so the entry a day's delete takes is
    // known: the first saved there that is left.
    const QDate firstDay = QDate(1800, 1, 1).addDays(qint64(run % 20000) * 400);
    QMap<QDate, QStringList> journalDays;
    JournalPage j(&diary);
    ContactsPage c(&diary);
    PhotoPage p(&diary);
    const QString laptop = dbPath + QStringLiteral(".laptop-%1").arg(seed);
    const QStringList laptopMarks = makeLaptop(laptop, seed);
    for (int i = 0;; ++i) {
        const QString id = QStringLiteral("%1-%2").arg(seed).arg(i);
        switch (rng.bounded(10)) {
        case 8:
            diary.backups->keeper()->snapshot();
            QCoreApplication::processEvents();
            break;
        case 9:
            // Once merged, again it adds nothing.
            if (NotebookMerge::merge(dbPath, laptop).result)
                for (const QString &mark : laptopMarks)
                    say(0, mark);
            break;
        case 0:
        case 1: {
            const QDate day = firstDay.addDays(rng.bounded(400));
            j.calendar()->setSelectedDate(day);
            // Now and then one long enough to be indexed in pieces, or to be
            // written and deleted beside the window's thread.
            const int length =
                int(rng.bounded(25) == 0 ? 30000 + rng.bounded(400000) : rng.bounded(2000));
            j.editor()->setPlainText(QStringLiteral("J ") + id + QString(length, QChar(0x65e5)));
            j->saveEntry();
            journalDays[day] << id;
            say(0, QStringLiteral("J ") + id);
            break;
        }
        case 2:
        case 3:
            c->addContact();
            for (int f = 0; f < 10; ++f)
                c.field(f)->setText(id + QLatin1Char('|') + QString::number(f));
            c.field(0)->setText(QStringLiteral("C ") + id);
            c->saveContact();
            say(0, QStringLiteral("C ") + id);
            break;
        case 4:
        case 5:
            // As a person adds one: choose the picture, describe it, add it.
            ok.picture = QStringLiteral("/pictures/") + id + QStringLiteral(".jpg");
            p->choosePicture();
            p.descriptionBox()->setText(QStringLiteral("P ") + id);
            p->addPhoto();
            say(0, QStringLiteral("P ") + id);
            break;
        case 6: {
            if (journalDays.isEmpty())
                break;
            auto day = std::next(journalDays.begin(), rng.bounded(int(journalDays.size())));
            j.calendar()->setSelectedDate(day.key());
            const QString mark = QStringLiteral("J ") + day->takeFirst();
            if (day->isEmpty())
                journalDays.erase(day);
            say('-', mark);
            j->deleteEntry();
            say('x', mark);
            break;
        }
        default: {
            // The contact or photo on screen, a few steps away.
            const bool contact = rng.bounded(2) == 0;
            for (int step = int(rng.bounded(4)); step > 0; --step) {
                const bool back = rng.bounded(2) == 0;
                if (contact && back)
                    c->showPrevious();
                else if (contact)
                    c->showNext();
                else if (back)
                    p->showPreviousPhoto();
                else
                    p->showNextPhoto();
            }
            QString mark;
            if (contact) {
                mark = c.field(0)->text();
            } else {
                const QString path = p.pathBox()->text();
                if (path.startsWith(QLatin1String("/pictures/")) &&
                    path.endsWith(QLatin1String(".jpg")))
                    mark = QStringLiteral("P ") + path.mid(10).chopped(4);
            }
            if (!mark.startsWith(contact ? QLatin1String("C ") : QLatin1String("P ")))
                break;
            say('-', mark);
            if (contact)
                c->deleteContact();
            else
                p->deletePhoto();
            say('x', mark);
            break;
        }
        }
    }
}

QDate typingDay(int run) {
    return QDate(1700, 1, 1).addDays(run);
}

qint64 monotonicMs() {
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference();
}

// Types into the editor as a person does, a key at a time through the event
// loop, now quickly, now after a pause, and says after each key when it was
// and what it was.
int typist(const QString &dbPath, quint32 seed, int run) {
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<SilentPlayer>(); });
    Store store;
    store.open(dbPath);
    MainWindow diary(&store);
    diary.show();
    JournalPage j(&diary);
    j.calendar()->setSelectedDate(typingDay(run));
    j->showEntryOfSelectedDay();
    QRandomGenerator rng(seed);
    std::function<void()> key = [&] {
        const QString c(QChar(0x4e00 + int(rng.bounded(2000))));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, c);
        QApplication::sendEvent(j.editor(), &press);
        std::printf("%lld %s\n", monotonicMs(), c.toUtf8().constData());
        std::fflush(stdout);
        QTimer::singleShot(
            rng.bounded(12) == 0 ? 200 + int(rng.bounded(1500)) : 20 + int(rng.bounded(120)), key);
    };
    QTimer::singleShot(0, key);
    return QApplication::exec();
}

// Kills the typist at random moments; every key typed a second before the
// kill must be in the draft, and the draft holds nothing that was not typed.
// Gives the number of drafts that lost keys.
int killWhileTyping(const QString &folder, int kills, QRandomGenerator &rng, qint64 &longestLag) {
    const QString dbPath = folder + QStringLiteral("/typing.db");
    int lost = 0;
    for (int k = 0; k < kills; ++k) {
        QProcess proc;
        proc.setStandardErrorFile(QProcess::nullDevice());
        proc.start(QCoreApplication::applicationFilePath(),
                   {"--typist", dbPath, QString::number(rng.bounded(1000000)), QString::number(k)});
        proc.waitForStarted();
        QThread::msleep(1500 + rng.bounded(2500));
        ::kill(pid_t(proc.processId()), SIGKILL);
        const qint64 killedAt = monotonicMs();
        proc.waitForFinished(10000);
        QString typed, due;
        QList<qint64> times;
        QList<QByteArray> lines = proc.readAllStandardOutput().split('\n');
        lines.removeLast();
        for (const QByteArray &line : std::as_const(lines)) {
            const qsizetype space = line.indexOf(' ');
            times << line.left(space).toLongLong();
            typed += QString::fromUtf8(line.mid(space + 1));
            if (times.last() <= killedAt - 1000)
                due = typed;
        }
        const QDate day = typingDay(k);
        const std::optional<Drafts::Draft> draft =
            Drafts(Drafts::pathBeside(dbPath)).draft(dayKey(day.year(), day.month(), day.day()));
        const QString kept = draft ? draft->text : QString();
        if (!typed.startsWith(kept) || kept.size() < due.size()) {
            std::printf("typing kill %d: the draft kept %lld of %lld keys due, %lld typed\n", k,
                        qint64(kept.size()), qint64(due.size()), qint64(typed.size()));
            ++lost;
        } else if (kept.size() < typed.size()) {
            longestLag = std::max(longestLag, killedAt - times[kept.size()]);
        }
    }
    return lost;
}

// Asks the index and the plain reading of every entry for the journal
// marks of one run; they must agree (the other checks say whether the
// entries are there).
bool indexAgrees(const QString &path, const QSet<QString> &saved, const QSet<QString> &deleted,
                 qint64 &checked) {
    sqlite3 *db = nullptr;
    const auto close = qScopeGuard([&] { sqlite3_close(db); });
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK ||
        !SearchText::registerTokenizer(db))
        return true;
    // What the killed program left to build, or to take out of the index, is
    // done as the next start's builder does it.
    sqlite3_busy_timeout(db, 5000);
    for (int batches = 0; batches < 100000; ++batches)
        if (JournalIndex::buildSome(db, JournalIndex::BatchMs) != JournalIndex::Step::More)
            break;
    if (!JournalIndex::state(db).complete())
        return true; // nothing to hold it to
    for (const QSet<QString> *marks : {&saved, &deleted}) {
        // Reading every entry for each mark grows with the store: a few
        // marks a run are enough to catch an index that went astray.
        int asked = 0;
        for (const QString &mark : *marks) {
            if (!mark.startsWith(QLatin1String("J ")) || ++asked > 8)
                continue;
            const QString query = QLatin1Char('"') + mark + QLatin1Char('"');
            const JournalIndex::Answer indexed = JournalIndex::search(db, query, 10);
            const JournalIndex::Answer read =
                JournalIndex::search(db, query, 10, {}, JournalIndex::Way::ReadEveryEntry);
            // One mark may begin another ("J 5-1", "J 5-10").
            if (!indexed.indexed || indexed.count != read.count) {
                std::printf("%s: %lld in the index, %lld read\n", qPrintable(mark), indexed.count,
                            read.count);
                return false;
            }
            ++checked;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    if (const int status = CrashFiles::runChild(argc, argv); status >= 0)
        return status;
    if (argc == 5 && qstrcmp(argv[1], "--typist") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return typist(QString::fromLocal8Bit(argv[2]), quint32(atoll(argv[3])), atoi(argv[4]));
    }
    if (argc == 5 && qstrcmp(argv[1], "--child") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]), quint32(atoll(argv[3])), atoi(argv[4]));
    }
    QCoreApplication app(argc, argv);
    // The environment may ask for a longer run (or a briefer one).
    const QByteArray brief = qgetenv("QUILLARY_KILLS");
    const int kills = std::max(1, !brief.isEmpty() ? brief.toInt() : argc > 1 ? atoi(argv[1]) : 20);
    QTemporaryDir dir;
    const QString dbPath = dir.filePath("work.db");
    QRandomGenerator rng(quint32(QCoreApplication::applicationPid()));
    QSet<QString> kept; // every mark the store held at the last check
    int snapshotsChecked = 0, killedSnapshotting = 0;
    qint64 savesChecked = 0, deletesChecked = 0, searchesChecked = 0;
    int killedDeleting = 0, failures = 0;
    for (int k = 0; k < kills && failures == 0; ++k) {
        QProcess proc;
        proc.setProcessChannelMode(QProcess::SeparateChannels);
        proc.setStandardErrorFile(QProcess::nullDevice());
        proc.start(QCoreApplication::applicationFilePath(),
                   {"--child", dbPath, QString::number(rng.bounded(1000000) + k * 1000000),
                    QString::number(k)});
        proc.waitForStarted();
        QThread::msleep(150 + rng.bounded(500));
        ::kill(pid_t(proc.processId()), SIGKILL);
        proc.waitForFinished(10000);

        QSet<QString> saved, deleted;
        QString deleting; // announced, not returned
        QList<QByteArray> lines = proc.readAllStandardOutput().split('\n');
        lines.removeLast(); // what follows the last full line
        for (const QByteArray &line : std::as_const(lines)) {
            const bool del = line.startsWith('-') || line.startsWith('x');
            const QByteArray body = del ? line.mid(1) : line;
            if (body.size() < 3)
                continue;
            const QString mark = QString::fromLatin1(body);
            if (!del)
                saved.insert(mark);
            else if (line.startsWith('-'))
                deleting = mark;
            else {
                deleted.insert(mark);
                deleting.clear();
            }
        }

        // The search index says what the entries say: each returned save is
        // found once by its mark, each returned delete no longer.
        if (!indexAgrees(dbPath, saved, deleted, searchesChecked)) {
            std::printf("kill %d: the search index disagrees with the journal\n", k);
            ++failures;
        }
        // Snapshots cut short are cleaned up; every one listed is whole.
        const QString backups = Snapshots::folderFor(dbPath);
        if (!QDir(backups).entryList({QStringLiteral("*.part-*")}, QDir::Files).isEmpty())
            ++killedSnapshotting;
        Snapshots::cleanUp(backups);
        if (!QDir(backups).entryList({QStringLiteral("*.part-*")}, QDir::Files).isEmpty()) {
            std::printf("kill %d: a snapshot cut short was left behind\n", k);
            ++failures;
        }
        for (const Snapshots::Snapshot &snapshot : Snapshots::list(backups)) {
            sqlite3 *copy = Snapshots::openForReading(snapshot.path);
            sqlite3_stmt *check = nullptr;
            sqlite3_prepare_v2(copy, "PRAGMA quick_check", -1, &check, nullptr);
            const bool whole =
                sqlite3_step(check) == SQLITE_ROW &&
                qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(check, 0)), "ok") == 0;
            sqlite3_finalize(check);
            sqlite3_close(copy);
            if (!whole) {
                std::printf("kill %d: snapshot %s is not whole\n", k, qPrintable(snapshot.path));
                ++failures;
            }
            ++snapshotsChecked;
        }
        Store store;
        if (store.open(dbPath) != Store::State::Open) {
            QFile f(dbPath);
            f.open(QIODevice::ReadOnly);
            const QByteArray head = f.read(100);
            std::printf("kill %d: the store no longer opens (size %lld, wal %lld, header %s)\n", k,
                        f.size(), QFileInfo(dbPath + "-wal").size(), head.toHex().constData());
            ++failures;
            break;
        }
        sqlite3 *db = store.nativeHandle();
        SqlQuery q(db);
        if (!q.exec("PRAGMA integrity_check") || !q.next() || q.value(0).toString() != "ok") {
            std::printf("kill %d: integrity check failed\n", k);
            ++failures;
        }
        // How often each save's mark is stored, read in one pass per table.
        QHash<QString, int> stored;
        auto tally = [&](const char *sql) {
            SqlQuery rows(db);
            rows.setForwardOnly(true);
            rows.exec(QString::fromUtf8(sql));
            while (rows.next())
                ++stored[rows.value(0).toString()];
        };
        tally("SELECT rtrim(substr(things, 1, instr(things || '日', '日') - 1)) FROM diary");
        tally("SELECT name FROM address");
        tally("SELECT introduceph FROM photo");
        auto fault = [&](const QString &mark, const char *what) {
            std::printf("kill %d: %s %s (stored %d times)\n", k, qPrintable(mark), what,
                        stored.value(mark));
            ++failures;
        };
        // What was there stays, what was saved arrived once, what was
        // deleted is gone; the delete cut short may have gone either way.
        QSet<QString> expected = kept;
        expected.unite(saved).subtract(deleted).remove(deleting);
        for (const QString &mark : std::as_const(expected))
            if (stored.value(mark) != 1)
                fault(mark, saved.contains(mark) ? "saved" : "was there");
        for (const QString &mark : std::as_const(deleted))
            if (stored.value(mark) != 0)
                fault(mark, "deleted");
        if (!deleting.isEmpty()) {
            ++killedDeleting;
            if (stored.value(deleting) > 1)
                fault(deleting, "being deleted");
        }
        for (const QString &mark : std::as_const(saved))
            savesChecked += expected.contains(mark) ? 1 : 0;
        deletesChecked += deleted.size();
        kept.clear();
        for (auto m = stored.cbegin(); m != stored.cend(); ++m) {
            if (m.key().size() < 3 || m.key()[1] != QLatin1Char(' ') ||
                !QStringLiteral("JCP").contains(m.key()[0]))
                continue; // not a mark of ours: a row cut short before its text
            kept.insert(m.key());
            if (m.value() > 1 && !expected.contains(m.key()))
                fault(m.key(), "stored twice");
        }
        // No row holds parts of another: each contact's fields and each
        // photo's path belong to one save.
        q.exec("SELECT count(*) FROM address WHERE name LIKE 'C %' AND ("
               "nickname <> substr(name, 3) || '|1' OR homeaddress <> substr(name, 3) || '|8' OR "
               "code <> substr(name, 3) || '|9')");
        if (q.next() && q.value(0).toInt() != 0) {
            std::printf("kill %d: a contact mixes two saves\n", k);
            ++failures;
        }
        q.exec("SELECT count(*) FROM photo WHERE introduceph LIKE 'P %' AND "
               "photopath <> '/pictures/' || substr(introduceph, 3) || '.jpg'");
        if (q.next() && q.value(0).toInt() != 0) {
            std::printf("kill %d: a photo mixes two saves\n", k);
            ++failures;
        }
    }
    qint64 longestLag = 0;
    const int typingKills = std::max(4, kills / 3);
    const int draftsLost = failures ? 0 : killWhileTyping(dir.path(), typingKills, rng, longestLag);
    failures += draftsLost;
    failures += CrashFiles::killDuringFileWork(std::max(1, kills / 2), rng);
    if (failures) {
        dir.setAutoRemove(false);
        std::printf("store kept at %s\n", qPrintable(dbPath));
    }
    std::printf("crash harness: %d kills, %lld returned saves and %lld returned deletes checked, "
                "%d kills during a delete, %lld searches checked, %d kills during a snapshot, %d "
                "snapshots checked, %d losses or faults\n",
                kills, savesChecked, deletesChecked, killedDeleting, searchesChecked,
                killedSnapshotting, snapshotsChecked, failures);
    std::printf("crash harness: %d kills while typing, %d drafts lost keys typed a second "
                "before; the longest unwritten typing at a kill was %lld ms old\n",
                typingKills, draftsLost, longestLag);
    return failures == 0 ? 0 : 1;
}

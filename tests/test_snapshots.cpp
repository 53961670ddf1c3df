// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/notebookmerge.h"
#include "core/snapshots.h"
#include "core/statement.h"
#include "core/store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

namespace {

// A notebook with entries, contacts and photos, some fields NULL.
void makeNotebook(const QString &path, int entries, const QString &tag = "a") {
    {
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
    }
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < entries; ++i) {
        Statement add(db, "INSERT INTO diary (dates, things) VALUES (?, ?)");
        QVERIFY(
            add.bind(1, QByteArray::number(20020101 + i % 28))
                .bind(
                    2,
                    QString("%1 第%2篇 %3").arg(tag).arg(i).arg(QString(i % 7 * 90, 'x')).toUtf8())
                .run());
    }
    for (int i = 0; i < entries / 10; ++i)
        QVERIFY(Statement(db, QString("INSERT INTO address (name, email) VALUES ('%1 友%2', NULL)")
                                  .arg(tag)
                                  .arg(i)
                                  .toUtf8())
                    .run());
    QVERIFY(Statement(
                db, QString("INSERT INTO photo (photopath) VALUES ('/p/%1.jpg')").arg(tag).toUtf8())
                .run());
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Every row of the three tables, fields quoted so NULL differs from "".
QStringList rowsOf(const QString &path) {
    QStringList rows;
    sqlite3 *db = Snapshots::openForReading(path);
    for (const QString &table : Store::tables()) {
        QStringList fields;
        for (const QString &f : Store::fields(table))
            fields << QString("quote(%1)").arg(f);
        Statement q(db, QString("SELECT %1 FROM %2 ORDER BY rowid")
                            .arg(fields.join(" || '|' || "), table)
                            .toUtf8());
        while (q.step())
            rows << table + ":" + q.text(0);
    }
    sqlite3_close(db);
    return rows;
}

QByteArray digest(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Overwrites the page of the file that holds marker with garbage.
void damagePageHolding(const QString &path, const QByteArray &marker) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray all = f.readAll();
    const qsizetype at = all.indexOf(marker);
    QVERIFY(at > 0);
    f.seek(at / 4096 * 4096 + 8);
    f.write(QByteArray(200, '\x5a'));
}

} // namespace

class TestSnapshots : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        temporary = std::make_unique<QTemporaryDir>();
        QVERIFY(temporary->isValid());
    }

    // The copy is a notebook with exactly the source's rows, checked and
    // renamed into place; the source is not touched.
    void aSnapshotHoldsExactlyTheNotebook() {
        const QString source = dir().filePath("work.db");
        makeNotebook(source, 300);
        const QByteArray before = digest(source);
        const Snapshots::Outcome out = Snapshots::take(source, dir().filePath("backups"));
        QVERIFY2(out.result, qPrintable(out.result.message()));
        QVERIFY(out.verified);
        QCOMPARE(out.counts, (NotebookCounts{300, 30, 1}));
        QCOMPARE(rowsOf(out.path), rowsOf(source));
        QCOMPARE(digest(source), before);
        const auto listed = Snapshots::list(dir().filePath("backups"));
        QCOMPARE(listed.size(), size_t(1));
        QCOMPARE(listed[0].path, out.path);
        QCOMPARE(QDir(dir().filePath("backups")).entryList(QDir::Files),
                 QStringList{QFileInfo(out.path).fileName()});
        Store opened;
        QCOMPARE(opened.open(out.path), Store::State::Open);
        QVERIFY(!opened.isReadOnly());
    }

    // A save under way when the copy is asked for has its pages in the log
    // already, timed before the copy: it must be in the copy, or the copy
    // would pass for newer than it is.
    void aSaveUnderWayGoesIntoTheCopy() {
        const QString source = dir().filePath("work.db");
        makeNotebook(source, 10);
        sqlite3 *saving = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(source).constData(), &saving), SQLITE_OK);
        QCOMPARE(sqlite3_exec(saving,
                              "BEGIN IMMEDIATE; INSERT INTO diary (dates, things) "
                              "VALUES ('20241208', 'late')",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        std::thread commit([saving] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_exec(saving, "COMMIT", nullptr, nullptr, nullptr);
        });
        const Snapshots::Outcome out = Snapshots::take(source, dir().filePath("backups"));
        commit.join();
        sqlite3_close(saving);
        QVERIFY2(out.result, qPrintable(out.result.message()));
        QCOMPARE(NotebookCounts::ofFile(out.path).entries, qint64(11));
    }

    // A foreign database and a damaged notebook are copied too, unchanged;
    // the damaged copy is marked and never offered as a sound one.
    void foreignAndDamagedStoresAreCopiedUntouched() {
        const QString foreign = dir().filePath("other.db");
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(foreign).constData(), &db);
        sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        const Snapshots::Outcome copied = Snapshots::write(foreign, dir().filePath("f/copy.db"));
        QVERIFY(copied.result);
        QCOMPARE(copied.counts, (NotebookCounts{0, 0, 0}));

        const QString damaged = dir().filePath("work.db");
        makeNotebook(damaged, 400);
        damagePageHolding(damaged, "a 第200篇");
        const QByteArray before = digest(damaged);
        const QString folder = dir().filePath("backups");
        const Snapshots::Outcome out = Snapshots::take(damaged, folder);
        QVERIFY2(out.result, qPrintable(out.result.message()));
        QVERIFY(!out.verified);
        QVERIFY(out.path.endsWith("-damaged.db"));
        QCOMPARE(digest(damaged), before);
        QVERIFY(Snapshots::newestVerified(folder).path.isEmpty());
        QCOMPARE(Snapshots::list(folder).size(), size_t(1));
    }

    // What a killed writer left is cleaned up, never listed; a live one's
    // file stays.
    void partialFilesNeverCount() {
        const QString folder = dir().filePath("backups");
        QDir().mkpath(folder);
        QProcess sleeper;
        sleeper.start("sleep", {"30"});
        QVERIFY(sleeper.waitForStarted());
        const auto stop = qScopeGuard([&] {
            sleeper.kill();
            sleeper.waitForFinished();
        });
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        gone.waitForFinished();
        const QString dead = folder + QString("/work-20240101-010101.db.part-%1").arg(deadPid);
        const QString live =
            folder + QString("/work-20240101-010102.db.part-%1").arg(sleeper.processId());
        for (const QString &p : QStringList{dead, dead + "-journal", live}) {
            QFile f(p);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(Snapshots::list(folder).empty());
        Snapshots::cleanUp(folder);
        QVERIFY(!QFile::exists(dead) && !QFile::exists(dead + "-journal"));
        QVERIFY(QFile::exists(live));
    }

    // Snapshots four times a day for 400 days: the 10 newest, one for each
    // of the last 14 days, 8 weeks and 12 months, and no more.
    void retentionKeepsTheRuledSet() {
        const QDateTime now(QDate(2026, 12, 9), QTime(21, 30));
        std::vector<Snapshots::Stamp> stamps;
        for (int h = 0; h < 400 * 24; h += 6)
            stamps.push_back({now.addSecs(-3600LL * h - 60), true});
        const std::vector<bool> keep = Snapshots::toKeep(stamps, now);
        QSet<QDate> days;
        QSet<QString> months;
        int kept = 0;
        for (size_t i = 0; i < stamps.size(); ++i) {
            if (!keep[i])
                continue;
            ++kept;
            const QDate d = stamps[i].time.date();
            QVERIFY(d >= QDate(2026, 1, 1));
            days << d;
            months << d.toString("yyyyMM");
        }
        for (size_t i = 0; i < 10; ++i)
            QVERIFY(keep[i]);
        for (int d = 0; d < 14; ++d)
            QVERIFY(days.contains(now.date().addDays(-d)));
        QCOMPARE(months.size(), 12);
        QVERIFY(days.contains(QDate(2026, 1, 31)));
        // The 10 newest fall on the last 3 days; then the 14 days, weeks 4
        // to 8 (the first three are among those days) and months 3 to 12.
        QCOMPARE(kept, 10 - 3 + 14 + 5 + 10);
        // Those kept stay kept the next time round.
        std::vector<Snapshots::Stamp> left;
        for (size_t i = 0; i < stamps.size(); ++i)
            if (keep[i])
                left.push_back(stamps[i]);
        const std::vector<bool> again = Snapshots::toKeep(left, now);
        QCOMPARE(std::count(again.begin(), again.end(), true), qsizetype(left.size()));
        // The last sound one is kept however old it is.
        std::vector<Snapshots::Stamp> damagedLately(12, {now, false});
        damagedLately.push_back({now.addYears(-3), true});
        QVERIFY(Snapshots::toKeep(damagedLately, now).back());
    }

    // A restore puts the snapshot in place, log files of the old one gone.
    void restorePutsTheSnapshotInPlace() {
        const QString notebook = dir().filePath("work.db");
        makeNotebook(notebook, 50, "old");
        const Snapshots::Outcome out = Snapshots::take(notebook, dir().filePath("backups"));
        QVERIFY(out.result);
        QFile::remove(notebook);
        makeNotebook(notebook, 20, "new");
        QVERIFY(Snapshots::restore(out.path, notebook));
        QCOMPARE(rowsOf(notebook), rowsOf(out.path));
        QVERIFY(QFile::exists(out.path));
        QVERIFY(!Snapshots::restore(dir().filePath("nothing.db"), notebook));
        QCOMPARE(rowsOf(notebook), rowsOf(out.path));
    }

    // Merging adds what is missing once, in the other's order; again, it
    // adds nothing. A file that is not a notebook is refused untouched.
    void mergeAddsMissingRowsOnce() {
        const QString mine = dir().filePath("work.db"), laptop = dir().filePath("laptop.db");
        makeNotebook(mine, 40, "a");
        makeNotebook(laptop, 40, "a"); // the same rows...
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(laptop).constData(), &db);
        sqlite3_exec(db,
                     "INSERT INTO diary (dates, things) VALUES ('20240101', 'laptop'), "
                     "('20240102', NULL); INSERT INTO address (name) VALUES ('a 友1 ');"
                     "INSERT INTO photo (photopath, introduceph) VALUES ('/p/a.jpg', 'x')",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        const QStringList before = rowsOf(mine);
        const NotebookMerge::Outcome first = NotebookMerge::merge(mine, laptop);
        QVERIFY2(first.result, qPrintable(first.result.message()));
        QCOMPARE(first.rows, (NotebookCounts{2, 1, 1}));
        const QStringList after = rowsOf(mine);
        QCOMPARE(after.size(), before.size() + 4);
        QVERIFY(after.contains("diary:'20240102'|NULL"));
        const NotebookMerge::Outcome second = NotebookMerge::merge(mine, laptop);
        QVERIFY(second.result);
        QCOMPARE(second.rows, (NotebookCounts{0, 0, 0}));
        QCOMPARE(rowsOf(mine), after);

        const QString foreign = dir().filePath("foreign.db"), text = dir().filePath("notes.txt");
        sqlite3_open(QFile::encodeName(foreign).constData(), &db);
        sqlite3_exec(db, "CREATE TABLE diary(dates, things, secret)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        QFile t(text);
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("not a notebook");
        t.close();
        for (const QString &refused : {foreign, text, dir().filePath("missing.db")}) {
            const QByteArray other = digest(refused);
            QVERIFY(!NotebookMerge::merge(mine, refused).result);
            QCOMPARE(digest(refused), other);
        }
        QCOMPARE(rowsOf(mine), after);
    }

    // A damaged page costs the rows on it, not the rest.
    void salvageSavesWhatCanBeRead() {
        const QString damaged = dir().filePath("work.db");
        makeNotebook(damaged, 2000);
        damagePageHolding(damaged, "a 第1000篇");
        {
            Store store;
            store.open(damaged);
            QVERIFY(!store.readyToWrite());
            QCOMPARE(store.refusal(), Store::Refusal::Damaged);
        }
        const QByteArray before = digest(damaged);
        const QString saved = dir().filePath("saved.db");
        const NotebookMerge::Outcome out = NotebookMerge::salvage(damaged, saved);
        QVERIFY2(out.result, qPrintable(out.result.message()));
        QVERIFY2(out.rows.entries > 1900 && out.rows.entries < 2000,
                 qPrintable(QString::number(out.rows.entries)));
        QCOMPARE(out.rows.contacts, qint64(200));
        QCOMPARE(out.rows.photos, qint64(1));
        QCOMPARE(digest(damaged), before);
        Store store;
        QCOMPARE(store.open(saved), Store::State::Open);
        QVERIFY(store.readyToWrite());
        QVERIFY(!NotebookMerge::salvage(damaged, saved).result); // never over a file
    }

    // A disk without twice the notebook and 100 MB to spare is not written.
    void theDiskSpaceGuardHolds() {
        if (geteuid() != 0)
            QSKIP("needs to mount a small file system");
        QTemporaryDir mountPoint;
        if (QProcess::execute("mount",
                              {"-t", "tmpfs", "-o", "size=104m", "tmpfs", mountPoint.path()}) != 0)
            QSKIP("cannot mount a small file system here");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mountPoint.path()}); });
        QFile big(dir().filePath("work.db"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(3 << 20));
        big.close();
        qint64 free = 0;
        QVERIFY(!Snapshots::roomFor(big.fileName(), mountPoint.filePath("backups"), &free));
        QVERIFY(free > 100 << 20);
        QVERIFY(Snapshots::roomFor(mountPoint.filePath("work.db"), mountPoint.filePath("backups")));
    }

private:
    QTemporaryDir &dir() { return *temporary; }
    std::unique_ptr<QTemporaryDir> temporary;
};

QTEST_GUILESS_MAIN(TestSnapshots)
#include "test_snapshots.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backupcommand.h"
#include "app/backupcoordinator.h"
#include "app/popupmenu.h"
#include "backups/backupkeeper.h"
#include "backups/backupswindow.h"
#include "core/apppaths.h"
#include "core/journalindex.h"
#include "core/recordset.h"
#include "core/snapshots.h"
#include "fakeinteraction.h"
#include "journal/journalpanel.h"
#include "pages.h"
#include "windowfixture.h"

#include <QDir>
#include <QPushButton>
#include <QTreeWidget>
#include <sqlite3.h>

namespace {

void addEntries(RecordSet *journal, const QString &tag, int count) {
    for (int i = 0; i < count; ++i)
        QVERIFY(journal->append(
            {{"dates", "20241208"}, {"things", QString(tag + QString::number(i))}}));
}

// A notebook made elsewhere, in a data folder of its own.
QString otherMachine(const QString &folder, int entries) {
    const QString path = folder + "/work.db";
    QDir().mkpath(folder);
    Store store;
    store.open(path);
    RecordSet journal(&store, "diary"), contacts(&store, "address");
    journal.open();
    contacts.open();
    addEntries(&journal, "laptop ", entries);
    contacts.append({{"name", "老王"}, {"email", "wang@example.org"}});
    return path;
}

// New entries reach the search index a moment after they are saved, on a
// thread of the store's own: a write like any other, which a copy taken in
// the same second could not tell from one made after it. Waits until the
// index is whole and a copy taken now falls in a later second.
void waitUntilWritten(const QString &notebook) {
    const auto indexed = [&notebook] {
        sqlite3 *db = Snapshots::openForReading(notebook);
        const bool whole = JournalIndex::state(db).complete();
        sqlite3_close(db);
        return whole;
    };
    QTRY_VERIFY(indexed());
    const QDateTime last =
        std::max(QFileInfo(notebook).lastModified(), QFileInfo(notebook + "-wal").lastModified());
    QTRY_VERIFY(QDateTime::currentDateTime() >
                last.addMSecs(1000 + BackupCoordinator::FileClockSlackMs));
}

} // namespace

class TestBackups : public WindowFixture {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        openStore();
        m_diary = std::make_unique<MainWindow>(m_store.get());
        m_diary->show();
    }
    void cleanup() {
        closeAll();
        QDir(m_dir.filePath("backups")).removeRecursively();
    }

    // The menu item after the journal search opens one non-modal window
    // owned by the main window; "back up now" lists a snapshot with counts.
    void theWindowListsWhatItBacksUp() {
        const QList<QAction *> items = m_diary->popupMenu->actions();
        const qsizetype at = items.indexOf(m_diary->popupMenu->findChild<QAction *>("menubackup"));
        QVERIFY(at > 0);
        QCOMPARE(items[at - 1]->objectName(), QString("menufindjournal"));
        QCOMPARE(items[at]->text(), QString("备份(&B)…"));
        addEntries(m_diary->journalRecords, "entry ", 3);
        items[at]->trigger();
        auto *window = named<BackupsWindow>(m_diary.get(), "backups");
        QVERIFY(window->isVisible() && !window->isModal() && window->isWindow());
        auto *list = named<QTreeWidget>(window, "backuplist");
        QCOMPARE(named<QPushButton>(window, "backupnow")->text(), QString("立即备份"));
        QCOMPARE(named<QPushButton>(window, "backuprestore")->text(), QString("恢复"));
        QCOMPARE(named<QPushButton>(window, "backupmerge")->text(), QString("合并另一本日记…"));
        press(window, "backupnow");
        QTRY_COMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(1), QString("3"));
        QCOMPARE(list->topLevelItem(0)->text(2), QString("0"));
        QCOMPARE(named<QLabel>(window, "backupfolder")->text(),
                 QDir::toNativeSeparators(m_dir.filePath("backups")));
    }

    // A start copies the notebook only when it changed since the newest
    // sound copy, or when that copy's time cannot be trusted: starting
    // again and again costs no copy.
    void aStartCopiesOnlyAChangedNotebook() {
        const QString folder = m_dir.filePath("backups");
        addEntries(m_diary->journalRecords, "entry ", 2);
        waitUntilWritten(m_store->path());
        m_diary->backups->startSchedule();
        QTRY_COMPARE(Snapshots::list(folder).size(), size_t(1));
        QTRY_VERIFY(!m_diary->backups->keeper()->isWorking());
        m_diary->backups->startSchedule();
        QTest::qWait(300);
        QCOMPARE(Snapshots::list(folder).size(), size_t(1));
        // Named in another time zone: the name reads later than the file.
        QFile copy(Snapshots::list(folder)[0].path);
        QVERIFY(copy.open(QIODevice::ReadWrite));
        QVERIFY(copy.setFileTime(QDateTime::currentDateTime().addSecs(-3 * 3600),
                                 QFileDevice::FileModificationTime));
        copy.close();
        m_diary->backups->startSchedule();
        QTRY_COMPARE(Snapshots::list(folder).size(), size_t(2));
        QTRY_VERIFY(!m_diary->backups->keeper()->isWorking());
        addEntries(m_diary->journalRecords, "later ", 1);
        m_diary->backups->startSchedule();
        QTRY_COMPARE(Snapshots::list(folder).size(), size_t(3));
    }

    // Restoring first snapshots the notebook as it is, typed fields
    // included, then shows the restored one; the editor keeps its text.
    void restoreRoundTrip() {
        FakeInteraction answers;
        addEntries(m_diary->journalRecords, "old ", 2);
        const Snapshots::Outcome first =
            Snapshots::take(m_store->path(), m_dir.filePath("backups"));
        QVERIFY(first.result);
        addEntries(m_diary->journalRecords, "new ", 3);
        m_diary->completeStart();
        QVERIFY(m_diary->contactRecords->addNew());
        QVERIFY(m_diary->contactRecords->setField("name", "typed, not saved"));
        JournalPage(m_diary.get()).editor()->setPlainText("half a sentence");

        BackupsWindow *window = m_diary->backups->openWindow();
        auto *list = named<QTreeWidget>(window, "backuplist");
        QTRY_COMPARE(list->topLevelItemCount(), 1);
        list->setCurrentItem(list->topLevelItem(0));
        press(window, "backuprestore");
        QVERIFY(answers.asked.value(0).text.contains("日记 2 篇，联系人 0 位，照片 0 张"));
        QTRY_COMPARE(m_diary->journalRecords->recordCount(), 2);
        QTRY_COMPARE(list->topLevelItemCount(), 2);
        QVERIFY(answers.asked.last().text.startsWith("已恢复"));
        const auto all = Snapshots::list(m_dir.filePath("backups"));
        QCOMPARE(NotebookCounts::ofFile(all[0].path), (NotebookCounts{5, 1, 0}));
        QCOMPARE(m_diary->contactRecords->recordCount(), 0);
        QCOMPARE(JournalPage(m_diary.get()).editor()->toPlainText(), QString("half a sentence"));
        QVERIFY(m_diary->journalRecords->moveLast());
        QCOMPARE(m_diary->journalRecords->text("things"), QString("old 1"));
    }

    // A notebook from another machine: its missing rows come in once;
    // what is not a notebook is refused and left as it was.
    void mergeFromAnotherMachine() {
        FakeInteraction answers;
        addEntries(m_diary->journalRecords, "laptop ", 2); // already here
        answers.fileAnswer = otherMachine(m_dir.filePath("laptop"), 5);
        BackupsWindow *window = m_diary->backups->openWindow();
        for (const char *expected :
             {"新增日记 3 篇，联系人 1 位，照片 0 张", "新增日记 0 篇，联系人 0 位，照片 0 张"}) {
            answers.asked.clear();
            press(window, "backupmerge");
            QTRY_COMPARE(answers.asked.size(), 1);
            QCOMPARE(answers.asked[0].text, QString(expected));
        }
        QCOMPARE(m_diary->journalRecords->recordCount(), 5);
        m_diary->completeStart();
        QCOMPARE(m_diary->contactRecords->recordCount(), 1);

        QFile junk(m_dir.filePath("notes.db"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("a shopping list");
        junk.close();
        answers.fileAnswer = junk.fileName();
        answers.asked.clear();
        press(window, "backupmerge");
        QTRY_COMPARE(answers.asked.size(), 1);
        QVERIFY(answers.asked[0].text.startsWith("这个文件不是日记本"));
        QCOMPARE(m_diary->journalRecords->recordCount(), 5);
    }

    // A damaged notebook: the notice offers the newest sound snapshot and
    // salvage; salvage keeps the damaged file and opens what was saved.
    void aDamagedNotebookOffersRescue() {
        FakeInteraction answers;
        const QString padding(300, 'x'); // a dozen entries a page
        addEntries(m_diary->journalRecords, "kept " + padding + " ", 300);
        QVERIFY(Snapshots::take(m_store->path(), m_dir.filePath("backups")).result);
        closeAll();
        {
            QFile file(m_dir.filePath("work.db"));
            QVERIFY(file.open(QIODevice::ReadWrite));
            const qsizetype at = file.readAll().indexOf(QByteArray(QByteArray(300, 'x') + " 150"));
            QVERIFY(at > 0);
            file.seek(at / 4096 * 4096 + 8);
            file.write(QByteArray(64, '\x33'));
        }
        answers.choiceAnswer = 1;
        m_store = std::make_unique<Store>();
        m_store->open(m_dir.filePath("work.db"));
        m_diary = std::make_unique<MainWindow>(m_store.get());
        m_diary->show();
        QTRY_VERIFY(answers.asked.size() >= 2 && !m_diary->backups->keeper()->isWorking());
        QCOMPARE(answers.buttonsOffered.size(), 3);
        QVERIFY(answers.buttonsOffered[0].startsWith("恢复 "));
        QCOMPARE(answers.buttonsOffered[1], QString("抢救"));
        QVERIFY2(answers.asked.last().text.startsWith("抢救出日记 2"),
                 qPrintable(answers.asked.last().text));
        QVERIFY(!m_store->isReadOnly());
        QVERIFY(m_diary->journalRecords->recordCount() > 250);
        const QStringList kept = QDir(m_dir.path()).entryList({"work.db.damaged-*"});
        QCOMPARE(kept.size(), 1);
    }

    // From the command line, beside the running program: into the folder or
    // a file, and a one-line reason when there is nothing to back up.
    void backupFromTheCommandLine() {
        QString errors;
        QTextStream err(&errors);
        QFile::remove(AppPaths::databasePath());
        QCOMPARE(runBackupCommand({}, err), 1);
        QCOMPARE(errors.count('\n'), 1);
        Store running;
        running.open(AppPaths::databasePath());
        RecordSet journal(&running, "diary");
        journal.open();
        addEntries(&journal, "cron ", 4);
        QCOMPARE(runBackupCommand({}, err), 0);
        QCOMPARE(runBackupCommand({m_dir.filePath("copy.db")}, err), 0);
        QCOMPARE(NotebookCounts::ofFile(m_dir.filePath("copy.db")).entries, qint64(4));
        QCOMPARE(Snapshots::list(Snapshots::folderFor(AppPaths::databasePath())).size(), size_t(1));
        QVERIFY(runBackupCommand({"a", "b"}, err) != 0);
    }
};

QTEST_MAIN(TestBackups)
#include "test_backups.moc"

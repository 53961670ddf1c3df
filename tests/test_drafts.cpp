// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/drafts.h"
#include "core/journalmonth.h"
#include "core/store.h"

#include "sql.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>

class TestDrafts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What was handed over is read back at once, is on disk after flush,
    // survives a reopen, and the newest text of a day wins.
    void keptUntilRemoved() {
        QTemporaryDir dir;
        const QString path = Drafts::pathBeside(dir.filePath("work.db"));
        QCOMPARE(path, dir.filePath("drafts.db"));
        const QString long_ = QString(1'000'000, QChar(0x5929));
        {
            Drafts drafts(path);
            QVERIFY(drafts.isOpen());
            drafts.keep("20261209", "first");
            drafts.keep("20261209", long_);
            drafts.keep("20261231", "eve");
            drafts.keep("20270101", "next year");
            QCOMPARE(drafts.draft("20261209")->text, long_); // before it is written
            QCOMPARE(drafts.daysInMonth(2026, 12), (1u << 9) | (1u << 31));
            drafts.flush();
            drafts.remove("20261231");
            QCOMPARE(drafts.daysInMonth(2026, 12), 1u << 9);
            QVERIFY(!drafts.draft("20261231"));
        } // the removal is written on the way out
        Drafts again(path);
        QCOMPARE(again.draft("20261209")->text, long_);
        QVERIFY(again.draft("20261209")->written.isValid());
        QVERIFY(!again.draft("20261231"));
        QCOMPARE(again.daysInMonth(2027, 1), 1u << 1);
        QCOMPARE(again.daysInMonth(2026, 11), 0u);
    }

    // A draft is summed up by its sizes, counted where its text is made (on
    // the writer, or by the first to ask), kept beside it, and counted from
    // the text in a file written before sizes were kept, or by a program
    // that does not keep them.
    void summedUpWithoutTheText() {
        QTemporaryDir dir;
        const QString path = dir.filePath("drafts.db");
        const QString text = QString(300'000, QChar(0x5929)) + QString::fromUcs4(U"\U0001F600");
        {
            Drafts drafts(path);
            std::atomic<int> made = 0;
            drafts.keep("20261209", [&] {
                ++made;
                return text;
            });
            const std::optional<Drafts::Summary> pending = drafts.summary("20261209");
            QVERIFY(pending);
            QCOMPARE(pending->characters, 300'001);
            QCOMPARE(pending->size, 300'002);
            drafts.flush();
            QCOMPARE(made.load(), 1);
            QCOMPARE(drafts.draft("20261209")->text, text);
            drafts.keep("20261210", "made");
            drafts.remove("20261210");
            QVERIFY(!drafts.summary("20261210"));
        }
        {
            Drafts again(path);
            const std::optional<Drafts::Summary> written = again.summary("20261209");
            QVERIFY(written && written->written.isValid());
            QCOMPARE(written->characters, 300'001);
            QCOMPARE(written->size, 300'002);
        }
        QFile::remove(path);
        {
            SqlFile file(path);
            QVERIFY(file.open());
            SqlQuery older(file);
            QVERIFY(older.exec("CREATE TABLE drafts (day TEXT PRIMARY KEY, text TEXT NOT NULL, "
                               "written INTEGER NOT NULL)"));
            QVERIFY(older.exec("INSERT INTO drafts VALUES ('20261209', 'a\U0001F600b', 1)"));
        }
        Drafts older(path);
        QVERIFY(older.isOpen());
        const std::optional<Drafts::Summary> counted = older.summary("20261209");
        QVERIFY(counted);
        QCOMPARE(counted->characters, 3);
        QCOMPARE(counted->size, 4);
        older.keep("20261210", "new");
        older.flush();
        QCOMPARE(older.summary("20261210")->characters, 3);
        SqlFile file(path);
        QVERIFY(file.open());
        QVERIFY(
            SqlQuery(file).exec("INSERT OR REPLACE INTO drafts VALUES ('20261210', 'other', 1)"));
        QCOMPARE(older.summary("20261210")->characters, 5);
    }

    // No folder to write in, or a file that is no database: nothing is
    // kept, and nothing fails.
    void nowhereToKeepThem() {
        QTemporaryDir dir;
        Drafts none(dir.filePath("missing/folder/drafts.db"));
        QVERIFY(!none.isOpen());
        none.keep("20261209", "lost");
        none.flush();
        QVERIFY(!none.draft("20261209"));
        QFile garbage(dir.filePath("drafts.db"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        Drafts refused(garbage.fileName());
        QVERIFY(!refused.isOpen());
        QCOMPARE(QFileInfo(garbage.fileName()).size(), 4096);
    }

    // The days of a month with an entry of exactly that day's key.
    void monthOfEntries() {
        QTemporaryDir dir;
        Store store;
        QCOMPARE(store.open(dir.filePath("work.db")), Store::State::Open);
        SqlQuery q(store.nativeHandle());
        for (const char *day : {"20261201", "20261209", "20261209", "20261231", "20261209xyz",
                                "202612", "20270101", "20261130"})
            QVERIFY(q.exec(QString("INSERT INTO diary VALUES ('%1', 't')").arg(day)));
        QCOMPARE(journalDaysInMonth(store.nativeHandle(), 2026, 12),
                 (1u << 1) | (1u << 9) | (1u << 31));
        QCOMPARE(journalDaysInMonth(store.nativeHandle(), 2026, 2), 0u);
        QCOMPARE(journalDaysInMonth(nullptr, 2026, 12), 0u);
    }
};

QTEST_GUILESS_MAIN(TestDrafts)
#include "test_drafts.moc"

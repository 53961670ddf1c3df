// SPDX-License-Identifier: GPL-3.0-or-later
// The export and import dialogs from the pop-up menu, with real files and a
// real store: what they write, what they say, and the pages after an import.
#include "app/mainwindow.h"
#include "app/popupmenu.h"
#include "app/singleinstance.h"
#include "app/transfercommand.h"
#include "core/apppaths.h"
#include "core/recordset.h"
#include "core/vcard.h"
#include "fakeinteraction.h"
#include "journal/entrylistmodel.h"
#include "modal.h"
#include "pages.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

class TestTransferWindow : public WindowFixture {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        openStore();
        m_diary = std::make_unique<MainWindow>(m_store.get());
    }
    void cleanup() { closeAll(); }

    void menuOffersBoth() {
        QStringList names;
        for (QAction *a : m_diary->popupMenu->actions())
            names << a->objectName();
        const qsizetype find = names.indexOf("menufindjournal");
        QVERIFY(find < names.indexOf("menuexport"));
        QVERIFY(names.indexOf("menuexport") < names.indexOf("menuimport"));
        QVERIFY(names.indexOf("menuimport") < names.indexOf("line1"));
        QCOMPARE(m_diary->popupMenu->exportAction->text(), "导出(&E)…");
        QCOMPARE(m_diary->popupMenu->importAction->text(), "导入(&I)…");
    }

    void exportWritesTheChosenFile() {
        FakeInteraction fake;
        QVERIFY(m_diary->journalRecords->append({{"dates", "20240126"}, {"things", "<b>一</b>"}}));
        const QString path = m_dir.filePath("out/日记.html");
        QDir().mkpath(m_dir.filePath("out"));
        fake.fileAnswer = path;
        QString said;
        whenShown(this, "exportdialog", [&](QWidget *dialog) {
            QCOMPARE(named<QComboBox>(dialog, "formatBox")->count(), 3);
            named<QComboBox>(dialog, "formatBox")->setCurrentIndex(2);
            named<QPushButton>(dialog, "browseButton")->click();
            QCOMPARE(named<QLineEdit>(dialog, "pathEdit")->text(), path);
            named<QPushButton>(dialog, "exportButton")->click();
            QTRY_VERIFY(named<QPushButton>(dialog, "exportButton")->isEnabled());
            said = named<QLabel>(dialog, "statusLabel")->text();
            named<QPushButton>(dialog, "closeButton")->click();
        });
        m_diary->popupMenu->exportAction->trigger();
        QCOMPARE(said, "已导出日记 1 篇到 " + QDir::toNativeSeparators(path));
        QFile page(path);
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll().contains("&lt;b&gt;一&lt;/b&gt;"));
        QCOMPARE(QDir(m_dir.filePath("out")).entryList(QDir::Files).size(), 1); // no leftovers
    }

    void importShowsWhatComesInThenRefillsThePages() {
        FakeInteraction fake;
        Contact c;
        c.name = "王五";
        c.mobilephone = "13900000000";
        QFile cards(m_dir.filePath("c.vcf"));
        QVERIFY(cards.open(QIODevice::WriteOnly));
        cards.write(VCard::write(c, VCard::Version::V30));
        cards.close();
        QFile notes(m_dir.filePath("2024-02-03.md"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("立春");
        notes.close();
        const auto importOnce = [&](int what, const QString &path) {
            QStringList said;
            whenShown(this, "importdialog", [&](QWidget *dialog) {
                named<QComboBox>(dialog, "whatBox")->setCurrentIndex(what);
                fake.fileAnswer = path;
                named<QPushButton>(dialog, "browseButton")->click();
                auto *status = named<QLabel>(dialog, "statusLabel");
                QTRY_VERIFY(status->text().startsWith("将导入"));
                said << status->text();
                if (named<QPushButton>(dialog, "importButton")->isEnabled()) {
                    named<QPushButton>(dialog, "importButton")->click();
                    QTRY_VERIFY(status->text().startsWith("已导入"));
                    said << status->text();
                }
                named<QPushButton>(dialog, "closeButton")->click();
            });
            m_diary->popupMenu->importAction->trigger();
            return said;
        };
        QCOMPARE(importOnce(2, cards.fileName()),
                 QStringList(
                     {"将导入联系人 1 位（跳过重复 0 位）", "已导入联系人 1 位（跳过重复 0 位）"}));
        QCOMPARE(m_diary->contactRecords->recordCount(), 1);
        QCOMPARE(importOnce(2, cards.fileName()),
                 QStringList({"将导入联系人 0 位（跳过重复 1 位）"}));
        QCOMPARE(
            importOnce(0, notes.fileName()),
            QStringList({"将导入日记 1 篇（跳过重复 0 篇）", "已导入日记 1 篇（跳过重复 0 篇）"}));
        QCOMPARE(JournalPage(m_diary.get()).entries()->rowCount(), 1);
        QCOMPARE(m_diary->journalRecords->recordCount(), 1);
    }

    // An import from the command line while the program runs: the running
    // copy hears of it and its pages show the new rows without a restart.
    void commandLineImportReachesTheRunningWindow() {
        QDir().mkpath(AppPaths::dataDir());
        QFile::remove(AppPaths::databasePath());
        m_diary.reset();
        QCOMPARE(m_store->open(AppPaths::databasePath()), Store::State::Open);
        m_diary = std::make_unique<MainWindow>(m_store.get());
        SingleInstance running(AppPaths::dataDir());
        QVERIFY(running.claim());
        connect(&running, &SingleInstance::rowsAdded, m_diary.get(),
                &MainWindow::rowsAddedElsewhere);
        QFile notes(m_dir.filePath("2024-02-04.md"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("雨水");
        notes.close();
        QString why;
        QTextStream err(&why);
        QCOMPARE(TransferCommand::importFiles({"journal", notes.fileName()}, err), 0);
        QTRY_COMPARE(JournalPage(m_diary.get()).entries()->rowCount(), 1);
        QCOMPARE(m_diary->journalRecords->recordCount(), 1);

        Contact c;
        c.name = "赵六";
        QFile cards(m_dir.filePath("c.vcf"));
        QVERIFY(cards.open(QIODevice::WriteOnly));
        cards.write(VCard::write(c, VCard::Version::V40));
        cards.close();
        QCOMPARE(TransferCommand::importFiles({"contacts", cards.fileName()}, err), 0);
        QTRY_COMPARE(m_diary->contactRecords->recordCount(), 1);
        QCOMPARE(why, QString());
        // Nothing listens: the import is told to no one and still succeeds.
        QVERIFY(!SingleInstance(m_dir.path()).tellRowsAdded("diary"));
    }
};

QTEST_MAIN(TestTransferWindow)
#include "test_transferwindow.moc"

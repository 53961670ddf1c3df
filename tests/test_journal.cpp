// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "core/drafts.h"
#include "core/journalindex.h"
#include "core/recordset.h"
#include "core/store.h"
#include "fakeinteraction.h"
#include "journal/draftbar.h"
#include "journal/entrylistmodel.h"
#include "journal/findjournalwindow.h"
#include "journal/journalpanel.h"
#include "modal.h"
#include "pages.h"
#include "widgets/labelbutton.h"
#include "widgets/picturebutton.h"
#include "widgets/selectionformat.h"
#include "widgets/textwindow.h"
#include "windowfixture.h"

#include "sql.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

class TestJournal : public WindowFixture {
    Q_OBJECT

    JournalPage j;

    void insert(const QVariant &dates, const QVariant &things) {
        SqlQuery q(m_store->nativeHandle());
        q.prepare("INSERT INTO diary (dates, things) VALUES (?, ?)");
        q.addBindValue(dates);
        q.addBindValue(things);
        QVERIFY(q.exec());
    }
    QStringList rows() {
        SqlQuery q(m_store->nativeHandle());
        q.exec("SELECT dates || '|' || things FROM diary ORDER BY rowid");
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    QStringList listLines() {
        QStringList out;
        for (int r = 0; r < j.entries()->rowCount(); ++r)
            out << j.entries()->fullLine(r);
        return out;
    }
    void openWindow() {
        m_diary = std::make_unique<MainWindow>(m_store.get());
        j = JournalPage(m_diary.get());
        m_diary->show();
    }
    void pickDay(int y, int m, int d) {
        j.calendar()->setSelectedDate(QDate(y, m, d));
        j->showEntryOfSelectedDay();
    }
    QFrame *draftBar() { return named<QFrame>(m_diary.get(), "draftbar"); }
    void pressLabel(const char *name) { named<LabelButton>(m_diary.get(), name)->click(); }
    // The draft of a day as it is on disk.
    std::optional<QString> storedDraft(const QString &day) {
        m_diary->savePendingEdits();
        const std::optional<Drafts::Draft> d = Drafts(m_dir.filePath("drafts.db")).draft(day);
        return d ? std::optional(d->text) : std::nullopt;
    }
    QTextCharFormat dayFormat(int y, int m, int d) {
        return j.calendar()->dateTextFormat(QDate(y, m, d));
    }
    void selectAll() {
        QTextCursor c = j.editor()->textCursor();
        c.select(QTextCursor::Document);
        j.editor()->setTextCursor(c);
    }

private Q_SLOTS:
    void init() { openStore(); }
    void cleanup() { closeAll(); }

    // The keys press the buttons, with their questions and enabled rules.
    void keysPressTheButtons() {
        FakeInteraction fake;
        openWindow();
        m_diary->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_diary.get()));
        QTest::keyClick(m_diary.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(fake.asked.isEmpty()); // save is disabled: the key does nothing
        j.editor()->setPlainText("by keyboard");
        QTest::keyClick(m_diary.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(fake.asked.size(), 1);
        QCOMPARE(fake.asked.first().text, QString("保存日记吗？"));
        QCOMPARE(rows().size(), 1);
        QVERIFY(j.saveButton()->toolTip().contains("Ctrl+S"));

        QTest::keyClick(m_diary.get(), Qt::Key_F1);
        QCOMPARE(fake.opened.size(), 1);
        QSignalSpy closing(m_diary->closeButton, &QAbstractButton::clicked);
        QTest::keyClick(m_diary.get(), Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(closing.count(), 1);

        // Label buttons are reached by Tab and pressed by Space or Enter.
        QCOMPARE(j.colourButton()->nextInFocusChain(), j.saveButton());
        j.deleteButton()->setFocus();
        QTest::keyClick(j.deleteButton(), Qt::Key_Space);
        QCOMPARE(fake.asked.size(), 2);
        QCOMPARE(fake.asked.last().text, QString("是否删除真的当前记录?"));

        // Find works on the contacts page only.
        QTest::keyClick(m_diary.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        bool found = false;
        whenShown(this, "findaddress", [&](QWidget *) { found = true; });
        press(m_diary.get(), "Command4");
        QTest::keyClick(m_diary.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(found);
    }

    void listShowsEveryEntryInStoredOrder() {
        insert("20030305", "first\nwith a break");
        insert("20021207", "second");
        insert("20030305", "third");
        openWindow();
        QCOMPARE(listLines(), QStringList({"20030305 first\nwith a break", "20021207 second",
                                           "20030305 third"}));
        // The shown line stays one line.
        QVERIFY(!j.entries()->index(0).data().toString().contains('\n'));
        QVERIFY(m_diary->journalRecords->eof());
    }

    void saveAsksAppendsAndRefills() {
        FakeInteraction fake;
        openWindow();
        QVERIFY(!j.saveButton()->isEnabled() && j.deleteButton()->isEnabled()); // start-up state
        j.calendar()->setSelectedDate(QDate(2003, 11, 15));
        j.editor()->setPlainText("今天 😀 𠀀\nline two");
        QVERIFY(j.saveButton()->isEnabled() && j.deleteButton()->isEnabled());

        fake.confirmAnswer = false;
        j->saveEntry();
        QCOMPARE(fake.asked.last().text, QString("保存日记吗？"));
        QCOMPARE(fake.asked.last().title, QString("save"));
        QVERIFY(rows().isEmpty());

        fake.confirmAnswer = true;
        j->saveEntry();
        j->saveEntry(); // a second save of the day is a second entry
        QCOMPARE(rows(), QStringList(2, "20031115|今天 😀 𠀀\nline two"));
        QCOMPARE(j.entries()->rowCount(), 2);
        QCOMPARE(j.editor()->toPlainText(),
                 QString("今天 😀 𠀀\nline two")); // editor keeps its text
    }

    void dateClickShowsTheDaysFirstEntry() {
        insert("20021207", "early");
        insert("20030305", "");
        insert("20021207", "late");
        openWindow();
        pickDay(2002, 12, 7);
        QCOMPARE(j.editor()->toPlainText(), QString("early"));
        QVERIFY(j.saveButton()->isEnabled() && j.deleteButton()->isEnabled());

        pickDay(2003, 3, 5); // found, but empty
        QCOMPARE(j.editor()->toPlainText(), QString());
        QVERIFY(!j.saveButton()->isEnabled() && j.deleteButton()->isEnabled());

        j.editor()->setPlainText("typed");
        pickDay(2001, 1, 1); // nothing stored that day
        QCOMPARE(j.editor()->toPlainText(), QString());
        QVERIFY(!j.saveButton()->isEnabled() && !j.deleteButton()->isEnabled());
    }

    void dateClickOnAnEmptyJournalLeavesTheEditor() {
        openWindow();
        j.editor()->setPlainText("draft");
        pickDay(2002, 12, 7);
        QCOMPARE(j.editor()->toPlainText(), QString("draft"));
    }

    void deleteRemovesTheDaysFirstEntry() {
        FakeInteraction fake;
        insert("20021207", "early");
        insert("20021207xyz", "longer key");
        insert("20021207", "late");
        insert("20030101", "other");
        openWindow();
        j.calendar()->setSelectedDate(QDate(2002, 12, 7));

        fake.confirmAnswer = false;
        j.editor()->setPlainText("kept");
        j->deleteEntry();
        QCOMPARE(fake.asked.last().text, QString("是否删除真的当前记录?"));
        QCOMPARE(fake.asked.last().title, QString());
        QCOMPARE(rows().size(), 4);
        QCOMPARE(j.editor()->toPlainText(), QString("kept"));

        fake.confirmAnswer = true;
        j->deleteEntry();
        QCOMPARE(rows(),
                 QStringList({"20021207xyz|longer key", "20021207|late", "20030101|other"}));
        QCOMPARE(j.editor()->toPlainText(), QString());
        QCOMPARE(j.entries()->rowCount(), 3);
        j->deleteEntry(); // the first eight characters are what count
        QCOMPARE(rows(), QStringList({"20021207|late", "20030101|other"}));

        // A day with nothing stored still asks; OK changes nothing.
        j.editor()->setPlainText("kept");
        const qsizetype askedBefore = fake.asked.size();
        j.calendar()->setSelectedDate(QDate(1999, 9, 9));
        j->deleteEntry();
        QCOMPARE(fake.asked.size(), askedBefore + 1);
        QCOMPARE(rows().size(), 2);
        QCOMPARE(j.editor()->toPlainText(), QString("kept"));
    }

    void deleteOnAnEmptyJournalAsksNothing() {
        FakeInteraction fake;
        openWindow();
        j->deleteEntry();
        QVERIFY(fake.asked.isEmpty());
    }

    void listClickShowsThatLineAndMovesTheCalendar() {
        insert("20040229", "leap day one");
        insert("20040229", "leap day two");
        insert("2003", "short key");
        insert(QVariant(), "no key at all");
        insert("20030315", "ides");
        openWindow();
        j.calendar()->setSelectedDate(QDate(2000, 1, 31));
        j->showListedEntry(j.entries()->index(1));
        QCOMPARE(j.editor()->toPlainText(), QString("leap day two"));
        QCOMPARE(j.calendar()->selectedDate(), QDate(2004, 2, 29));

        // From 29 February to a day of a year without one.
        j->showListedEntry(j.entries()->index(4));
        QCOMPARE(j.calendar()->selectedDate(), QDate(2003, 3, 15));

        // Lines without a whole key change what they can and never crash.
        j->showListedEntry(j.entries()->index(2));
        QCOMPARE(j.editor()->toPlainText(), QString("t key")); // from the tenth character
        QCOMPARE(j.calendar()->selectedDate(), QDate(2003, 3, 15));
        j->showListedEntry(j.entries()->index(3));
        QCOMPARE(j.editor()->toPlainText(), QString("t all")); // a missing key reads as empty
        QCOMPARE(j.calendar()->selectedDate(), QDate(2003, 3, 15));
    }

    // A save the store refuses leaves no trace in any row, and the journal
    // keeps working afterwards.
    void refusedSaveWritesNowhere() {
        FakeInteraction fake;
        insert("20021207", "precious");
        openWindow();
        SqlQuery(m_store->nativeHandle()).exec("PRAGMA query_only=ON");
        j.calendar()->setSelectedDate(QDate(2003, 1, 1));
        j.editor()->setPlainText("not stored");
        j->saveEntry();
        SqlQuery(m_store->nativeHandle()).exec("PRAGMA query_only=OFF");
        QCOMPARE(rows(), QStringList({"20021207|precious"}));
        pickDay(2002, 12, 7);
        QCOMPARE(j.editor()->toPlainText(), QString("precious"));
        j->saveEntry();
        QCOMPARE(rows().size(), 2);
    }

    // A save waits, with a note, for a store another program holds a while;
    // one that waits in vain says why, and the text stays in the editor.
    void aSaveWaitsForABusyStore() {
        FakeInteraction fake;
        openWindow();
        SqlFile other(m_store->path());
        QVERIFY(other.open() && SqlQuery(other).exec("BEGIN IMMEDIATE"));
        bool noted = false;
        QTimer::singleShot(1500, this, [&] {
            noted = m_diary->findChild<QLabel *>("savingNote")->isVisible();
            SqlQuery(other).exec("COMMIT");
        });
        j.calendar()->setSelectedDate(QDate(2003, 1, 1));
        j.editor()->setPlainText("waited for");
        j->saveEntry();
        QVERIFY(noted);
        QVERIFY(!m_diary->findChild<QLabel *>("savingNote")->isVisible());
        QCOMPARE(rows(), QStringList({"20030101|waited for"}));
        QCOMPARE(fake.asked.size(), 1); // the question, and no complaint

        QVERIFY(SqlQuery(other).exec("BEGIN IMMEDIATE"));
        j.editor()->setPlainText("held too long");
        j->saveEntry();
        SqlQuery(other).exec("ROLLBACK");
        QCOMPARE(rows().size(), 1);
        QVERIFY(fake.asked.last().text.contains("其他程序占用"));
        QCOMPARE(j.editor()->toPlainText(), QString("held too long"));
    }

    // A save of megabytes is written and indexed beside the window, whose
    // events go on meanwhile.
    void aLongSaveLeavesTheWindowGoing() {
        FakeInteraction fake;
        openWindow();
        j.calendar()->setSelectedDate(QDate(2003, 1, 2));
        j.editorText()->setText(QString(8 << 20, QChar(0x5929)));
        qsizetype storedMeanwhile = -1;
        QTimer::singleShot(0, this, [&] { storedMeanwhile = rows().size(); });
        j->saveEntry();
        QCOMPARE(storedMeanwhile, 0);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(JournalIndex::search(m_store->nativeHandle(), "天天", 10).count, qint64(1));
    }

    // A save of megabytes stores exactly the text, whatever part of it the
    // editor holds; a key typed into it meanwhile stays a draft, and a save
    // clicked meanwhile is written next. The list and the calendar show both.
    void savesClickedDuringALongSaveFollowIt() {
        FakeInteraction fake;
        openWindow();
        pickDay(2003, 1, 2);
        const QString big = "a\r\n" + QString(6 << 20, QChar(0x5929)) + "\n😀b";
        j.editorText()->setText(big);
        j.editorText()->showOffset(big.size() / 2);
        qsizetype storedMeanwhile = -1;
        QTimer::singleShot(0, this, [&] {
            storedMeanwhile = rows().size();
            QTest::keyClicks(j.editor(), "z");
            pickDay(2003, 1, 3);
            j.editorText()->setText("second");
            j->saveEntry();
        });
        j->saveEntry();
        QCOMPARE(storedMeanwhile, 0);
        const QString saved = QString(big).replace("\r\n", "\n");
        QCOMPARE(rows(), QStringList({"20030102|" + saved, "20030103|second"}));
        QCOMPARE(j.entries()->rowCount(), 2);
        QCOMPARE(dayFormat(2003, 1, 2).fontWeight(), QFont::Bold);
        QCOMPARE(dayFormat(2003, 1, 3).fontWeight(), QFont::Bold);
        QCOMPARE(storedDraft("20030102")->size(), saved.size() + 1);
        QVERIFY(!storedDraft("20030103"));
    }

    // The indexed lookups agree with a walk over the rows, duplicates,
    // short keys and NULLs included.
    void lookupsEqualTheWalk() {
        QRandomGenerator rng(7);
        QList<QVariant> dates;
        for (int i = 0; i < 600; ++i) {
            const int pick = rng.bounded(40);
            QVariant d = pick == 0   ? QVariant()
                         : pick == 1 ? QVariant("2002120")
                                     : QVariant(QStringLiteral("200212%1").arg(10 + pick % 12) +
                                                (pick % 5 == 0 ? "tail" : ""));
            dates << d;
            insert(d, QString::number(i));
        }
        RecordSet rs(m_store.get(), "diary");
        rs.open();
        for (int day = 9; day <= 23; ++day) {
            const QString key = QStringLiteral("200212%1").arg(day);
            int exact = -1, prefix = -1;
            for (int i = 0; i < dates.size(); ++i) {
                if (dates[i].isNull())
                    continue;
                if (exact < 0 && dates[i].toString() == key)
                    exact = i;
                if (prefix < 0 && dates[i].toString().left(8) == key)
                    prefix = i;
            }
            auto position = [&](qint64 rowid) { return rowid < 0 ? -1 : int(rowid) - 1; };
            QCOMPARE(position(rs.findFirst("dates", key)), exact);
            QCOMPARE(position(rs.findFirstWithPrefix("dates", key)), prefix);
        }
    }

    void sizeStepsAndUnderline() {
        openWindow();
        j.editor()->setPlainText("some text");
        selectAll();
        applyToSelection(j.editor(), {.fontSize = 12});
        j->growFont();
        QCOMPARE(*SelectionFormat::of(j.editor()).fontSize, 13.0);
        j->shrinkFont();
        j->shrinkFont();
        QCOMPARE(*SelectionFormat::of(j.editor()).fontSize, 11.0);
        applyToSelection(j.editor(), {.fontSize = 1});
        j->shrinkFont();
        QCOMPARE(*SelectionFormat::of(j.editor()).fontSize, 1.0);

        // Mixed sizes: neither step changes anything.
        QTextCursor c = j.editor()->textCursor();
        c.setPosition(0);
        c.setPosition(4, QTextCursor::KeepAnchor);
        j.editor()->setTextCursor(c);
        applyToSelection(j.editor(), {.fontSize = 20});
        selectAll();
        QVERIFY(!SelectionFormat::of(j.editor()).fontSize);
        j->growFont();
        j->shrinkFont();
        c.setPosition(0);
        c.setPosition(1, QTextCursor::KeepAnchor);
        QCOMPARE(c.charFormat().fontPointSize(), 20.0);

        selectAll();
        j->toggleUnderline();
        QCOMPARE(*SelectionFormat::of(j.editor()).underline, true);
        j->toggleUnderline();
        QCOMPARE(*SelectionFormat::of(j.editor()).underline, false);
        c.setPosition(0);
        c.setPosition(3, QTextCursor::KeepAnchor);
        j.editor()->setTextCursor(c);
        j->toggleUnderline(); // partly underlined ...
        selectAll();
        j->toggleUnderline(); // ... so one click removes it all
        QCOMPARE(*SelectionFormat::of(j.editor()).underline, false);
    }

    void dialogsAndTheirCancelPaths() {
        FakeInteraction fake;
        openWindow();
        j.editor()->setPlainText("styled");
        selectAll();
        applyToSelection(j.editor(), {.italic = true});

        fake.fontAnswer.reset(); // Cancel keeps the format
        j->chooseFont();
        QCOMPARE(*SelectionFormat::of(j.editor()).italic, true);

        QFont chosen("Serif");
        chosen.setPointSize(18);
        chosen.setBold(true);
        fake.fontAnswer = chosen;
        j->chooseFont();
        const SelectionFormat f = SelectionFormat::of(j.editor());
        QCOMPARE(*f.fontSize, 18.0);
        QCOMPARE(*f.bold, true);
        QCOMPARE(*f.italic, false);

        // The colour dialog cancelled at first applies black.
        applyToSelection(j.editor(), {.colour = Qt::red});
        fake.fontAnswer.reset();
        j->chooseFont();
        QCOMPARE(j->dialogColour(), QColor(Qt::red)); // the font dialog read the selection
        fake.colorAnswer.reset();
        m_diary.reset();
        openWindow();
        j.editor()->setPlainText("fresh");
        selectAll();
        applyToSelection(j.editor(), {.colour = Qt::blue});
        j->chooseColour();
        QCOMPARE(*SelectionFormat::of(j.editor()).colour, QColor(Qt::black));
        fake.colorAnswer = QColor(Qt::green);
        j->chooseColour();
        fake.colorAnswer.reset();
        applyToSelection(j.editor(), {.colour = Qt::blue});
        j->chooseColour(); // Cancel applies the last colour chosen
        QCOMPARE(*SelectionFormat::of(j.editor()).colour, QColor(Qt::green));
    }

    // The real dialog opens on the selection's own family, style and size,
    // in Chinese too, so OK without a change leaves the text as it was.
    void theFontDialogOpensOnTheSelectionsFont() {
        if (!QFontDatabase::styles("DejaVu Serif").contains("Bold Italic"))
            QSKIP("DejaVu Serif is not installed");
        ApplicationSetup::installTranslations();
        openWindow();
        j.editor()->setPlainText("styled");
        selectAll();
        applyToSelection(j.editor(), {.fontName = "DejaVu Serif",
                                      .fontSize = 14,
                                      .bold = true,
                                      .italic = true,
                                      .underline = true});
        QFont opened;
        whenShown(this, "", [&](QWidget *w) {
            if (auto *dialog = qobject_cast<QFontDialog *>(w)) {
                opened = dialog->currentFont();
                dialog->accept();
            }
        });
        j->chooseFont();
        QCOMPARE(opened.family(), QString("DejaVu Serif"));
        QVERIFY(opened.bold() && opened.italic() && opened.underline());
        QCOMPARE(opened.pointSize(), 14);
        const SelectionFormat kept = SelectionFormat::of(j.editor());
        QVERIFY(*kept.bold && *kept.italic && *kept.underline);
        QCOMPARE(*kept.fontName, QString("DejaVu Serif"));
        QCOMPARE(*kept.fontSize, 14.0);
    }

    void mixedSelectionChangesOnlyWhatTheUserChose() {
        FakeInteraction fake;
        openWindow();
        j.editor()->setPlainText("abcdef");
        QTextCursor c = j.editor()->textCursor();
        c.setPosition(0);
        c.setPosition(3, QTextCursor::KeepAnchor);
        j.editor()->setTextCursor(c);
        applyToSelection(j.editor(), {.fontSize = 20});
        applyToSelection(j.editor(), {.italic = true});
        selectAll();
        const QFont shown =
            j.editor()->currentCharFormat().font().resolve(j.editor()->document()->defaultFont());
        QFont answer = shown;
        answer.setBold(true); // the user ticks bold only
        fake.fontAnswer = answer;
        j->chooseFont();
        c.setPosition(0);
        c.setPosition(1, QTextCursor::KeepAnchor);
        QCOMPARE(c.charFormat().fontPointSize(), 20.0);
        QVERIFY(c.charFormat().fontItalic());
        c.setPosition(5);
        c.setPosition(6, QTextCursor::KeepAnchor);
        QVERIFY(!c.charFormat().fontItalic());
        QCOMPARE(*SelectionFormat::of(j.editor()).bold, true);
    }

    void formattingIsNotSaved() {
        FakeInteraction fake;
        openWindow();
        j.calendar()->setSelectedDate(QDate(2002, 12, 7));
        j.editor()->setPlainText("plain words");
        selectAll();
        j->toggleUnderline();
        j->growFont();
        j->saveEntry();
        j.editor()->clear();
        pickDay(2002, 12, 7);
        QCOMPARE(j.editor()->toPlainText(), QString("plain words"));
        selectAll();
        QCOMPARE(*SelectionFormat::of(j.editor()).underline, false);
        QCOMPARE(rows(), QStringList({"20021207|plain words"}));
    }

    void hugeEntriesStayWhole() {
        FakeInteraction fake;
        QString big;
        for (int i = 0; i < 10240; ++i)
            big += QString(1023, QChar(0x65e5)) + '\n';
        insert("20050505", big);
        // One line of megabytes, its characters of one to four bytes cut by
        // every slice it is read in.
        const QString line = "xy" + QString::fromUtf8("a天😀").repeated(300000);
        insert("20050506", line);
        // Written elsewhere, its last character cut short.
        SqlQuery cut(m_store->nativeHandle());
        cut.prepare("INSERT INTO diary VALUES ('20050507', CAST(? AS TEXT))");
        cut.addBindValue(QByteArray(QString(400000, QChar(0x5929)).toUtf8() + "\xe5\xa4"));
        QVERIFY(cut.exec());
        openWindow();
        QCOMPARE(j.entries()->index(0).data().toString().size(), 9 + EntryListModel::ShownLength);
        QCOMPARE(j.entries()->fullLine(0).size(), 9 + big.size());
        pickDay(2005, 5, 5);
        QVERIFY(j.editorText()->text().size() < big.size()); // the rest follows between events
        QTRY_COMPARE(j.editorText()->text(), big);
        QVERIFY(j.editor()->document()->characterCount() <= 2 * TextWindow::WindowChars);
        j.entryList()->clicked(j.entries()->index(1));
        QTRY_COMPARE(j.editorText()->text(), line);
        QCOMPARE(j.calendar()->selectedDate(), QDate(2005, 5, 6));
        pickDay(2005, 5, 7);
        QTRY_COMPARE(j.editorText()->text(), QString(400000, QChar(0x5929)) + QChar(0xfffd));
        // Saved before the rest was read: all of it is saved.
        pickDay(2005, 5, 6);
        j->saveEntry();
        QCOMPARE(rows().size(), 4);
        QCOMPARE(rows().last(), "20050506|" + line);
    }

    // Texts edited outside: control characters, bytes that are no UTF-8, a
    // number and a blob each show whole on one list line and in the editor.
    void oddStoredTextsShowWhole() {
        const QString controls = QString("a") + QChar(0) + "b\tc\x1b[31md\x07\r\x0c" + "e";
        insert("20050501", controls);
        insert("20050502", QByteArray("\xff\xfe plain"));
        insert("20050503", 12345);
        SqlQuery q(m_store->nativeHandle());
        QVERIFY(q.exec("INSERT INTO diary VALUES ('20050504', CAST(x'00e4b8ad01' AS BLOB))"));
        openWindow();
        const QStringList shown = {"20050501 " + QString(controls).replace('\r', " \u21b5 "),
                                   "20050502 \ufffd\ufffd plain", "20050503 12345",
                                   "20050504 " + QString(QChar(0)) + "\u4e2d\x01"};
        for (int r = 0; r < 4; ++r)
            QCOMPARE(j.entries()->index(r).data().toString(), shown[r]);
        pickDay(2005, 5, 1);
        QCOMPARE(j.editor()->toPlainText(), QString(controls).replace('\r', '\n'));
        pickDay(2005, 5, 4);
        QCOMPARE(j.editor()->toPlainText(), QString(QChar(0)) + "\u4e2d\x01");
    }

    // Typing is kept per day: away and back it is offered, restored on a
    // click, gone once saved or discarded; equal or empty text is no draft.
    void typedTextIsOfferedBack() {
        FakeInteraction fake;
        insert("20021207", "stored");
        openWindow();
        pickDay(2002, 12, 7);
        j.editor()->moveCursor(QTextCursor::End);
        QTest::keyClicks(j.editor(), " and more");
        pickDay(2002, 12, 8);
        QVERIFY(!draftBar()->isVisible());
        QVERIFY(dayFormat(2002, 12, 7).fontItalic());
        pickDay(2002, 12, 7);
        QCOMPARE(j.editor()->toPlainText(), QString("stored"));
        QVERIFY(draftBar()->isVisible());
        const QString caption = draftBar()->findChild<QLabel *>()->text();
        QVERIFY2(caption.startsWith("这一天有未保存的草稿（15 字，"), qPrintable(caption));
        pressLabel("draftrestore");
        QCOMPARE(j.editorText()->text(), QString("stored and more"));
        QVERIFY(j.saveButton()->isEnabled() && !draftBar()->isVisible());
        QCOMPARE(storedDraft("20021207"), QString("stored and more")); // until saved

        j->saveEntry();
        QVERIFY(!storedDraft("20021207"));
        QVERIFY(!dayFormat(2002, 12, 7).fontItalic());
        pickDay(2002, 12, 7);
        QVERIFY(!draftBar()->isVisible());

        QTest::keyClicks(j.editor(), "x"); // typed and taken back: no draft
        QTest::keyClick(j.editor(), Qt::Key_Backspace);
        pickDay(2002, 12, 9);
        QTest::keyClicks(j.editor(), "to discard");
        pickDay(2002, 12, 7);
        QVERIFY(!draftBar()->isVisible());
        pickDay(2002, 12, 9);
        pressLabel("draftdiscard");
        QVERIFY(!draftBar()->isVisible() && !storedDraft("20021209"));
        QCOMPARE(j.editor()->toPlainText(), QString());
    }

    // A journal that takes no writes still keeps what is typed; a restart
    // offers today's draft at once.
    void draftsOutliveRefusedSavesAndRestarts() {
        FakeInteraction fake;
        openWindow();
        execute(m_store->nativeHandle(), "PRAGMA query_only=ON");
        QTest::keyClicks(j.editor(), "written today");
        j->saveEntry();
        QCOMPARE(fake.asked.size(), 2); // the question and the refusal
        QCOMPARE(storedDraft(QDate::currentDate().toString("yyyyMMdd")), QString("written today"));
        m_diary.reset();
        openWindow();
        QVERIFY(draftBar()->isVisible());
        pressLabel("draftrestore");
        QCOMPARE(j.editorText()->text(), QString("written today"));
    }

    // A draft of megabytes comes back read aside: an entry shown before it
    // arrives keeps the editor, and a save clicked before it saves the draft.
    void longDraftsComeBackAside() {
        FakeInteraction fake;
        insert("20021207", "stored");
        insert("20021208", "other");
        const QString draft = QString(1200000, u'字') + "end";
        {
            Drafts drafts(m_dir.filePath("drafts.db"));
            drafts.keep("20021207", draft);
        }
        openWindow();
        pickDay(2002, 12, 7);
        QVERIFY(draftBar()->isVisible());
        pressLabel("draftrestore");
        pickDay(2002, 12, 8);
        QTest::qWait(200);
        QCOMPARE(j.editor()->toPlainText(), QString("other"));

        pickDay(2002, 12, 7);
        pressLabel("draftrestore");
        QTRY_COMPARE(j.editorText()->size(), draft.size());
        QCOMPARE(j.editorText()->text(), draft);

        pickDay(2002, 12, 7);
        QVERIFY(draftBar()->isVisible());
        pressLabel("draftrestore");
        j->saveEntry();
        QCOMPARE(j.editorText()->size(), draft.size());
        QTRY_COMPARE(rows().size(), 3); // a save adds the day's entry
        QCOMPARE(rows().value(2), "20021207|" + draft);
    }

    // Delete takes the entry the list or a search showed, not the day's first.
    void deleteTakesTheEntryShown() {
        FakeInteraction fake;
        insert("20021207", "first");
        insert("20021207", "second");
        insert("20021208", "other");
        openWindow();
        j.entryList()->clicked(j.entries()->index(1));
        QCOMPARE(j.editor()->toPlainText(), QString("second"));
        j->deleteEntry();
        QCOMPARE(rows(), QStringList({"20021207|first", "20021208|other"}));
        j->showFoundEntry(3); // the third row
        j->deleteEntry();
        QCOMPARE(rows(), QStringList({"20021207|first"}));
        pickDay(2002, 12, 7);
        j->deleteEntry();
        QVERIFY(rows().isEmpty());
    }

    // An entry too long to delete on the window's thread is deleted beside
    // it; the panel ends as after any delete.
    void aLongEntryIsDeletedAsAnyOther() {
        FakeInteraction fake;
        insert("20021207", QString(int(RecordSet::AsideBytes) + 1, QChar('x')));
        insert("20021208", "other");
        openWindow();
        pickDay(2002, 12, 7);
        j->deleteEntry();
        QCOMPARE(rows(), QStringList({"20021208|other"}));
        QCOMPARE(j.editor()->toPlainText(), QString());
        QCOMPARE(j.entries()->rowCount(), 1);
    }

    // Days with entries are bold in the month shown, kept so through saves
    // and deletes; other months' days carry no marks.
    void calendarMarksDaysWithEntries() {
        FakeInteraction fake;
        insert("20021207", "kept");
        openWindow();
        j.calendar()->setCurrentPage(2002, 12);
        QCOMPARE(dayFormat(2002, 12, 7).fontWeight(), int(QFont::Bold));
        QVERIFY(dayFormat(2002, 12, 8).fontWeight() != QFont::Bold);
        pickDay(2002, 12, 8);
        j.editor()->setPlainText("new");
        j->saveEntry();
        QCOMPARE(dayFormat(2002, 12, 8).fontWeight(), int(QFont::Bold));
        pickDay(2002, 12, 7);
        j->deleteEntry();
        QVERIFY(dayFormat(2002, 12, 7).fontWeight() != QFont::Bold);
        j.calendar()->setCurrentPage(2003, 1);
        QVERIFY(dayFormat(2002, 12, 8).fontWeight() != QFont::Bold);
        j.calendar()->setCurrentPage(2002, 12);
        QCOMPARE(dayFormat(2002, 12, 8).fontWeight(), int(QFont::Bold));
    }

    // Select-all in a text too long to sit in the editor whole takes all of
    // it: what is typed over it, or a delete, replaces the whole text. A
    // draft of a long text is all of it, however little was read.
    void selectAllTakesTheWholeLongText() {
        FakeInteraction fake;
        insert("20050506", QString(1'000'000, QChar(0x5929)));
        insert("20050507", QString(1'200'000, QChar(0x5730)));
        openWindow();
        // Typed into before all of it was read: the draft is the whole text.
        pickDay(2005, 5, 7);
        QTest::keyClicks(j.editor(), "x");
        QCOMPARE(storedDraft("20050507"), "x" + QString(1'200'000, QChar(0x5730)));
        pickDay(2005, 5, 6);
        j.editor()->setFocus();
        QTest::keyClick(j.editor(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(j.editor(), Qt::Key_Z);
        QCOMPARE(j.editorText()->text(), QString("z"));
        j->saveEntry();
        QCOMPARE(rows().last(), QString("20050506|z"));
        pickDay(2005, 5, 6);
        QTest::keyClick(j.editor(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(j.editor(), Qt::Key_Delete);
        QCOMPARE(j.editorText()->text(), QString());
        QVERIFY(!j.saveButton()->isEnabled());
    }

    // A save clicked before a long entry is read to its end stores all of it
    // with what was typed, a UTF-8 sequence cut between slices included; the
    // editor still comes to show all of it, and nothing is left as a draft.
    void savedBeforeReadToItsEnd() {
        FakeInteraction fake;
        QString whole;
        while (whole.size() < 1'300'000)
            whole += QString::fromUtf8("天地a\U0001F600\n");
        insert("20050507", whole);
        openWindow();
        pickDay(2005, 5, 7);
        QVERIFY(j.editorText()->size() < whole.size()); // still being read
        QTest::keyClicks(j.editor(), "x");
        j->saveEntry();
        QCOMPARE(rows().last(), "20050507|x" + whole);
        QTRY_COMPARE(j.editorText()->size(), whole.size() + 1);
        QCOMPARE(j.editorText()->text(), "x" + whole);
        QVERIFY(!storedDraft("20050507"));
        j.editorText()->showOffset(0);
        j.editor()->moveCursor(QTextCursor::Start);
        QTest::keyClick(j.editor(), Qt::Key_Delete); // and a draft of it is all of it
        QCOMPARE(storedDraft("20050507"), whole);
    }

    // The search window: Ctrl+F on the journal page, one window at a time;
    // results as the user types; the chosen entry shown as a day click shows
    // one, even when it is not the day's first; its keys.
    void findingAnEntry() {
        insert("20050501", "早上下雨");
        insert("20050502", "第一篇：天晴");
        insert("20050502", "第二篇：又下雨了");
        insert("20050503", "无关的一天");
        openWindow();
        m_diary->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_diary.get()));
        QTest::keyClick(m_diary.get(), Qt::Key_F, Qt::ControlModifier);
        FindJournalWindow *find = m_diary->findJournal.existing();
        QVERIFY(find && find->isVisible());
        QCOMPARE(find->objectName(), QString("findjournal"));
        m_diary->openFindJournal();
        QCOMPARE(m_diary->findJournal.existing(), find);

        find->queryBox->insert("下"); // typed, as an input method hands it over
        find->queryBox->insert("雨");
        QCOMPARE(find->results->rowCount(), 0); // not while typing
        QTRY_COMPARE(find->results->rowCount(), 2);
        QCOMPARE(find->countLabel->text(), QString("共 2 篇"));
        const QString newest = find->results->index(0, 0).data().toString();
        QVERIFY2(newest.startsWith("2005年05月02日  第二篇：又下雨了"), qPrintable(newest));

        find->resultList->clicked(find->results->index(0, 0));
        QCOMPARE(j.calendar()->selectedDate(), QDate(2005, 5, 2));
        QCOMPARE(j.editor()->toPlainText(), QString("第二篇：又下雨了"));
        QVERIFY(j.deleteButton()->isEnabled());
        // The hit is marked, the cursor on it, until the next key.
        QCOMPARE(j.editor()->textCursor().position(), 5);
        QCOMPARE(j.editor()->extraSelections().size(), 1);
        QCOMPARE(j.editor()->extraSelections()[0].cursor.selectedText(), QString("下雨"));
        QTest::keyClick(j.editor(), Qt::Key_End);
        QTest::keyClick(j.editor(), Qt::Key_Exclam);
        QVERIFY(j.editor()->extraSelections().isEmpty());

        // Down to the list, Enter on the older hit; Enter in the box takes
        // the first hit of what was just typed; Escape closes.
        find->activateWindow();
        find->queryBox->setFocus();
        QTest::keyClick(find->queryBox, Qt::Key_Down);
        QVERIFY(find->resultList->hasFocus());
        QTest::keyClick(find->resultList, Qt::Key_Down);
        QTest::keyClick(find->resultList, Qt::Key_Return);
        QCOMPARE(j.editor()->toPlainText(), QString("早上下雨"));
        find->queryBox->setText("天晴");
        QTest::keyClick(find->queryBox, Qt::Key_Return);
        QTRY_COMPARE(j.editor()->toPlainText(), QString("第一篇：天晴"));
        // A blank or emptied box shows no hits and no count, also once any
        // answer would have come back.
        for (const char *blank : {"   ", ""}) {
            find->queryBox->setText(blank);
            find->searchNow();
            QTest::qWait(300);
            QCOMPARE(find->results->rowCount(), 0);
            QCOMPARE(find->countLabel->text(), QString());
        }
        QTest::keyClick(find, Qt::Key_Escape);
        QTRY_VERIFY(!m_diary->findJournal.exists());
    }
};

QTEST_MAIN(TestJournal)
#include "test_journal.moc"

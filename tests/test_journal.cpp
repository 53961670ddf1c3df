#include "diaryfixture.h"
#include "fakeinteraction.h"
#include "journal/entrylistmodel.h"
#include "journal/journalpanel.h"
#include "shell/selectionformat.h"
#include "shell/diary.h"
#include "shell/labelbutton.h"
#include "store/recordset.h"
#include "store/store.h"

#include <QCalendarWidget>
#include <QListView>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

class TestJournal : public DiaryFixture {
    Q_OBJECT

    JournalPanel *j = nullptr;

    void insert(const QVariant &dates, const QVariant &things) {
        QSqlQuery q(m_store->database());
        q.prepare("INSERT INTO diary (dates, things) VALUES (?, ?)");
        q.addBindValue(dates);
        q.addBindValue(things);
        QVERIFY(q.exec());
    }
    QStringList rows() {
        QSqlQuery q(m_store->database());
        q.exec("SELECT dates || '|' || things FROM diary ORDER BY rowid");
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    QStringList listLines() {
        QStringList out;
        for (int r = 0; r < j->entries->rowCount(); ++r)
            out << j->entries->fullLine(r);
        return out;
    }
    void openWindow() {
        m_diary = std::make_unique<Diary>(m_store.get());
        j = m_diary->journal;
        m_diary->show();
    }
    void pickDay(int y, int m, int d) {
        j->MonthView1->setSelectedDate(QDate(y, m, d));
        j->MonthView1_DateClick();
    }
    void selectAll() {
        QTextCursor c = j->RTBox->textCursor();
        c.select(QTextCursor::Document);
        j->RTBox->setTextCursor(c);
    }

private Q_SLOTS:
    void init() { openStore(); }
    void cleanup() { closeAll(); }

    void listShowsEveryEntryInStoredOrder() {
        insert("20030305", "first\nwith a break");
        insert("20021207", "second");
        insert("20030305", "third");
        openWindow();
        QCOMPARE(listLines(), QStringList({"20030305 first\nwith a break", "20021207 second",
                                           "20030305 third"}));
        // The shown line stays one line.
        QVERIFY(!j->entries->index(0).data().toString().contains('\n'));
        QVERIFY(m_diary->Adodc1->eof());
    }

    void saveAsksAppendsAndRefills() {
        FakeInteraction fake;
        openWindow();
        QVERIFY(!j->save->isEnabled() && j->deldata->isEnabled()); // start-up state
        j->MonthView1->setSelectedDate(QDate(2003, 11, 15));
        j->RTBox->setPlainText("今天 😀 𠀀\nline two");
        QVERIFY(j->save->isEnabled() && j->deldata->isEnabled());

        fake.confirmAnswer = false;
        j->save_Click();
        QCOMPARE(fake.asked.last().text, QString("保存日记吗？"));
        QCOMPARE(fake.asked.last().title, QString("save"));
        QVERIFY(rows().isEmpty());

        fake.confirmAnswer = true;
        j->save_Click();
        j->save_Click(); // a second save of the day is a second entry
        QCOMPARE(rows(), QStringList(2, "20031115|今天 😀 𠀀\nline two"));
        QCOMPARE(j->entries->rowCount(), 2);
        QCOMPARE(j->RTBox->toPlainText(), QString("今天 😀 𠀀\nline two")); // editor keeps its text
    }

    void dateClickShowsTheDaysFirstEntry() {
        insert("20021207", "early");
        insert("20030305", "");
        insert("20021207", "late");
        openWindow();
        pickDay(2002, 12, 7);
        QCOMPARE(j->RTBox->toPlainText(), QString("early"));
        QVERIFY(j->save->isEnabled() && j->deldata->isEnabled());

        pickDay(2003, 3, 5); // found, but empty
        QCOMPARE(j->RTBox->toPlainText(), QString());
        QVERIFY(!j->save->isEnabled() && j->deldata->isEnabled());

        j->RTBox->setPlainText("typed");
        pickDay(2001, 1, 1); // nothing stored that day
        QCOMPARE(j->RTBox->toPlainText(), QString());
        QVERIFY(!j->save->isEnabled() && !j->deldata->isEnabled());
    }

    void dateClickOnAnEmptyJournalLeavesTheEditor() {
        openWindow();
        j->RTBox->setPlainText("draft");
        pickDay(2002, 12, 7);
        QCOMPARE(j->RTBox->toPlainText(), QString("draft"));
    }

    void deleteRemovesTheDaysFirstEntry() {
        FakeInteraction fake;
        insert("20021207", "early");
        insert("20021207xyz", "longer key");
        insert("20021207", "late");
        insert("20030101", "other");
        openWindow();
        j->MonthView1->setSelectedDate(QDate(2002, 12, 7));

        fake.confirmAnswer = false;
        j->RTBox->setPlainText("kept");
        j->deldata_Click();
        QCOMPARE(fake.asked.last().text, QString("是否删除真的当前记录?"));
        QCOMPARE(fake.asked.last().title, QString());
        QCOMPARE(rows().size(), 4);
        QCOMPARE(j->RTBox->toPlainText(), QString("kept"));

        fake.confirmAnswer = true;
        j->deldata_Click();
        QCOMPARE(rows(), QStringList({"20021207xyz|longer key", "20021207|late", "20030101|other"}));
        QCOMPARE(j->RTBox->toPlainText(), QString());
        QCOMPARE(j->entries->rowCount(), 3);
        j->deldata_Click(); // the first eight characters are what count
        QCOMPARE(rows(), QStringList({"20021207|late", "20030101|other"}));

        // A day with nothing stored still asks; OK changes nothing.
        j->RTBox->setPlainText("kept");
        const int askedBefore = fake.asked.size();
        j->MonthView1->setSelectedDate(QDate(1999, 9, 9));
        j->deldata_Click();
        QCOMPARE(fake.asked.size(), askedBefore + 1);
        QCOMPARE(rows().size(), 2);
        QCOMPARE(j->RTBox->toPlainText(), QString("kept"));
    }

    void deleteOnAnEmptyJournalAsksNothing() {
        FakeInteraction fake;
        openWindow();
        j->deldata_Click();
        QVERIFY(fake.asked.isEmpty());
    }

    void listClickShowsThatLineAndMovesTheCalendar() {
        insert("20040229", "leap day one");
        insert("20040229", "leap day two");
        insert("2003", "short key");
        insert(QVariant(), "no key at all");
        insert("20030315", "ides");
        openWindow();
        j->MonthView1->setSelectedDate(QDate(2000, 1, 31));
        j->List1_Click(j->entries->index(1));
        QCOMPARE(j->RTBox->toPlainText(), QString("leap day two"));
        QCOMPARE(j->MonthView1->selectedDate(), QDate(2004, 2, 29));

        // From 29 February to a day of a year without one.
        j->List1_Click(j->entries->index(4));
        QCOMPARE(j->MonthView1->selectedDate(), QDate(2003, 3, 15));

        // Lines without a whole key change what they can and never crash.
        j->List1_Click(j->entries->index(2));
        QCOMPARE(j->RTBox->toPlainText(), QString("t key")); // from the tenth character
        QCOMPARE(j->MonthView1->selectedDate(), QDate(2003, 3, 15));
        j->List1_Click(j->entries->index(3));
        QCOMPARE(j->RTBox->toPlainText(), QString("t all")); // a missing key reads as empty
        QCOMPARE(j->MonthView1->selectedDate(), QDate(2003, 3, 15));
    }

    // A save the store refuses leaves no trace in any row, and the journal
    // keeps working afterwards.
    void refusedSaveWritesNowhere() {
        FakeInteraction fake;
        insert("20021207", "precious");
        openWindow();
        QSqlQuery(m_store->database()).exec("PRAGMA query_only=ON");
        j->MonthView1->setSelectedDate(QDate(2003, 1, 1));
        j->RTBox->setPlainText("not stored");
        j->save_Click();
        QSqlQuery(m_store->database()).exec("PRAGMA query_only=OFF");
        QCOMPARE(rows(), QStringList({"20021207|precious"}));
        pickDay(2002, 12, 7);
        QCOMPARE(j->RTBox->toPlainText(), QString("precious"));
        j->save_Click();
        QCOMPARE(rows().size(), 2);
    }

    // The indexed lookups agree with a walk over the rows, duplicates,
    // short keys and NULLs included.
    void lookupsEqualTheWalk() {
        QRandomGenerator rng(7);
        QList<QVariant> dates;
        for (int i = 0; i < 600; ++i) {
            const int pick = rng.bounded(40);
            QVariant d = pick == 0 ? QVariant() : pick == 1 ? QVariant("2002120") :
                         QVariant(QStringLiteral("200212%1").arg(10 + pick % 12) +
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
            auto position = [&](qint64 key) { return key < 0 ? -1 : int(key) - 1; };
            QCOMPARE(position(rs.findFirst("dates", key)), exact);
            QCOMPARE(position(rs.findFirstWithPrefix("dates", key)), prefix);
        }
    }

    void sizeStepsAndUnderline() {
        openWindow();
        j->RTBox->setPlainText("some text");
        selectAll();
        setSelFontSize(j->RTBox, 12);
        j->fontadd_Click();
        QCOMPARE(*SelectionFormat::of(j->RTBox).fontSize, 13.0);
        j->fontminus_Click();
        j->fontminus_Click();
        QCOMPARE(*SelectionFormat::of(j->RTBox).fontSize, 11.0);
        setSelFontSize(j->RTBox, 1);
        j->fontminus_Click();
        QCOMPARE(*SelectionFormat::of(j->RTBox).fontSize, 1.0);

        // Mixed sizes: neither step changes anything.
        QTextCursor c = j->RTBox->textCursor();
        c.setPosition(0);
        c.setPosition(4, QTextCursor::KeepAnchor);
        j->RTBox->setTextCursor(c);
        setSelFontSize(j->RTBox, 20);
        selectAll();
        QVERIFY(!SelectionFormat::of(j->RTBox).fontSize);
        j->fontadd_Click();
        j->fontminus_Click();
        c.setPosition(0);
        c.setPosition(1, QTextCursor::KeepAnchor);
        QCOMPARE(c.charFormat().fontPointSize(), 20.0);

        selectAll();
        j->underline_Click();
        QCOMPARE(*SelectionFormat::of(j->RTBox).underline, true);
        j->underline_Click();
        QCOMPARE(*SelectionFormat::of(j->RTBox).underline, false);
        c.setPosition(0);
        c.setPosition(3, QTextCursor::KeepAnchor);
        j->RTBox->setTextCursor(c);
        j->underline_Click(); // partly underlined ...
        selectAll();
        j->underline_Click(); // ... so one click removes it all
        QCOMPARE(*SelectionFormat::of(j->RTBox).underline, false);
    }

    void dialogsAndTheirCancelPaths() {
        FakeInteraction fake;
        openWindow();
        j->RTBox->setPlainText("styled");
        selectAll();
        setSelItalic(j->RTBox, true);

        fake.fontAnswer.reset(); // Cancel keeps the format
        j->fontpor_Click();
        QCOMPARE(*SelectionFormat::of(j->RTBox).italic, true);

        QFont chosen("Serif");
        chosen.setPointSize(18);
        chosen.setBold(true);
        fake.fontAnswer = chosen;
        j->fontpor_Click();
        const SelectionFormat f = SelectionFormat::of(j->RTBox);
        QCOMPARE(*f.fontSize, 18.0);
        QCOMPARE(*f.bold, true);
        QCOMPARE(*f.italic, false);

        // The colour dialog cancelled at first applies black.
        setSelColour(j->RTBox, Qt::red);
        fake.fontAnswer.reset();
        j->fontpor_Click();
        QCOMPARE(j->dialogColour(), QColor(Qt::red)); // the font dialog read the selection
        fake.colorAnswer.reset();
        m_diary.reset();
        openWindow();
        j->RTBox->setPlainText("fresh");
        selectAll();
        setSelColour(j->RTBox, Qt::blue);
        j->color_Click();
        QCOMPARE(*SelectionFormat::of(j->RTBox).colour, QColor(Qt::black));
        fake.colorAnswer = QColor(Qt::green);
        j->color_Click();
        fake.colorAnswer.reset();
        setSelColour(j->RTBox, Qt::blue);
        j->color_Click(); // Cancel applies the last colour chosen
        QCOMPARE(*SelectionFormat::of(j->RTBox).colour, QColor(Qt::green));
    }

    void mixedSelectionChangesOnlyWhatTheUserChose() {
        FakeInteraction fake;
        openWindow();
        j->RTBox->setPlainText("abcdef");
        QTextCursor c = j->RTBox->textCursor();
        c.setPosition(0);
        c.setPosition(3, QTextCursor::KeepAnchor);
        j->RTBox->setTextCursor(c);
        setSelFontSize(j->RTBox, 20);
        setSelItalic(j->RTBox, true);
        selectAll();
        const QFont shown = j->RTBox->currentCharFormat().font().resolve(j->RTBox->document()->defaultFont());
        QFont answer = shown;
        answer.setBold(true); // the user ticks bold only
        fake.fontAnswer = answer;
        j->fontpor_Click();
        c.setPosition(0);
        c.setPosition(1, QTextCursor::KeepAnchor);
        QCOMPARE(c.charFormat().fontPointSize(), 20.0);
        QVERIFY(c.charFormat().fontItalic());
        c.setPosition(5);
        c.setPosition(6, QTextCursor::KeepAnchor);
        QVERIFY(!c.charFormat().fontItalic());
        QCOMPARE(*SelectionFormat::of(j->RTBox).bold, true);
    }

    void formattingIsNotSaved() {
        FakeInteraction fake;
        openWindow();
        j->MonthView1->setSelectedDate(QDate(2002, 12, 7));
        j->RTBox->setPlainText("plain words");
        selectAll();
        j->underline_Click();
        j->fontadd_Click();
        j->save_Click();
        j->RTBox->clear();
        pickDay(2002, 12, 7);
        QCOMPARE(j->RTBox->toPlainText(), QString("plain words"));
        selectAll();
        QCOMPARE(*SelectionFormat::of(j->RTBox).underline, false);
        QCOMPARE(rows(), QStringList({"20021207|plain words"}));
    }

    void hugeEntriesStayWhole() {
        FakeInteraction fake;
        QString big;
        for (int i = 0; i < 10240; ++i)
            big += QString(1023, QChar(0x65e5)) + '\n';
        insert("20050505", big);
        openWindow();
        QCOMPARE(j->entries->index(0).data().toString().size(), 9 + EntryListModel::ShownLength);
        QCOMPARE(j->entries->fullLine(0).size(), 9 + big.size());
        pickDay(2005, 5, 5);
        QCOMPARE(j->RTBox->document()->characterCount() - 1, big.size());
    }

    // Texts edited outside: control characters, bytes that are no UTF-8, a
    // number and a blob each show whole on one list line and in the editor.
    void oddStoredTextsShowWhole() {
        const QString controls = QString("a") + QChar(0) + "b\tc\x1b[31md\x07\r\x0c" + "e";
        insert("20050501", controls);
        insert("20050502", QByteArray("\xff\xfe plain"));
        insert("20050503", 12345);
        QSqlQuery q(m_store->database());
        QVERIFY(q.exec("INSERT INTO diary VALUES ('20050504', CAST(x'00e4b8ad01' AS BLOB))"));
        openWindow();
        const QStringList shown = {"20050501 " + QString(controls).replace('\r', " \u21b5 "),
                                   "20050502 \ufffd\ufffd plain", "20050503 12345",
                                   "20050504 " + QString(QChar(0)) + "\u4e2d\x01"};
        for (int r = 0; r < 4; ++r)
            QCOMPARE(j->entries->index(r).data().toString(), shown[r]);
        pickDay(2005, 5, 1);
        QCOMPARE(j->RTBox->toPlainText(), QString(controls).replace('\r', '\n'));
        pickDay(2005, 5, 4);
        QCOMPARE(j->RTBox->toPlainText(), QString(QChar(0)) + "\u4e2d\x01");
    }
};

QTEST_MAIN(TestJournal)
#include "test_journal.moc"

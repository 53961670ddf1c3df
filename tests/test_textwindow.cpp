// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/textwindow.h"

#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

namespace {

QString lines(int count, const QString &stem) {
    QString out;
    for (int i = 0; i < count; ++i)
        out += stem + QString::number(i) + u'\n';
    return out;
}

qsizetype longestBlock(const QTextDocument *doc) {
    qsizetype longest = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        longest = std::max<qsizetype>(longest, b.length() - 1);
    return longest;
}

// Lets the slices in and the window slide until the document settles.
void settle(QTextEdit *editor) {
    for (int quiet = 0, last = -1; quiet < 3; QTest::qWait(5)) {
        const int now = editor->document()->characterCount();
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
}

} // namespace

// Texts of any length in an editor: whole when read back, light in the document.
class TestTextWindow : public QObject {
    Q_OBJECT
    QTextEdit *editor = nullptr;
    TextWindow *window = nullptr;

private Q_SLOTS:
    void init() {
        editor = new QTextEdit;
        editor->resize(400, 300);
        editor->show();
        window = new TextWindow(editor);
    }
    void cleanup() { delete editor; }

    // What goes in comes back as it was, however it is cut for showing:
    // surrogate pairs on every cut, lines of millions of characters, line
    // ends of every kind.
    void textsComeBackWhole_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString pair = QString::fromUtf8("𠀀");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("short") << "今天\n\n下雨 " + pair << "今天\n\n下雨 " + pair;
        QTest::newRow("line ends") << "a\r\nb\rc\n"
                                   << "a\nb\nc\n";
        QTest::newRow("no-break space kept") << "a\u00a0b"
                                             << "a\u00a0b";
        QTest::newRow("one long line of pairs") << pair.repeated(300000) << pair.repeated(300000);
        const QString mixed = lines(5000, "第") + QString(100000, u'字') + u'\n' + lines(50, "x");
        QTest::newRow("many lines and a long one") << mixed << mixed;
        const QString blank(200000, u'\n');
        QTest::newRow("blank lines") << blank << blank;
    }
    void textsComeBackWhole() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        window->setText(text);
        QCOMPARE(window->text(), expected); // at once, while slices still go in
        settle(editor);
        QCOMPARE(window->text(), expected);
        const QTextDocument *doc = editor->document();
        QVERIFY(longestBlock(doc) <= TextWindow::LongestBlock);
        QVERIFY(doc->characterCount() <= 2 * TextWindow::WindowChars);
        QVERIFY(doc->blockCount() <= 2 * TextWindow::WindowBlocks);
        QVERIFY(!doc->isUndoAvailable()); // feeding is not the user's to undo
    }

    // Text that comes in parts joins as one, a CR LF pair cut between them too.
    void partsJoinWhole() {
        window->setText("a\r");
        window->appendText("\nb\r");
        window->appendText(QString());
        window->appendText("\r\nc" + QString(50000, u'字'));
        window->appendText("\n");
        settle(editor);
        QCOMPARE(window->text(), "a\nb\n\nc" + QString(50000, u'字') + "\n");
    }

    // A break typed inside a cut line is a real line end; the cut itself
    // never becomes one.
    void cutsAreNotLineEnds() {
        const QString line = QString(20000, u'天');
        window->setText(line);
        QTextDocument *doc = editor->document();
        QVERIFY(doc->blockCount() >= 3);
        QTextCursor c(doc->begin().next()); // the start of the first continuation
        c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 10);
        editor->setTextCursor(c);
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, "x");
        const qsizetype at = doc->begin().length() - 1 + 10;
        QCOMPARE(window->text(), line.left(at) + "\nx" + line.mid(at));
        // Backspace at a continuation's start joins what was never apart.
        editor->setTextCursor(QTextCursor(doc->lastBlock()));
        QTest::keyClick(editor, Qt::Key_Backspace);
        QCOMPARE(window->text(), line.left(at) + "\nx" + line.mid(at));
        editor->undo();
        QCOMPARE(window->text().count(u'\n'), 2); // an undone join comes back as a break
    }

    // A text too long for one document slides past as the user scrolls, and
    // what the user changed stays in the text when it has slid out.
    void theWindowSlidesAndKeepsEdits() {
        const QString text = lines(200000, "行");
        window->setText(text);
        settle(editor);
        QTextDocument *doc = editor->document();
        QVERIFY(!window->holdsEverything());
        QTextCursor(doc).insertText("改");
        QScrollBar *bar = editor->verticalScrollBar();
        while (doc->lastBlock().previous().text() != "行199999" || bar->value() < bar->maximum()) {
            bar->setValue(bar->maximum());
            QTest::qWait(1);
            QVERIFY(doc->characterCount() <= 2 * TextWindow::WindowChars);
        }
        QVERIFY(!doc->toPlainText().contains("改"));
        QCOMPARE(window->text(), "改" + text);
        for (int i = 0; i < 100000 && !doc->begin().text().startsWith("改"); ++i) {
            bar->setValue(0);
            QTest::qWait(1);
        }
        QCOMPARE(doc->begin().text(), QString("改行0"));
        QCOMPARE(window->text(), "改" + text);
        window->setText("新");
        settle(editor);
        QCOMPARE(doc->toPlainText(), QString("新")); // nothing old slides back in
    }

    // A place is an offset of the whole text: the line at the top is the
    // one holding it, in a line cut into several blocks, with text above
    // the document, and while slices go in above and below.
    void placesAreOffsetsOfTheText() {
        QString numbers;
        for (int i = 0; numbers.size() < 30000; ++i)
            numbers += QString::number(i) + u',';
        const QString above = lines(3000, "前");
        const QString text = above + numbers + u'\n' + lines(200000, "行");
        const qsizetype inLong = above.size() + 20000;
        const qsizetype far = text.indexOf("行150000\n");
        auto topLine = [this] {
            QTextCursor c = editor->cursorForPosition(QPoint(0, 1));
            c.movePosition(QTextCursor::StartOfLine);
            c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
            return c.selectedText();
        };
        auto holds = [&](qsizetype at) {
            const qsizetype top = window->offsetAt(0);
            const QString line = topLine();
            return top <= at && at <= top + line.size() && text.mid(top, line.size()) == line;
        };
        for (const qsizetype at : {inLong, far}) {
            window->setText(text, at);
            QVERIFY(holds(at));
            const qsizetype top = window->offsetAt(0);
            settle(editor);
            QCOMPARE(window->offsetAt(0), top);
            QVERIFY(holds(at));
            QCOMPARE(window->size(), text.size());
            QCOMPARE(window->text(), text);
        }
        // Within a document that holds the cut line with text above it.
        window->setText(text);
        settle(editor);
        window->showOffset(inLong);
        QVERIFY(holds(inLong));
        window->showOffset(far); // far below the document: brought in
        QVERIFY(holds(far));
        QCOMPARE(window->text(), text);
        window->setText(text, text.size() + 1);
        QCOMPARE(window->offsetAt(0), 0);
    }

    // The scroll bar stands for the whole text: half way down the text its
    // handle is half way down the bar, and dragged to the bottom it shows
    // the last lines, which the document did not hold.
    void theScrollBarStandsForTheWholeText() {
        const QString text = lines(200000, "行");
        window->setText(text, text.indexOf("行100000\n"));
        settle(editor);
        QScrollBar *bar = editor->verticalScrollBar();
        auto mouse = [bar](QEvent::Type type, int y) {
            const QPoint at(bar->width() / 2, y);
            QMouseEvent event(type, at, bar->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(bar, &event);
        };
        QVERIFY(!editor->document()->toPlainText().contains("行199999"));
        const QImage halfWay = bar->grab().toImage();
        mouse(QEvent::MouseButtonPress, bar->height() / 2);
        mouse(QEvent::MouseMove, bar->height() - 1);
        mouse(QEvent::MouseButtonRelease, bar->height() - 1);
        settle(editor);
        QVERIFY(window->offsetAt(0) > text.size() - 1000);
        QVERIFY(bar->grab().toImage() != halfWay); // the handle is drawn where it went
        QVERIFY(editor->document()->toPlainText().contains("行199999"));
        QVERIFY(editor->document()->characterCount() <= 2 * TextWindow::WindowChars);
        QCOMPARE(window->text(), text);
    }

    // Found words far down a long text: brought into view, the cursor on the
    // first, marked until the next edit; the marks are no part of the text.
    void wordsAreFoundAndMarked() {
        QString text = lines(200000, "行");
        text.insert(text.indexOf("行150000\n"), "落雨天 ");
        text.insert(text.indexOf("行150001\n"), "落雨天 ");
        window->setText(text);
        settle(editor);
        QSignalSpy edits(window, &TextWindow::edited);
        QVERIFY(!window->markWords({"不在"}));
        QVERIFY(window->markWords({"落雨天"}));
        const QTextCursor at = editor->textCursor();
        QVERIFY(at.block().text().mid(at.positionInBlock()).startsWith("落雨天"));
        QCOMPARE(editor->extraSelections().size(), 2);
        QCOMPARE(window->text(), text);
        QCOMPARE(edits.count(), 0);
        QTest::keyClicks(editor, "x");
        QVERIFY(editor->extraSelections().isEmpty());
        QCOMPARE(edits.count(), 1);
    }
};

QTEST_MAIN(TestTextWindow)
#include "test_textwindow.moc"

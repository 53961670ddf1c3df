// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "contacts/contactspanel.h"
#include "contacts/faceart.h"
#include "contacts/findcontactdialog.h"
#include "core/apppaths.h"
#include "core/recordset.h"
#include "core/store.h"
#include "fakeinteraction.h"
#include "modal.h"
#include "pages.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "windowfixture.h"

#include "sql.h"
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {
// The search window's name box, by the name any tool finds it by.
QLineEdit *nameBox(const QWidget *find) {
    return named<QLineEdit>(find, "Textname");
}
} // namespace

class TestContacts : public WindowFixture {
    Q_OBJECT

    ContactsPage c;

    void insert(const QVariant &name, const QVariant &face = QVariant()) {
        SqlQuery q(m_store->nativeHandle());
        q.prepare("INSERT INTO address (name, qqpic) VALUES (?, ?)");
        q.addBindValue(name);
        q.addBindValue(face);
        QVERIFY(q.exec());
    }
    QStringList stored(const QString &field) {
        SqlQuery q(m_store->nativeHandle());
        q.exec(
            QStringLiteral("SELECT ifnull(%1, '<null>') FROM address ORDER BY rowid").arg(field));
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    void openWindow() {
        m_diary = std::make_unique<MainWindow>(m_store.get());
        c = ContactsPage(m_diary.get());
        m_diary->show();
        press(m_diary.get(), "Command4");
    }
    bool allLocked() {
        for (int i = 0; i < ContactsPanel::FieldCount; ++i)
            if (!c->isLocked(i))
                return false;
        return true;
    }
    bool noneLocked() {
        for (int i = 0; i < ContactsPanel::FieldCount; ++i)
            if (c->isLocked(i))
                return false;
        return true;
    }
    // Runs the find window modally, acting on it once it is up.
    void find(const std::function<void(FindContactDialog *)> &act) {
        whenShown(this, "findaddress",
                  [act](QWidget *w) { act(static_cast<FindContactDialog *>(w)); });
        c->findContact();
    }

private Q_SLOTS:
    void init() { openStore(); }
    void cleanup() { closeAll(); }

    // First, before anything here reads a picture (the journal's calendar
    // does): a face is read as the bitmap it is, without loading the image
    // plugins to ask them about it.
    void facesLoadNoImagePlugin() {
        insert("乙", "5.bmp");
        RecordSet contacts(m_store.get(), "address");
        QVERIFY(contacts.open() && contacts.moveFirst());
        QWidget window;
        ContactsPanel panel(&window, &contacts);
        panel.loadFaces();
        QCOMPARE(panel.shownFace(), QString("5.bmp"));
        QFile maps("/proc/self/maps");
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("/imageformats/"));
    }

    void facesAreDistinctAndOnDisk() {
        QSet<QByteArray> seen;
        for (int n = 1; n <= FaceArt::Count; ++n) {
            const QImage img = FaceArt::face(n);
            QCOMPARE(img.size(), QSize(32, 32));
            QCOMPARE(img.pixel(0, 0), FaceArt::Transparent);
            seen.insert(QByteArray(reinterpret_cast<const char *>(img.constBits()),
                                   int(img.sizeInBytes())));
            QVERIFY(QFile::exists(AppPaths::face(QStringLiteral("%1.bmp").arg(n))));
        }
        QCOMPARE(seen.size(), FaceArt::Count);
        const QImage onDisk(AppPaths::face("17.bmp"));
        QCOMPARE(onDisk.convertToFormat(QImage::Format_RGB32), FaceArt::face(17));
        // The transparent colour shows through; the face itself does not.
        const QImage shown = FaceArt::seeThrough(onDisk);
        QCOMPARE(qAlpha(shown.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(shown.pixel(16, 16)), 255);
        QCOMPARE(FaceArt::face(17, 2).size(), QSize(64, 64));
    }

    void startUpLocksAndGivesTheFirstContactAFace() {
        insert("甲");
        insert("乙", "5.bmp");
        openWindow();
        QCOMPARE(c.faceSelector()->count(), 85);
        QCOMPARE(c.faceSelector()->itemData(0).toString(), QString("qq1"));
        QCOMPARE(c.faceSelector()->itemData(84).toString(), QString("qq85"));
        QVERIFY(c.faceSelector()->itemText(16).isEmpty());
        QVERIFY(allLocked());
        QCOMPARE(c->text(0), QString("甲"));
        QCOMPARE(c->shownFace(), QString("2.bmp"));
        QCOMPARE(c.faceNameBox()->text(), QString("2.bmp")); // pending for the first contact
        c->showNext();
        QCOMPARE(stored("qqpic"), QStringList({"2.bmp", "5.bmp"}));
        QCOMPARE(c->shownFace(), QString("5.bmp"));
    }

    // Started on the journal, the page's boxes wait for it, or for a reader;
    // the face name box does not, and waiting writes nothing.
    void hiddenPageFillsItsBoxesWhenShown() {
        insert("甲", "17.bmp");
        insert("乙", "5.bmp");
        m_diary = std::make_unique<MainWindow>(m_store.get());
        c = ContactsPage(m_diary.get());
        m_diary->show();
        QVERIFY(c.field(0)->text().isEmpty());
        QCOMPARE(c.faceNameBox()->text(), QString("17.bmp"));
        QCOMPARE(c->shownFace(), QString("17.bmp"));
        m_diary->contactRecords->moveNext();
        QCOMPARE(c->shownFace(), QString("5.bmp"));
        QVERIFY(c.field(0)->text().isEmpty() && c.remark()->toPlainText().isEmpty());
        press(m_diary.get(), "Command4");
        QCOMPARE(c.field(0)->text(), QString("乙"));
        QVERIFY(!c.field(0)->hasSelectedText()); // a move since start: as a refresh leaves it
        QVERIFY(!m_diary->contactRecords->hasPending());
        QVERIFY(allLocked());
        QCOMPARE(stored("qqpic"), QStringList({"17.bmp", "5.bmp"}));

        // The name chosen at start stays chosen; a reader fills the boxes early.
        m_diary.reset();
        m_diary = std::make_unique<MainWindow>(m_store.get());
        c = ContactsPage(m_diary.get());
        m_diary->show();
        c->showFieldTips();
        QCOMPARE(c.field(0)->toolTip(), QString("甲"));
        press(m_diary.get(), "Command4");
        QCOMPARE(c.field(0)->selectedText(), QString("甲"));
        QVERIFY(!m_diary->contactRecords->hasPending());
    }

    void steppingStopsAtBothEnds() {
        insert("a", "1.bmp");
        insert("b", "1.bmp");
        insert("c", "1.bmp");
        openWindow();
        c->showPrevious();
        QCOMPARE(c->text(0), QString("a"));
        c->showNext();
        c->showNext();
        c->showNext();
        QCOMPARE(c->text(0), QString("c"));
        c->unlockFields();
        QVERIFY(noneLocked());
        c->showPrevious();
        QVERIFY(allLocked());
        QCOMPARE(c->text(0), QString("b"));
    }

    // The change handler shows the default face for an empty name without
    // writing it; the refresh after a step writes it.
    void emptyFaceShownVersusWritten() {
        insert("x", "9.bmp");
        insert("y");
        insert("z", "9.bmp");
        openWindow();
        m_diary->contactRecords->moveNext(); // a plain move: change handler only
        QCOMPARE(c->shownFace(), QString("2.bmp"));
        m_diary->contactRecords->moveNext();
        QCOMPARE(stored("qqpic"), QStringList({"9.bmp", "<null>", "9.bmp"}));
        c->showPrevious(); // a step: the refresh writes it
        c->showPrevious();
        QCOMPARE(stored("qqpic"), QStringList({"9.bmp", "2.bmp", "9.bmp"}));
    }

    void addUpdateDeleteAndTheirOutcomes() {
        insert("a", "1.bmp");
        insert("b", "1.bmp");
        openWindow();
        c->addContact();
        QVERIFY(noneLocked());
        QCOMPARE(c->text(0), QString());
        QCOMPARE(c->shownFace(), QString("2.bmp"));
        c.field(0)->setText("new one");
        c->addContact(); // a second Add stores the first
        QCOMPARE(stored("name"), QStringList({"a", "b", "new one"}));
        QCOMPARE(stored("qqpic").last(), QString("<null>")); // no face picked
        c.field(0)->setText("typed, then stepped away");
        c->showNext(); // left by a step: written, and the last stays on screen
        QCOMPARE(stored("name").last(), QString("typed, then stepped away"));
        QCOMPARE(c->text(0), QString("typed, then stepped away"));
        QVERIFY(allLocked());

        c->showPrevious();
        c->showPrevious();
        c->showPrevious(); // on "a"
        c->unlockFields();
        c.field(1)->setText("nick");
        c->saveContact();
        QVERIFY(allLocked());
        QCOMPARE(stored("nickname").first(), QString("nick"));
        QCOMPARE(c->text(0), QString("a"));

        c->deleteContact(); // the following one comes on screen
        QCOMPARE(c->text(0), QString("b"));
        QVERIFY(allLocked());
        c->showNext();
        c->showNext();
        c->deleteContact(); // the last: the one before it comes on screen
        QCOMPARE(c->text(0), QString("new one"));
        QCOMPARE(stored("name"), QStringList({"b", "new one"}));
    }

    // Typed fields are written when the program ends, as leaving the row would.
    void pendingEditsSurviveTheEnd() {
        insert("a", "1.bmp");
        openWindow();
        c->unlockFields();
        c.field(1)->setText("typed, never saved");
        QTimer::singleShot(0, m_diary->closeButton, &QToolButton::click);
        QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(stored("nickname"), QStringList({"typed, never saved"}));
        c->addContact();
        c.field(0)->setText("brand new");
        m_diary->savePendingEdits();
        QCOMPARE(stored("name"), QStringList({"a", "brand new"}));
    }

    void emptyTableFailsQuietly() {
        openWindow();
        for (auto op : {&ContactsPanel::showPrevious, &ContactsPanel::showNext,
                        &ContactsPanel::saveContact, &ContactsPanel::deleteContact}) {
            (c.panel->*op)();
            QVERIFY(allLocked());
            QCOMPARE(c->text(0), QString());
        }
        QCOMPARE(c->shownFace(), QString("2.bmp"));
        QVERIFY(stored("name").isEmpty());
        c->addContact();
        c.field(0)->setText("first friend");
        c->addContact();
        c->deleteContact(); // drops the unwritten second one
        QCOMPARE(stored("name"), QStringList({"first friend"}));
        QCOMPARE(c->text(0), QString("first friend"));
    }

    void pickingAFace() {
        insert("a", "1.bmp");
        insert("b", "1.bmp");
        openWindow();
        c.faceSelector()->setCurrentIndex(16);
        c->chooseFace(17);
        QCOMPARE(c->shownFace(), QString("17.bmp"));
        QCOMPARE(stored("qqpic").first(), QString("1.bmp")); // not saved by itself
        QVERIFY(allLocked());                                // works on locked fields too
        c->showNext();
        c->showPrevious();
        QCOMPARE(c->shownFace(), QString("17.bmp"));
        QCOMPARE(stored("qqpic").first(), QString("17.bmp"));
    }

    void hostileFaceNamesLoadNothing() {
        insert("a", "3.bmp");
        insert("b", "../qqface/5.bmp");
        insert("c", "/etc/passwd");
        insert("d", "..");
        insert("e", "99.bmp");
        openWindow();
        QCOMPARE(c->shownFace(), QString("3.bmp"));
        for (int i = 0; i < 4; ++i) {
            c->showNext();
            QCOMPARE(c->shownFace(), QString("3.bmp")); // the avatar stays as it was
        }
    }

    // A locked field refuses every way of input; unlocked, it takes them all.
    void lockedFieldsRefuseInputMethodsAndPaste() {
        SqlQuery(m_store->nativeHandle())
            .exec("INSERT INTO address (name, introduce) VALUES ('n', 'r')");
        openWindow();
        QLineEdit *name = c.field(0);
        QPlainTextEdit *remark = c.remark();
        auto commit = [](QWidget *w, const QString &text) {
            QInputMethodEvent e;
            e.setCommitString(text);
            QApplication::sendEvent(w, &e);
        };
        QApplication::clipboard()->setText("pasted");
        commit(name, QStringLiteral("中"));
        commit(remark, QStringLiteral("文"));
        name->setFocus();
        QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(c->text(0), QString("n"));
        QCOMPARE(c->text(10), QString("r"));
        c->showNext(); // a step writes what the fields hold
        QCOMPARE(c->text(0), QString("n"));

        c->unlockFields();
        name->setCursorPosition(1);
        commit(name, QStringLiteral("中"));
        QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
        remark->moveCursor(QTextCursor::End);
        commit(remark, QStringLiteral("文"));
        QCOMPARE(c->text(0), QString("n中pasted"));
        QCOMPARE(c->text(10), QString("r文"));
    }

    void typingLimitsLockingAndSelectOnClick() {
        SqlQuery q(m_store->nativeHandle());
        q.exec("INSERT INTO address (name, homeaddress, introduce, qqpic) VALUES "
               "('a name that is far too long', 'addr', 'remark text', '1.bmp')");
        openWindow();
        QCOMPARE(c->text(0), QString("a name that is far too long")); // shown whole
        QLineEdit *name = c.field(0);
        name->setFocus();
        QTest::keyClicks(name, "x");
        QCOMPARE(name->text(), QString("a name that is far too long")); // locked
        c->unlockFields();
        c->unlockFields(); // not a toggle
        QVERIFY(noneLocked());
        name->clear();
        QTest::keyClicks(name, "sixteen-letters!");
        QCOMPARE(name->text(), QString("sixteen-letters"));
        // Characters beyond the basic plane count once each, and none is split.
        name->clear();
        const QString wide = QString::fromUcs4(U"\U00020000");
        for (int i = 0; i < 16; ++i)
            QTest::sendKeyEvent(QTest::Click, name, Qt::Key_unknown, wide, Qt::NoModifier);
        QCOMPARE(name->text(), wide.repeated(15));
        const int limits[] = {15, 15, 10, 0, 0, 11, 0, 0, 50, 0};
        for (int i = 1; i < 10; ++i) {
            QLineEdit *f = c.field(i);
            f->clear();
            QTest::keyClicks(f, QString(60, 'x'));
            QCOMPARE(f->text().size(), limits[i] ? limits[i] : 60);
        }

        c->lockFields();
        QTest::mouseClick(c.field(8), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(c.field(8)->selectedText(), c.field(8)->text());
        QTest::mouseClick(c.remark()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!c.remark()->textCursor().hasSelection());
        for (int i = 1; i < ContactsPanel::FieldCount; ++i) {
            QWidget *next = c.fieldBox(i - 1)->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next, c.fieldBox(i));
        }
    }

    void hoverGivesTheFieldsTheirTextAsTips() {
        insert("张三", "1.bmp");
        openWindow();
        c.frame()->setMouseTracking(true);
        QMouseEvent move(QEvent::MouseMove, QPointF(760, 470), QPointF(760, 470), Qt::NoButton, {},
                         {});
        QApplication::sendEvent(c.frame(), &move);
        QCOMPARE(c.field(0)->toolTip(), QString("张三"));
        QCOMPARE(c.field(1)->toolTip(), QString());
        QVERIFY(c.remark()->toolTip().isEmpty());
    }

    void findByExactName() {
        FakeInteraction fake;
        insert("alpha", "1.bmp");
        insert("Twin", "1.bmp");
        insert("twin", "1.bmp");
        insert("Twin", "4.bmp");
        openWindow();
        c->showNext(); // on the first "Twin"

        // Cancel at once: nothing moves, the text is kept.
        find([](FindContactDialog *f) {
            nameBox(f)->setText("remember me");
            QTest::keyClick(f, Qt::Key_Escape);
        });
        QCOMPARE(m_diary->contactRecords->absolutePosition(), 2);
        QVERIFY(allLocked());
        find([](FindContactDialog *f) {
            QCOMPARE(nameBox(f)->text(), QString("remember me"));
            QCOMPARE(f->windowTitle(), QString("查找"));
            // Not found (case and blanks count): a message, then the first contact.
            nameBox(f)->setText("Twin ");
            press(f, "Cmdok");
            nameBox(f)->setText("TWIN");
            press(f, "Cmdok");
            press(f, "cannel");
        });
        QCOMPARE(fake.asked.size(), 2);
        QCOMPARE(fake.asked.last().text, QString("对不起，你查找的人不存在！"));
        QCOMPARE(fake.asked.last().title, QString("对不起"));
        QCOMPARE(c->text(0), QString("alpha"));

        c->unlockFields();
        find([](FindContactDialog *f) {
            nameBox(f)->setText("Twin");
            QTest::keyClick(nameBox(f), Qt::Key_Return); // the default button
        });
        QCOMPARE(m_diary->contactRecords->absolutePosition(), 2); // the first of the two
        QCOMPARE(c->shownFace(), QString("1.bmp"));
        QVERIFY(allLocked());
        find([](FindContactDialog *f) {
            QVERIFY(nameBox(f)->text().isEmpty()); // a new window after a success
            press(f, "cannel");
        });
    }

    void findOnAnEmptyTableSaysSo() {
        FakeInteraction fake;
        openWindow();
        find([](FindContactDialog *f) {
            nameBox(f)->setText("anyone");
            press(f, "Cmdok");
            press(f, "cannel");
        });
        QCOMPARE(fake.asked.size(), 1);
    }
};

QTEST_MAIN(TestContacts)
#include "test_contacts.moc"

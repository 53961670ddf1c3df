#include "contacts/contactspanel.h"
#include "contacts/faceart.h"
#include "contacts/findaddress.h"
#include "diaryfixture.h"
#include "fakeinteraction.h"
#include "modal.h"
#include "shell/diary.h"
#include "shell/panelframe.h"
#include "shell/picturebutton.h"
#include "store/apppaths.h"
#include "store/recordset.h"
#include "store/store.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

class TestContacts : public DiaryFixture {
    Q_OBJECT

    ContactsPanel *c = nullptr;

    void insert(const QVariant &name, const QVariant &face = QVariant()) {
        QSqlQuery q(m_store->database());
        q.prepare("INSERT INTO address (name, qqpic) VALUES (?, ?)");
        q.addBindValue(name);
        q.addBindValue(face);
        QVERIFY(q.exec());
    }
    QStringList stored(const QString &field) {
        QSqlQuery q(m_store->database());
        q.exec(QStringLiteral("SELECT ifnull(%1, '<null>') FROM address ORDER BY rowid").arg(field));
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    void openWindow() {
        m_diary = std::make_unique<Diary>(m_store.get());
        c = m_diary->contacts;
        m_diary->show();
        m_diary->Command4->click();
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
    void find(const std::function<void(FindAddress *)> &act) {
        whenShown(this, "findaddress", [act](QWidget *w) { act(static_cast<FindAddress *>(w)); });
        c->findname_Click();
    }

private Q_SLOTS:
    void init() { openStore(); }
    void cleanup() { closeAll(); }

    void facesAreDistinctAndOnDisk() {
        QSet<QByteArray> seen;
        for (int n = 1; n <= FaceArt::Count; ++n) {
            const QImage img = FaceArt::face(n);
            QCOMPARE(img.size(), QSize(32, 32));
            QCOMPARE(img.pixel(0, 0), FaceArt::Transparent);
            seen.insert(QByteArray(reinterpret_cast<const char *>(img.constBits()), int(img.sizeInBytes())));
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
        QCOMPARE(c->ICombo->count(), 85);
        QCOMPARE(c->ICombo->itemData(0).toString(), QString("qq1"));
        QCOMPARE(c->ICombo->itemData(84).toString(), QString("qq85"));
        QVERIFY(c->ICombo->itemText(16).isEmpty());
        QVERIFY(allLocked());
        QCOMPARE(c->text(0), QString("甲"));
        QCOMPARE(c->shownFace(), QString("2.bmp"));
        QCOMPARE(c->Textpasskey->text(), QString("2.bmp")); // pending for the first contact
        c->cmdn_Click();
        QCOMPARE(stored("qqpic"), QStringList({"2.bmp", "5.bmp"}));
        QCOMPARE(c->shownFace(), QString("5.bmp"));
    }

    void steppingStopsAtBothEnds() {
        insert("a", "1.bmp");
        insert("b", "1.bmp");
        insert("c", "1.bmp");
        openWindow();
        c->cmdp_Click();
        QCOMPARE(c->text(0), QString("a"));
        c->cmdn_Click();
        c->cmdn_Click();
        c->cmdn_Click();
        QCOMPARE(c->text(0), QString("c"));
        c->modify_Click();
        QVERIFY(noneLocked());
        c->cmdp_Click();
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
        m_diary->Adoadd->moveNext(); // a plain move: change handler only
        QCOMPARE(c->shownFace(), QString("2.bmp"));
        m_diary->Adoadd->moveNext();
        QCOMPARE(stored("qqpic"), QStringList({"9.bmp", "<null>", "9.bmp"}));
        c->cmdp_Click(); // a step: the refresh writes it
        c->cmdp_Click();
        QCOMPARE(stored("qqpic"), QStringList({"9.bmp", "2.bmp", "9.bmp"}));
    }

    void addUpdateDeleteAndTheirOutcomes() {
        insert("a", "1.bmp");
        insert("b", "1.bmp");
        openWindow();
        c->Cmdadd_Click();
        QVERIFY(noneLocked());
        QCOMPARE(c->text(0), QString());
        QCOMPARE(c->shownFace(), QString("2.bmp"));
        c->field(0)->setText("new one");
        c->Cmdadd_Click(); // a second Add stores the first
        QCOMPARE(stored("name"), QStringList({"a", "b", "new one"}));
        QCOMPARE(stored("qqpic").last(), QString("<null>")); // no face picked
        c->field(0)->setText("typed, then stepped away");
        c->cmdn_Click(); // left by a step: written, and the last stays on screen
        QCOMPARE(stored("name").last(), QString("typed, then stepped away"));
        QCOMPARE(c->text(0), QString("typed, then stepped away"));
        QVERIFY(allLocked());

        c->cmdp_Click();
        c->cmdp_Click();
        c->cmdp_Click(); // on "a"
        c->modify_Click();
        c->field(1)->setText("nick");
        c->Cmdupdate_Click();
        QVERIFY(allLocked());
        QCOMPARE(stored("nickname").first(), QString("nick"));
        QCOMPARE(c->text(0), QString("a"));

        c->cmddelete_Click(); // the following one comes on screen
        QCOMPARE(c->text(0), QString("b"));
        QVERIFY(allLocked());
        c->cmdn_Click();
        c->cmdn_Click();
        c->cmddelete_Click(); // the last: the one before it comes on screen
        QCOMPARE(c->text(0), QString("new one"));
        QCOMPARE(stored("name"), QStringList({"b", "new one"}));
    }

    // Typed fields are written when the program ends, as leaving the row would.
    void pendingEditsSurviveTheEnd() {
        insert("a", "1.bmp");
        openWindow();
        c->modify_Click();
        c->field(1)->setText("typed, never saved");
        QTimer::singleShot(0, m_diary->exitsys, &QToolButton::click);
        QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(stored("nickname"), QStringList({"typed, never saved"}));
        c->Cmdadd_Click();
        c->field(0)->setText("brand new");
        m_diary->savePendingEdits();
        QCOMPARE(stored("name"), QStringList({"a", "brand new"}));
    }

    void emptyTableFailsQuietly() {
        openWindow();
        for (auto op : {&ContactsPanel::cmdp_Click, &ContactsPanel::cmdn_Click,
                        &ContactsPanel::Cmdupdate_Click, &ContactsPanel::cmddelete_Click}) {
            (c->*op)();
            QVERIFY(allLocked());
            QCOMPARE(c->text(0), QString());
        }
        QCOMPARE(c->shownFace(), QString("2.bmp"));
        QVERIFY(stored("name").isEmpty());
        c->Cmdadd_Click();
        c->field(0)->setText("first friend");
        c->Cmdadd_Click();
        c->cmddelete_Click(); // drops the unwritten second one
        QCOMPARE(stored("name"), QStringList({"first friend"}));
        QCOMPARE(c->text(0), QString("first friend"));
    }

    void pickingAFace() {
        insert("a", "1.bmp");
        insert("b", "1.bmp");
        openWindow();
        c->ICombo->setCurrentIndex(16);
        c->ICombo_Click(17);
        QCOMPARE(c->shownFace(), QString("17.bmp"));
        QCOMPARE(stored("qqpic").first(), QString("1.bmp")); // not saved by itself
        QVERIFY(allLocked()); // works on locked fields too
        c->cmdn_Click();
        c->cmdp_Click();
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
            c->cmdn_Click();
            QCOMPARE(c->shownFace(), QString("3.bmp")); // the avatar stays as it was
        }
    }

    void typingLimitsLockingAndSelectOnClick() {
        QSqlQuery q(m_store->database());
        q.exec("INSERT INTO address (name, homeaddress, introduce, qqpic) VALUES "
               "('a name that is far too long', 'addr', 'remark text', '1.bmp')");
        openWindow();
        QCOMPARE(c->text(0), QString("a name that is far too long")); // shown whole
        QLineEdit *name = c->field(0);
        name->setFocus();
        QTest::keyClicks(name, "x");
        QCOMPARE(name->text(), QString("a name that is far too long")); // locked
        c->modify_Click();
        c->modify_Click(); // not a toggle
        QVERIFY(noneLocked());
        name->clear();
        QTest::keyClicks(name, "sixteen-letters!");
        QCOMPARE(name->text(), QString("sixteen-letters"));
        const int limits[] = {15, 15, 10, 0, 0, 11, 0, 0, 50, 0};
        for (int i = 1; i < 10; ++i) {
            QLineEdit *f = c->field(i);
            f->clear();
            QTest::keyClicks(f, QString(60, 'x'));
            QCOMPARE(f->text().size(), limits[i] ? limits[i] : 60);
        }

        c->lockinfotext();
        QTest::mouseClick(c->field(8), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(c->field(8)->selectedText(), c->field(8)->text());
        QTest::mouseClick(c->remark()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!c->remark()->textCursor().hasSelection());
        for (int i = 1; i < ContactsPanel::FieldCount; ++i) {
            QWidget *next = c->infotext[i - 1]->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next, c->infotext[i]);
        }
    }

    void hoverGivesTheFieldsTheirTextAsTips() {
        insert("张三", "1.bmp");
        openWindow();
        c->Frame5->setMouseTracking(true);
        QMouseEvent move(QEvent::MouseMove, QPointF(760, 470), QPointF(760, 470), Qt::NoButton, {}, {});
        QApplication::sendEvent(c->Frame5, &move);
        QCOMPARE(c->field(0)->toolTip(), QString("张三"));
        QCOMPARE(c->field(1)->toolTip(), QString());
        QVERIFY(c->remark()->toolTip().isEmpty());
    }

    void findByExactName() {
        FakeInteraction fake;
        insert("alpha", "1.bmp");
        insert("Twin", "1.bmp");
        insert("twin", "1.bmp");
        insert("Twin", "4.bmp");
        openWindow();
        c->cmdn_Click(); // on the first "Twin"

        // Cancel at once: nothing moves, the text is kept.
        find([](FindAddress *f) {
            f->Textname->setText("remember me");
            QTest::keyClick(f, Qt::Key_Escape);
        });
        QCOMPARE(m_diary->Adoadd->absolutePosition(), 2);
        QVERIFY(allLocked());
        find([](FindAddress *f) {
            QCOMPARE(f->Textname->text(), QString("remember me"));
            QCOMPARE(f->windowTitle(), QString("查找"));
            // Not found (case and blanks count): a message, then the first contact.
            f->Textname->setText("Twin ");
            f->Cmdok->click();
            f->Textname->setText("TWIN");
            f->Cmdok->click();
            f->cannel->click();
        });
        QCOMPARE(fake.asked.size(), 2);
        QCOMPARE(fake.asked.last().text, QString("对不起，你查找的人不存在！"));
        QCOMPARE(fake.asked.last().title, QString("对不起"));
        QCOMPARE(c->text(0), QString("alpha"));

        c->modify_Click();
        find([](FindAddress *f) {
            f->Textname->setText("Twin");
            QTest::keyClick(f->Textname, Qt::Key_Return); // the default button
        });
        QCOMPARE(m_diary->Adoadd->absolutePosition(), 2); // the first of the two
        QCOMPARE(c->shownFace(), QString("1.bmp"));
        QVERIFY(allLocked());
        find([](FindAddress *f) {
            QVERIFY(f->Textname->text().isEmpty()); // a new window after a success
            f->cannel->click();
        });
    }

    void findOnAnEmptyTableSaysSo() {
        FakeInteraction fake;
        openWindow();
        find([](FindAddress *f) {
            f->Textname->setText("anyone");
            f->Cmdok->click();
            f->cannel->click();
        });
        QCOMPARE(fake.asked.size(), 1);
    }
};

QTEST_MAIN(TestContacts)
#include "test_contacts.moc"

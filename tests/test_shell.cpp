#include "contacts/contactspanel.h"
#include "fakeinteraction.h"
#include "modal.h"
#include "journal/journalpanel.h"
#include "options/frmoptions.h"
#include "shell/diary.h"
#include "shell/labelbutton.h"
#include "shell/loads.h"
#include "shell/panelframe.h"
#include "shell/picturebutton.h"
#include "store/apppaths.h"
#include "store/recordset.h"
#include "store/store.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QListView>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {
// Records the order in which frames are shown and hidden.
class VisibilityLog : public QObject {
public:
    QStringList events;
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::ShowToParent)
            events << "show " + o->objectName();
        else if (e->type() == QEvent::HideToParent)
            events << "hide " + o->objectName();
        return false;
    }
};

void send(QWidget *w, QEvent::Type type, QPoint local, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
    QMouseEvent ev(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons,
                   Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}
} // namespace

class TestShell : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;

private Q_SLOTS:
    void init() {
        QFile::remove(m_dir.filePath("work.db"));
        m_store = std::make_unique<Store>();
        QCOMPARE(m_store->open(m_dir.filePath("work.db")), Store::State::Open);
    }
    void cleanup() { m_store.reset(); }

    void startUpSteps() {
        Diary diary(m_store.get());
        QCOMPARE(diary.windowTitle(), QString("Quillary"));
        QVERIFY(diary.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY((diary.windowFlags() & Qt::Tool) == Qt::Tool); // kept off the task bar
        const QList<QWidget *> surfaces = diary.colouredSurfaces();
        QCOMPARE(surfaces.size(), 6);
        QCOMPARE(surfaces.first(), &diary);
        for (QWidget *s : surfaces)
            QCOMPARE(surfaceColour(s), QColor(247, 165, 85));
        QVERIFY(!diary.Frame1->isHidden() && !diary.Frame2->isHidden());
        QVERIFY(diary.Frame3->isHidden() && diary.Frame4->isHidden() && diary.Frame5->isHidden());
        QCOMPARE(diary.journal->MonthView1->selectedDate(), QDate::currentDate());
        QCOMPARE(diary.journal->MonthView1->toolTip(), QString("单击今天显示今天日期"));
        QVERIFY(!diary.journal->save->isEnabled());
        QVERIFY(diary.Timer1->isActive());
        QCOMPARE(diary.Timer1->interval(), 200);
        QVERIFY(!diary.Timertext->isActive());
        QCOMPARE(diary.Timertext->interval(), 4000);
        QCOMPARE(diary.minisys->toolTip(), QString("最小化"));
        QCOMPARE(diary.exitsys->toolTip(), QString("关闭"));
        QVERIFY(diary.Adodc1->isOpen() && diary.Adoadd->isOpen() && diary.Adophoto->isOpen());
        // Every named control is reachable by its name.
        for (const char *name : {"Command1", "Command2", "Command3", "Command4", "helps", "minisys",
                                 "exitsys", "Frame1", "Frame2", "Frame3", "Frame4", "Frame5",
                                 "MonthView1", "List1", "RTBox", "fontpor", "fontadd", "fontminus",
                                 "underline", "color", "save", "deldata", "opitions", "aboutfrm"})
            QVERIFY2(diary.findChild<QWidget *>(name), name);
    }

    // Every picture button can be found by a screen reader, by its tool tip.
    void pictureButtonsHaveNames() {
        Diary diary(m_store.get());
        const auto buttons = diary.findChildren<PictureButton *>();
        QVERIFY(buttons.size() >= 20);
        for (PictureButton *b : buttons) {
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
            if (!b->toolTip().isEmpty())
                QCOMPARE(b->accessibleName(), b->toolTip());
        }
    }

    void splashOpensTheMainWindowAndGoes() {
        Diary *diary = Loads::start(m_store.get());
        QVERIFY(diary->isVisible());
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != "loads" || !w->isVisible());
        delete diary;
    }

    // The real start shows the journal first; the hidden pages, the options
    // dialog and the faces follow on the event loop, or at once when a page
    // button asks for them first, in the window's colour of the moment.
    void deferredStartCompletesOnceInEitherOrder() {
        std::unique_ptr<Diary> early(Loads::start(m_store.get()));
        QVERIFY(!early->isComplete() && !early->options.existing());
        QVERIFY(early->Frame1->isVisible() && early->Frame2->isVisible());
        QCOMPARE(early->colouredSurfaces().size(), 3);
        early->setBackgroundColour(QColor(10, 20, 30));
        early->Command4_Click();
        QVERIFY(early->isComplete() && early->options.existing());
        QVERIFY(early->Frame5->isVisible() && !early->Frame1->isVisible());
        QVERIFY(early->Frame3->isHidden() && early->Frame4->isHidden());
        QCOMPARE(early->contacts->ICombo->count(), 85);
        for (QWidget *s : early->colouredSurfaces())
            QCOMPARE(surfaceColour(s), QColor(10, 20, 30));
        ContactsPanel *built = early->contacts;
        QCoreApplication::processEvents();
        QCOMPARE(early->contacts, built);
        early.reset();

        std::unique_ptr<Diary> waited(Loads::start(m_store.get()));
        QTRY_VERIFY(waited->isComplete());
        QVERIFY(waited->Frame1->isVisible() && !waited->Frame5->isVisible());
        QCOMPARE(waited->colouredSurfaces().size(), 6);
        QVERIFY(waited->options.existing() && waited->options.existing()->isHidden());
    }

    void pageButtonsShowOnePanelInOrder_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("Command1") << 1
                                  << QStringList{"show Frame1", "show Frame2", "hide Frame3",
                                                 "hide Frame4", "hide Frame5"};
        QTest::newRow("Command2") << 2
                                  << QStringList{"hide Frame1", "hide Frame2", "hide Frame4",
                                                 "show Frame3", "hide Frame5"};
        QTest::newRow("Command3") << 3
                                  << QStringList{"show Frame4", "hide Frame1", "hide Frame2",
                                                 "hide Frame3", "hide Frame5"};
        QTest::newRow("Command4") << 4
                                  << QStringList{"show Frame5", "hide Frame1", "hide Frame2",
                                                 "hide Frame3", "hide Frame4"};
    }
    void pageButtonsShowOnePanelInOrder() {
        QFETCH(int, button);
        QFETCH(QStringList, order);
        Diary diary(m_store.get());
        diary.show();
        const QList<PanelFrame *> frames = {diary.Frame1, diary.Frame2, diary.Frame3, diary.Frame4,
                                            diary.Frame5};
        // Start from the opposite of the outcome so every change is visible.
        for (const QString &step : order) {
            const bool shows = step.startsWith("show");
            diary.findChild<PanelFrame *>(step.section(' ', 1))->setVisible(!shows);
        }
        VisibilityLog log;
        for (PanelFrame *f : frames)
            f->installEventFilter(&log);
        PictureButton *buttons[] = {diary.Command1, diary.Command2, diary.Command3, diary.Command4};
        whenShown(&diary, "book", [](QWidget *) {});
        buttons[button - 1]->click();
        QCOMPARE(log.events, order);
        int visible = 0;
        for (PanelFrame *f : frames)
            visible += f->isVisible();
        QCOMPARE(visible, button == 1 ? 2 : 1);
    }

    void photoPageMovesToTheFirstPhoto() {
        QSqlQuery q(m_store->database());
        q.exec("INSERT INTO photo VALUES ('/nowhere/a.jpg', 'a')");
        q.exec("INSERT INTO photo VALUES ('/nowhere/b.jpg', 'b')");
        Diary diary(m_store.get());
        diary.Adophoto->moveNext();
        QCOMPARE(diary.Adophoto->absolutePosition(), 2);
        diary.Command2->click();
        QCOMPARE(diary.Adophoto->absolutePosition(), 1);
        QVERIFY(diary.Frame3->isVisibleTo(&diary));
    }

    void draggingMovesByTheMouseMovement() {
        Diary diary(m_store.get());
        diary.show();
        QVERIFY(QTest::qWaitForWindowExposed(&diary));
        diary.move(100, 100);
        const QPoint start = diary.pos();
        const QPoint grab(400, 30); // the window's own background
        QVERIFY(diary.childAt(grab) == nullptr);
        const QPoint grabGlobal = diary.mapToGlobal(grab);
        auto moveTo = [&](QPoint global, QEvent::Type type, Qt::MouseButton b, Qt::MouseButtons bs) {
            send(&diary, type, diary.mapFromGlobal(global), b, bs);
        };
        moveTo(grabGlobal, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
        moveTo(grabGlobal + QPoint(30, 15), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(diary.pos(), start + QPoint(30, 15));
        moveTo(grabGlobal + QPoint(-12, 40), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(diary.pos(), start + QPoint(-12, 40));
        QSignalSpy popups(&diary, &Diary::popupRequested);
        moveTo(grabGlobal + QPoint(-12, 40), QEvent::MouseButtonRelease, Qt::LeftButton, {});
        QCOMPARE(popups.count(), 0);
        moveTo(grabGlobal + QPoint(50, 50), QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
        QCOMPARE(diary.pos(), start + QPoint(-12, 40)); // released: no more moving

        // A right-button drag moves too, and its release asks for the menu.
        const QPoint here = diary.pos();
        moveTo(grabGlobal, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton);
        moveTo(grabGlobal + QPoint(5, 5), QEvent::MouseMove, Qt::NoButton, Qt::RightButton);
        moveTo(grabGlobal + QPoint(5, 5), QEvent::MouseButtonRelease, Qt::RightButton, {});
        QCOMPARE(diary.pos(), here + QPoint(5, 5));
        QCOMPARE(popups.count(), 1);
        QCOMPARE(popups.first().first().toPoint(), grabGlobal + QPoint(5, 5));

        // Pressing on a panel does not drag the window.
        const QPoint onPanel(200, 470);
        QVERIFY(diary.Frame1->childAt(onPanel) == nullptr);
        const QPoint before = diary.pos();
        send(diary.Frame1, QEvent::MouseButtonPress, onPanel, Qt::LeftButton, Qt::LeftButton);
        send(diary.Frame1, QEvent::MouseMove, onPanel + QPoint(20, 0), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(diary.pos(), before);
    }

    void panelsAskForTheMenuOnRightRelease() {
        Diary diary(m_store.get());
        diary.show();
        QSignalSpy popups(&diary, &Diary::popupRequested);
        for (PanelFrame *f : {diary.Frame1, diary.Frame2, diary.Frame3, diary.Frame4, diary.Frame5}) {
            f->show();
            const QPoint p(f->width() - 3, f->height() - 3);
            QVERIFY(f->childAt(p) == nullptr);
            send(f, QEvent::MouseButtonRelease, p, Qt::LeftButton, {});
            send(f, QEvent::MouseButtonRelease, p, Qt::RightButton, {});
        }
        QCOMPARE(popups.count(), 5);
    }

    void labelEmphasisFollowsTheMouse() {
        Diary diary(m_store.get());
        diary.show();
        JournalPanel *j = diary.journal;
        diary.journal->save->setEnabled(true);
        for (LabelButton *l : j->labelButtons())
            send(l, QEvent::MouseMove, QPoint(3, 3), Qt::NoButton, {});
        for (LabelButton *l : j->labelButtons())
            QVERIFY2(l->isBold(), qPrintable(l->objectName()));
        // The window background and other panels leave the emphasis.
        send(&diary, QEvent::MouseMove, QPoint(400, 30), Qt::NoButton, {});
        send(diary.Frame5, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, {});
        QVERIFY(j->fontpor->isBold());
        // Frame2's background resets all nine.
        send(diary.Frame2, QEvent::MouseMove, QPoint(diary.Frame2->width() - 3, 200), Qt::NoButton, {});
        for (LabelButton *l : j->labelButtons())
            QVERIFY2(!l->isBold(), qPrintable(l->objectName()));
        send(j->color, QEvent::MouseMove, QPoint(3, 3), Qt::NoButton, {});
        send(diary.Frame1, QEvent::MouseMove, QPoint(200, 470), Qt::NoButton, {});
        QVERIFY(!j->color->isBold());
        QCOMPARE(j->labelButtons().size(), 9);
    }

    void helpOpensTheHelpPage() {
        FakeInteraction fake;
        Diary diary(m_store.get());
        diary.helps->click();
        QCOMPARE(fake.opened.size(), 1);
        QCOMPARE(fake.opened.first().toLocalFile(), AppPaths::appDir() + "/help/help.htm");
        QVERIFY(QFile::exists(fake.opened.first().toLocalFile()));
    }

    void exitEndsTheEventLoop() {
        Diary diary(m_store.get());
        diary.show();
        QTimer::singleShot(0, diary.exitsys, &QToolButton::click);
        QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    void startsOnAnUnusableStore() {
        const QString path = m_dir.filePath("broken.db");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(5000, 'x'));
        }
        Store broken;
        QCOMPARE(broken.open(path), Store::State::Unusable);
        Diary diary(&broken);
        QCOMPARE(diary.journal->List1->model()->rowCount(), 0);
        QVERIFY(diary.Adodc1->bof() && diary.Adodc1->eof());
        diary.Command2->click();
        diary.Command1->click();
        QVERIFY(diary.Frame1->isVisibleTo(&diary));
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"

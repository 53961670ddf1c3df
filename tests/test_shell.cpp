// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "app/splashwindow.h"
#include "contacts/contactspanel.h"
#include "core/apppaths.h"
#include "core/drafts.h"
#include "core/recordset.h"
#include "core/store.h"
#include "fakeinteraction.h"
#include "journal/entrylistmodel.h"
#include "journal/journalpanel.h"
#include "modal.h"
#include "novels/novelpanel.h"
#include "options/optionsdialog.h"
#include "pages.h"
#include "photos/photopanel.h"
#include "widgets/artwork.h"
#include "widgets/interaction.h"
#include "widgets/labelbutton.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "widgets/splashpicture.h"
#include "windowfixture.h"

#include "sql.h"
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QImageReader>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QResource>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

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

class TestShell : public WindowFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { openStore(); }
    void cleanup() { closeAll(); }

    void startUpSteps() {
        MainWindow diary(m_store.get());
        QCOMPARE(diary.windowTitle(), QString("Quillary"));
        QVERIFY(diary.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY((diary.windowFlags() & Qt::Tool) == Qt::Tool); // kept off the task bar
        const QList<QWidget *> surfaces = diary.colouredSurfaces();
        QCOMPARE(surfaces.size(), 6);
        QCOMPARE(surfaces.first(), &diary);
        for (QWidget *s : surfaces)
            QCOMPARE(surfaceColour(s), QColor(247, 165, 85));
        QVERIFY(!JournalPage(&diary).calendarFrame()->isHidden() &&
                !JournalPage(&diary).editorFrame()->isHidden());
        QVERIFY(PhotoPage(&diary).frame()->isHidden() && NovelPage(&diary).frame()->isHidden() &&
                ContactsPage(&diary).frame()->isHidden());
        QCOMPARE(JournalPage(&diary).calendar()->selectedDate(), QDate::currentDate());
        QCOMPARE(JournalPage(&diary).calendar()->toolTip(), QString("单击今天显示今天日期"));
        QVERIFY(!JournalPage(&diary).saveButton()->isEnabled());
        QVERIFY(diary.songLoopTimer->isActive());
        QCOMPARE(diary.songLoopTimer->interval(), 200);
        QVERIFY(!diary.novelScrollTimer->isActive());
        QCOMPARE(diary.novelScrollTimer->interval(), 4000);
        QCOMPARE(diary.hideButton->toolTip(), QString("最小化"));
        QCOMPARE(diary.closeButton->toolTip(), QString("关闭"));
        QVERIFY(diary.journalRecords->isOpen() && diary.contactRecords->isOpen() &&
                diary.photoRecords->isOpen());
        // Every named control is reachable by its name.
        for (const char *name :
             {"Command1",   "Command2", "Command3", "Command4", "helps",    "minisys",
              "exitsys",    "Frame1",   "Frame2",   "Frame3",   "Frame4",   "Frame5",
              "MonthView1", "List1",    "RTBox",    "fontpor",  "fontadd",  "fontminus",
              "underline",  "color",    "save",     "deldata",  "opitions", "aboutfrm"})
            QVERIFY2(diary.findChild<QWidget *>(name), name);
    }

    // Every picture button can be found by a screen reader, by its tool tip.
    void pictureButtonsHaveNames() {
        MainWindow diary(m_store.get());
        const auto buttons = diary.findChildren<PictureButton *>();
        QVERIFY(buttons.size() >= 20);
        for (PictureButton *b : buttons) {
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
            if (!b->toolTip().isEmpty())
                QCOMPARE(b->accessibleName(), b->toolTip());
        }
    }

    // The splash the build drew is the one the window would draw itself,
    // pixel for pixel; without it the window draws that one.
    void splashDrawnAheadIsTheLiveOne() {
        QImage live(SplashPicture::Size, QImage::Format_RGB32);
        QPainter p(&live);
        SplashPicture::draw(p, QApplication::font());
        p.end();
        const QImage ahead = SplashPicture::drawnAhead(1.0);
        QVERIFY(ahead.isNull() || ahead == live);
        QVERIFY(SplashPicture::drawnAhead(2.0).isNull());
        SplashWindow splash;
        QCOMPARE(splash.grab().toImage().convertToFormat(QImage::Format_RGB32), live);
    }

    // The first window's pictures, decoded by the build, are those their
    // PNGs give, pixel for pixel.
    void picturesDecodedAheadAreTheirPngs() {
        const struct {
            const char *name;
            int side;
        } first[] = {{"journal", 40}, {"photos", 40},   {"novels", 40},   {"contacts", 40},
                     {"help", 20},    {"minimise", 20}, {"close", 20},    {"previous", 16},
                     {"next", 16},    {"quillary", 16}, {"quillary", 32}, {"quillary", 128}};
        for (const auto &f : first) {
            const QString stem =
                QStringLiteral(":/art/%1-%2").arg(QLatin1String(f.name)).arg(f.side);
            QVERIFY2(QResource(stem + QStringLiteral(".argb32")).isValid(), qPrintable(stem));
            QImageReader png(stem + QStringLiteral(".png"), "png");
            const QImage drawn = QPixmap::fromImage(png.read()).toImage();
            const QSize side(f.side, f.side);
            QCOMPARE(Artwork::pixmap(QLatin1String(f.name), side).toImage(), drawn);
            QCOMPARE(Artwork::icon(QLatin1String(f.name)).pixmap(side, QIcon::Disabled).size(),
                     drawn.size());
        }
    }

    void splashOpensTheMainWindowAndGoes() {
        MainWindow *diary = SplashWindow::start(m_store.get());
        QVERIFY(diary->isVisible());
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != "loads" || !w->isVisible());
        delete diary;
    }

    // The real start shows the journal first; the hidden pages, the options
    // dialog and the faces follow on the event loop, or at once when a page
    // button asks for them first, in the window's colour of the moment.
    void deferredStartCompletesOnceInEitherOrder() {
        for (const char *day : {"20020101", "20020102"})
            QVERIFY(SqlQuery(m_store->nativeHandle())
                        .exec(QString("INSERT INTO diary VALUES ('%1', 'x')").arg(day)));
        std::unique_ptr<MainWindow> early(SplashWindow::start(m_store.get()));
        QVERIFY(!early->isComplete() && !early->optionsDialog.existing());
        // Drawn before the journal is read; the list follows with the rest.
        QVERIFY(!early->journalRecords->isOpen());
        QCOMPARE(JournalPage(early.get()).entries()->rowCount(), 0);
        QVERIFY(JournalPage(early.get()).calendarFrame()->isVisible() &&
                JournalPage(early.get()).editorFrame()->isVisible());
        QCOMPARE(early->colouredSurfaces().size(), 3);
        early->setBackgroundColour(QColor(10, 20, 30));
        early->showContactsPage();
        QVERIFY(early->isComplete() && early->optionsDialog.existing());
        QCOMPARE(JournalPage(early.get()).entries()->rowCount(), 2);
        QVERIFY(early->journalRecords->eof()); // where the filled list leaves it
        QVERIFY(ContactsPage(early.get()).frame()->isVisible() &&
                !JournalPage(early.get()).calendarFrame()->isVisible());
        QVERIFY(PhotoPage(early.get()).frame()->isHidden() &&
                NovelPage(early.get()).frame()->isHidden());
        QCOMPARE(ContactsPage(early.get()).faceSelector()->count(), 85);
        for (QWidget *s : early->colouredSurfaces())
            QCOMPARE(surfaceColour(s), QColor(10, 20, 30));
        ContactsPanel *built = early->contacts;
        QCoreApplication::processEvents();
        QCOMPARE(early->contacts, built);
        early.reset();

        std::unique_ptr<MainWindow> waited(SplashWindow::start(m_store.get()));
        QTRY_VERIFY(waited->isComplete());
        QVERIFY(JournalPage(waited.get()).calendarFrame()->isVisible() &&
                !ContactsPage(waited.get()).frame()->isVisible());
        QCOMPARE(waited->colouredSurfaces().size(), 6);
        QVERIFY(waited->optionsDialog.existing() && waited->optionsDialog.existing()->isHidden());
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
        MainWindow diary(m_store.get());
        diary.show();
        const QList<PanelFrame *> frames = {
            JournalPage(&diary).calendarFrame(), JournalPage(&diary).editorFrame(),
            PhotoPage(&diary).frame(), NovelPage(&diary).frame(), ContactsPage(&diary).frame()};
        // Start from the opposite of the outcome so every change is visible.
        for (const QString &step : order) {
            const bool shows = step.startsWith("show");
            diary.findChild<PanelFrame *>(step.section(' ', 1))->setVisible(!shows);
        }
        VisibilityLog log;
        for (PanelFrame *f : frames)
            f->installEventFilter(&log);
        PictureButton *buttons[] = {diary.journalPageButton, diary.photoPageButton,
                                    diary.novelPageButton, diary.contactsPageButton};
        whenShown(&diary, "book", [](QWidget *) {});
        buttons[button - 1]->click();
        QCOMPARE(log.events, order);
        int visible = 0;
        for (PanelFrame *f : frames)
            visible += f->isVisible();
        QCOMPARE(visible, button == 1 ? 2 : 1);
    }

    void photoPageMovesToTheFirstPhoto() {
        SqlQuery q(m_store->nativeHandle());
        q.exec("INSERT INTO photo VALUES ('/nowhere/a.jpg', 'a')");
        q.exec("INSERT INTO photo VALUES ('/nowhere/b.jpg', 'b')");
        MainWindow diary(m_store.get());
        diary.photoRecords->moveNext();
        QCOMPARE(diary.photoRecords->absolutePosition(), 2);
        diary.photoPageButton->click();
        QCOMPARE(diary.photoRecords->absolutePosition(), 1);
        QVERIFY(PhotoPage(&diary).frame()->isVisibleTo(&diary));
    }

    // Qt's own strings in Chinese, a desktop identity, and a question whose
    // title is meant to be empty shows none, not the program's name.
    void chineseStandardDialogsAndIdentity() {
        ApplicationSetup::setIdentity();
        QCOMPARE(QGuiApplication::desktopFileName(), QString("org.quillary.Quillary"));
        if (!ApplicationSetup::installTranslations())
            QSKIP("Qt's Chinese translations are not installed");
        QString okText, title;
        whenShown(this, "", [&](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                okText = box->button(QMessageBox::Ok)->text();
                title = box->windowHandle()->title();
            }
        });
        Interaction::current().confirm(nullptr, "是否删除真的当前记录?", QString());
        QCOMPARE(okText, QString("确定"));
        QVERIFY(title.trimmed().isEmpty() && !title.isEmpty());
    }

    void placementKeepsTheWindowButtonsOnScreen() {
        const QSize window(800, 560);
        QCOMPARE(MainWindow::placement(QRect(0, 0, 1920, 1080), window), QPoint(560, 260));
        QCOMPARE(MainWindow::placement(QRect(0, 27, 1366, 741), window), QPoint(283, 117));
        // A 1920 x 1080 laptop at 200 %: the top edge stays, the bottom goes.
        QCOMPARE(MainWindow::placement(QRect(0, 0, 960, 540), window), QPoint(80, 0));
        // Narrower than the window: its right end, where the buttons are, stays.
        const QRect narrow(100, 50, 700, 400);
        const QPoint at = MainWindow::placement(narrow, window);
        QCOMPARE(at, QPoint(0, 50));
        QVERIFY(narrow.contains(QRect(at + QPoint(window.width() - 104, 8), QSize(92, 28))));
    }

    // Alt+F4, the task switcher or the session: the program ends, as with
    // its close button, and what was typed is written.
    void aCloseFromOutsideEndsTheProgram() {
        MainWindow diary(m_store.get());
        diary.show();
        QTest::keyClicks(JournalPage(&diary).editor(), "journal typed, not saved");
        diary.contactsPageButton->click();
        diary.contacts->addContact();
        ContactsPage(&diary).field(0)->setText("typed, not saved");
        QTimer::singleShot(0, &diary, [&] { diary.close(); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); }); // a close that ends nothing
        QCOMPARE(QCoreApplication::exec(), 0);
        SqlQuery q(m_store->nativeHandle());
        QVERIFY(q.exec("SELECT name FROM address") && q.next());
        QCOMPARE(q.value(0).toString(), QString("typed, not saved"));
        const std::optional<Drafts::Draft> draft =
            Drafts(Drafts::pathBeside(m_store->path()))
                .draft(QDate::currentDate().toString("yyyyMMdd"));
        QVERIFY(draft);
        QCOMPARE(draft->text, QString("journal typed, not saved"));
    }

    void draggingMovesByTheMouseMovement() {
        MainWindow diary(m_store.get());
        diary.show();
        QVERIFY(QTest::qWaitForWindowExposed(&diary));
        diary.move(100, 100);
        const QPoint start = diary.pos();
        const QPoint grab(400, 30); // the window's own background
        QVERIFY(diary.childAt(grab) == nullptr);
        const QPoint grabGlobal = diary.mapToGlobal(grab);
        auto moveTo = [&](QPoint global, QEvent::Type type, Qt::MouseButton b,
                          Qt::MouseButtons bs) {
            send(&diary, type, diary.mapFromGlobal(global), b, bs);
        };
        moveTo(grabGlobal, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
        moveTo(grabGlobal + QPoint(30, 15), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(diary.pos(), start + QPoint(30, 15));
        moveTo(grabGlobal + QPoint(-12, 40), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(diary.pos(), start + QPoint(-12, 40));
        QSignalSpy popups(&diary, &MainWindow::popupRequested);
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

        // The right button on a window button asks for nothing.
        for (QWidget *button :
             {static_cast<QWidget *>(diary.journalPageButton),
              static_cast<QWidget *>(diary.photoPageButton),
              static_cast<QWidget *>(diary.novelPageButton),
              static_cast<QWidget *>(diary.contactsPageButton),
              static_cast<QWidget *>(diary.helpButton), static_cast<QWidget *>(diary.hideButton),
              static_cast<QWidget *>(diary.closeButton)})
            QTest::mouseClick(button, Qt::RightButton);
        QCOMPARE(popups.count(), 1);

        // Pressing on a panel does not drag the window.
        const QPoint onPanel(200, 470);
        QVERIFY(JournalPage(&diary).calendarFrame()->childAt(onPanel) == nullptr);
        const QPoint before = diary.pos();
        send(JournalPage(&diary).calendarFrame(), QEvent::MouseButtonPress, onPanel, Qt::LeftButton,
             Qt::LeftButton);
        send(JournalPage(&diary).calendarFrame(), QEvent::MouseMove, onPanel + QPoint(20, 0),
             Qt::NoButton, Qt::LeftButton);
        QCOMPARE(diary.pos(), before);
    }

    // A page covers only its frames: between and around them the window's
    // own background takes the mouse, whichever page shows.
    void theGapsBetweenFramesAreTheWindowsBackground() {
        MainWindow diary(m_store.get());
        diary.show();
        QVERIFY(QTest::qWaitForWindowExposed(&diary));
        QSignalSpy popups(&diary, &MainWindow::popupRequested);
        const QPoint betweenJournalFrames(326, 300), belowFrames(400, 554), leftOfFrames(5, 300);
        const char *pageButtons[] = {"Command1", "Command2", "Command3", "Command4"};
        for (const char *pageButton : pageButtons) {
            whenShown(&diary, "book", [](QWidget *) {});
            press(&diary, pageButton);
            for (const QPoint gap : {betweenJournalFrames, belowFrames, leftOfFrames}) {
                if (gap == betweenJournalFrames && QByteArray(pageButton) != "Command1")
                    continue; // the other pages have one frame across
                QVERIFY2(diary.childAt(gap) == nullptr, pageButton);
            }
            QWidget *inside = diary.childAt(QPoint(100, 300));
            QVERIFY(inside && inside->isVisible());
        }
        press(&diary, "Command1");
        const int before = int(popups.count());
        QTest::mouseClick(diary.windowHandle(), Qt::RightButton, {}, betweenJournalFrames);
        QCOMPARE(popups.count(), before + 1);
    }

    // Each page lies over the whole window, clear but for its frames, which
    // keep the window's coordinates however the page was laid out.
    void pagesCoverTheWindowAndFramesKeepTheirPlaces() {
        MainWindow diary(m_store.get());
        const auto pages = diary.findChildren<PagePanel *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(pages.size(), 4);
        for (PagePanel *page : pages)
            QCOMPARE(page->geometry(), diary.rect());
        const struct {
            PanelFrame *frame;
            QRect place;
        } frames[] = {{JournalPage(&diary).calendarFrame(), QRect(12, 64, 310, 484)},
                      {JournalPage(&diary).editorFrame(), QRect(330, 64, 458, 484)},
                      {PhotoPage(&diary).frame(), QRect(12, 64, 776, 484)},
                      {ContactsPage(&diary).frame(), QRect(12, 64, 776, 484)}};
        for (const auto &f : frames)
            QCOMPARE(f.frame->geometry(), f.place);
        QCOMPARE(JournalPage(&diary)->mask(), QRegion(frames[0].place) + frames[1].place);
        QCOMPARE(PhotoPage(&diary)->mask(), QRegion(frames[2].place));
        QCOMPARE(ContactsPage(&diary)->mask(), QRegion(frames[3].place));
    }

    void panelsAskForTheMenuOnRightRelease() {
        MainWindow diary(m_store.get());
        diary.show();
        QSignalSpy popups(&diary, &MainWindow::popupRequested);
        for (PanelFrame *f :
             {JournalPage(&diary).calendarFrame(), JournalPage(&diary).editorFrame(),
              PhotoPage(&diary).frame(), NovelPage(&diary).frame(), ContactsPage(&diary).frame()}) {
            f->show();
            const QPoint p(f->width() - 3, f->height() - 3);
            QVERIFY(f->childAt(p) == nullptr);
            send(f, QEvent::MouseButtonRelease, p, Qt::LeftButton, {});
            send(f, QEvent::MouseButtonRelease, p, Qt::RightButton, {});
        }
        QCOMPARE(popups.count(), 5);
    }

    void labelEmphasisFollowsTheMouse() {
        MainWindow diary(m_store.get());
        diary.show();
        JournalPage j(&diary);
        JournalPage(&diary).saveButton()->setEnabled(true);
        for (LabelButton *l : j.labelButtons())
            send(l, QEvent::MouseMove, QPoint(3, 3), Qt::NoButton, {});
        for (LabelButton *l : j.labelButtons())
            QVERIFY2(l->isBold(), qPrintable(l->objectName()));
        // The window background and other panels leave the emphasis.
        send(&diary, QEvent::MouseMove, QPoint(400, 30), Qt::NoButton, {});
        send(ContactsPage(&diary).frame(), QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, {});
        QVERIFY(j.fontButton()->isBold());
        // Frame2's background resets all nine.
        send(JournalPage(&diary).editorFrame(), QEvent::MouseMove,
             QPoint(JournalPage(&diary).editorFrame()->width() - 3, 200), Qt::NoButton, {});
        for (LabelButton *l : j.labelButtons())
            QVERIFY2(!l->isBold(), qPrintable(l->objectName()));
        send(j.colourButton(), QEvent::MouseMove, QPoint(3, 3), Qt::NoButton, {});
        send(JournalPage(&diary).calendarFrame(), QEvent::MouseMove, QPoint(200, 470), Qt::NoButton,
             {});
        QVERIFY(!j.colourButton()->isBold());
        QCOMPARE(j.labelButtons().size(), 9);
    }

    void helpOpensTheHelpPage() {
        FakeInteraction fake;
        MainWindow diary(m_store.get());
        diary.helpButton->click();
        QCOMPARE(fake.opened.size(), 1);
        QCOMPARE(fake.opened.first().toLocalFile(), AppPaths::appDir() + "/help/help.htm");
        QVERIFY(QFile::exists(fake.opened.first().toLocalFile()));
    }

    void exitEndsTheEventLoop() {
        MainWindow diary(m_store.get());
        diary.show();
        QTimer::singleShot(0, diary.closeButton, &QToolButton::click);
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
        FakeInteraction fake;
        MainWindow diary(&broken);
        diary.show();
        QTRY_COMPARE(fake.asked.size(), 1);
        QCOMPARE(fake.asked[0].title, QString("日记本只读"));
        QVERIFY(fake.asked[0].text.startsWith("日记本文件无法读取") &&
                fake.asked[0].text.endsWith(path));
        const JournalPage j(&diary);
        QCOMPARE(j.entryList()->model()->rowCount(), 0);
        QVERIFY(diary.journalRecords->bof() && diary.journalRecords->eof());
        press(&diary, "Command2");
        press(&diary, "Command1");
        QVERIFY(j.calendarFrame()->isVisibleTo(&diary));

        // Nothing typed may look stored: a day shows empty, a save says it failed.
        j.editor()->setPlainText("typed on a store that cannot keep it");
        j->saveEntry();
        QCOMPARE(fake.asked.size(), 3); // the question, then why it was not saved
        QCOMPARE(fake.asked[2].title, QString("日记没有保存"));
        QVERIFY(fake.asked[2].text.contains("无法读取"));
        j.calendar()->setSelectedDate(QDate(2003, 3, 5));
        j->showEntryOfSelectedDay();
        QVERIFY(j.editor()->toPlainText().isEmpty());
    }

    // A store that will not keep what is typed says so once, when the window
    // first shows; a sound one says nothing.
    void aReadOnlyStoreSaysSoOnce() {
        const QString foreign = m_dir.filePath("other.db");
        {
            SqlFile db(foreign);
            QVERIFY(db.open());
            QVERIFY(SqlQuery(db).exec("CREATE TABLE songs (title)"));
            db.close();
        }
        Store other;
        QCOMPARE(other.open(foreign), Store::State::Open);
        for (Store *store : {m_store.get(), &other}) {
            FakeInteraction fake;
            MainWindow diary(store);
            diary.show();
            QTest::qWait(50);
            diary.hide();
            diary.show();
            QTest::qWait(50);
            if (store == m_store.get()) {
                QVERIFY(fake.asked.isEmpty());
                continue;
            }
            QCOMPARE(fake.asked.size(), 1);
            QCOMPARE(fake.asked[0].title, QString("日记本只读"));
            QVERIFY(fake.asked[0].text.startsWith("这个文件不是本程序的日记本。"));
            QVERIFY(fake.asked[0].text.contains("以只读方式打开") &&
                    fake.asked[0].text.endsWith(foreign));
        }
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/aboutbox.h"
#include "about/authorpage.h"
#include "app/mainwindow.h"
#include "app/popupmenu.h"
#include "app/trayicon.h"
#include "contacts/contactspanel.h"
#include "core/recordset.h"
#include "core/store.h"
#include "fakeinteraction.h"
#include "journal/journalpanel.h"
#include "modal.h"
#include "novels/novelpanel.h"
#include "options/optionsdialog.h"
#include "pages.h"
#include "photos/photopanel.h"
#include "widgets/clickablelabel.h"
#include "widgets/labelbutton.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "windowfixture.h"

#include "sql.h"
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

// Notification-area icon, pop-up menu, About box and author page.
class TestAbout : public WindowFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openStore();
        m_diary = std::make_unique<MainWindow>(m_store.get());
        m_diary->show();
    }
    void cleanup() {
        closeAll();
        TrayIcon::setAvailabilityCheck([] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    }

    void hideToTheNotificationAreaAndBack() {
        TrayIcon::setAvailabilityCheck([] { return true; });
        press(m_diary.get(), "Command4");
        press(m_diary.get(), "minisys");
        QVERIFY(!m_diary->isVisible());
        QSystemTrayIcon *tray = TrayIcon::current();
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QString("Quillary"));
        for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick,
                            QSystemTrayIcon::Unknown}) {
            Q_EMIT tray->activated(reason);
            QVERIFY(!m_diary->isVisible());
        }
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger); // left press
        QVERIFY(m_diary->isVisible());
        QVERIFY(!TrayIcon::current());
        QVERIFY(ContactsPage(m_diary.get()).frame()->isVisible()); // as it was

        press(m_diary.get(), "minisys"); // a second hide: a new icon
        QSystemTrayIcon *second = TrayIcon::current();
        QVERIFY(second);
        Q_EMIT second->activated(QSystemTrayIcon::Context); // right press
        QVERIFY(m_diary->isVisible());
        QVERIFY(!TrayIcon::current());
    }

    // Without a notification area the window goes to the task bar instead,
    // listed there while minimised, and comes back off it.
    void noNotificationAreaMinimisesToTheTaskBar() {
        TrayIcon::setAvailabilityCheck([] { return false; });
        const QPoint at = m_diary->pos();
        press(m_diary.get(), "minisys");
        QVERIFY(m_diary->isVisible());
        QVERIFY(!TrayIcon::current());
        QVERIFY(m_diary->isMinimized());
        QCOMPARE(m_diary->windowType(), Qt::Window);
        QVERIFY(m_diary->windowFlags() & Qt::FramelessWindowHint);
        m_diary->showNormal();
        QTRY_COMPARE(m_diary->windowType(), Qt::Tool);
        QVERIFY(m_diary->isVisible() && !m_diary->isMinimized());
        QCOMPARE(m_diary->pos(), at);
    }

    void popupMenuEntries() {
        FakeInteraction fake;
        QVERIFY(m_diary->optionsDialog.exists()); // start-up made it already
        delete m_diary->optionsDialog.existing();
        QVERIFY(!m_diary->optionsDialog.exists());
        m_diary->showPopupMenu(QPoint(10, 10)); // the menu needs no dialog
        PopupMenu *d = m_diary->popupMenu;
        QCOMPARE(d->objectName(), QString("menufile"));
        QVERIFY(!m_diary->optionsDialog.exists());
        d->hide();
        QStringList entries;
        for (QAction *a : d->actions())
            entries << (a->isSeparator() ? QString("-") : a->text());
        QCOMPARE(entries, QStringList({"日历(&D)", "照片(&P)", "小说(&S)", "地址(&A)",
                                       "查找日记(&F)", "备份(&B)…", "导出(&E)…", "导入(&I)…", "-",
                                       "选项(&O)", "-", "关于(&H)", "使用方法(&Q)"}));

        SqlQuery(m_store->nativeHandle()).exec("INSERT INTO photo VALUES ('/x/a.jpg', 'a')");
        SqlQuery(m_store->nativeHandle()).exec("INSERT INTO photo VALUES ('/x/b.jpg', 'b')");
        m_diary->photoRecords->open();
        m_diary->photoRecords->moveNext();
        d->photoAction->trigger();
        QVERIFY(PhotoPage(m_diary.get()).frame()->isVisible());
        QCOMPARE(m_diary->photoRecords->absolutePosition(), 1); // the first photo
        d->contactsAction->trigger();
        QVERIFY(ContactsPage(m_diary.get()).frame()->isVisible());
        whenShown(this, "book", [](QWidget *) {});
        d->novelAction->trigger(); // the catalogue came up modally and was closed
        QVERIFY(NovelPage(m_diary.get()).frame()->isVisible());
        d->journalAction->trigger();
        QVERIFY(JournalPage(m_diary.get()).calendarFrame()->isVisible() &&
                JournalPage(m_diary.get()).editorFrame()->isVisible());
        d->helpAction->trigger();
        QCOMPARE(fake.opened.size(), 1);
        QVERIFY(fake.opened.first().toLocalFile().endsWith("/help/help.htm"));
        bool optionsShown = false;
        whenShown(this, "frmOptions",
                  [&](QWidget *w) { optionsShown = static_cast<QDialog *>(w)->isModal(); });
        d->optionsAction->trigger();
        QVERIFY(optionsShown);
        d->aboutAction->trigger();
        QVERIFY(m_diary->aboutBox.existing() && m_diary->aboutBox.existing()->isVisible());
    }

    void aboutBoxAndItsWaysToTheAuthorPage() {
        JournalPage(m_diary.get()).aboutButton()->clicked();
        AboutBox *box = m_diary->aboutBox.existing();
        QVERIFY(box && box->isVisible() && !box->isModal());
        QCOMPARE(box->parentWidget(), m_diary.get());
        QCOMPARE(box->windowTitle(), QString("关于本应用程序"));
        ClickableLabel *version = named<ClickableLabel>(box, "lblVersion");
        QCOMPARE(named<QLabel>(box, "lblTitle")->text(), QString("Quillary"));
        QCOMPARE(version->text(), QString("版本1.0 Beta"));
        QCOMPARE(version->toolTip(), QString("看看我"));
        QVERIFY(named<QLabel>(box, "Label1")->text().startsWith("本软件的开发纯属个人爱好"));
        QCOMPARE(named<QPushButton>(box, "Command1")->text(), QString("关于作者"));

        // From the version label: on its own, the About box stays usable.
        version->clicked();
        AuthorPage *page = m_diary->authorPage.existing();
        QVERIFY(page && page->isVisible() && !page->isModal());
        QVERIFY(!page->parentWidget());
        // Asking for the modal page meanwhile brings the open one forward.
        press(box, "Command1");
        QCOMPARE(m_diary->authorPage.existing(), page);
        press(box, "Cmdok"); // closing the box leaves the page
        QVERIFY(page->isVisible());
        page->closePage();
        QVERIFY(!m_diary->authorPage.exists());

        m_diary->openAbout();
        box = m_diary->aboutBox.existing();
        bool modal = false;
        whenShown(this, "introduce", [&](QWidget *w) {
            modal = static_cast<QDialog *>(w)->isModal();
            QCOMPARE(w->parentWidget(), box);
        });
        press(box, "Command1");
        QVERIFY(modal);
    }

    void authorPageTypesItsBiography() {
        FakeInteraction fake;
        QCOMPARE(AuthorPage::biography().size(), 63);
        m_diary->showAuthorPage(false);
        AuthorPage *page = m_diary->authorPage.existing();
        QCOMPARE(page->windowTitle(), QString("关于作者"));
        QVERIFY(page->typingTimer->isActive());
        QCOMPARE(page->typingTimer->interval(), 200);
        QVERIFY(page->biographyView->toPlainText().isEmpty());
        for (int i = 0; i < 5; ++i)
            page->typeNextCharacter();
        QCOMPARE(page->biographyView->toPlainText(), AuthorPage::biography().left(5));
        QCOMPARE(page->biographyView->font().family(), QString("黑体"));
        QCOMPARE(page->biographyView->font().pointSize(), 20);
        for (int i = 5; i < 63 + 3; ++i)
            page->typeNextCharacter();
        QCOMPARE(page->biographyView->toPlainText(),
                 AuthorPage::biography() + "\n" + AuthorPage::biography().left(3));

        page->writeMail(); // the mail link does not close the page
        QVERIFY(page->isVisible());
        QCOMPARE(fake.opened.last().toString(), "mailto:" + AuthorPage::mailAddress());
        QCOMPARE(page->mailLabel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(AuthorPage::mailAddress().endsWith("example.org"));
    }

    void eachClosingClick_data() {
        QTest::addColumn<QString>("target");
        for (const char *t : {"page", "Image1", "Label1", "Text1"})
            QTest::newRow(t) << QString(t);
    }
    void eachClosingClick() {
        QFETCH(QString, target);
        m_diary->showAuthorPage(false);
        AuthorPage *page = m_diary->authorPage.existing();
        page->typeNextCharacter();
        QWidget *w = target == "page"     ? static_cast<QWidget *>(page)
                     : target == "Image1" ? page->picture
                     : target == "Label1" ? page->nameLabel
                                          : page->biographyView->viewport();
        const QPoint at =
            target == "page" ? QPoint(page->width() - 4, page->height() - 4) : QPoint(3, 3);
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
        QVERIFY(!m_diary->authorPage.exists());
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"

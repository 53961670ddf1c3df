#include "about/frmabout.h"
#include "about/introduce.h"
#include "fakeinteraction.h"
#include "modal.h"
#include "journal/journalpanel.h"
#include "options/frmoptions.h"
#include "shell/clickablelabel.h"
#include "shell/diary.h"
#include "shell/icon.h"
#include "shell/labelbutton.h"
#include "shell/panelframe.h"
#include "shell/picturebutton.h"
#include "store/recordset.h"
#include "store/store.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

// Notification-area icon, pop-up menu, About box and author page.
class TestAbout : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<Diary> m_diary;

private Q_SLOTS:
    void init() {
        m_store = std::make_unique<Store>();
        m_store->open(m_dir.filePath("work.db"));
        m_diary = std::make_unique<Diary>(m_store.get());
        m_diary->show();
    }
    void cleanup() {
        m_diary.reset();
        m_store.reset();
        icon::setAvailabilityCheck([] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    }

    void hideToTheNotificationAreaAndBack() {
        icon::setAvailabilityCheck([] { return true; });
        m_diary->Command4->click();
        m_diary->minisys->click();
        QVERIFY(!m_diary->isVisible());
        QSystemTrayIcon *tray = icon::current();
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QString("Quillary"));
        for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick,
                            QSystemTrayIcon::Unknown}) {
            Q_EMIT tray->activated(reason);
            QVERIFY(!m_diary->isVisible());
        }
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger); // left press
        QVERIFY(m_diary->isVisible());
        QVERIFY(!icon::current());
        QVERIFY(m_diary->Frame5->isVisible()); // as it was

        m_diary->minisys->click(); // a second hide: a new icon
        QSystemTrayIcon *second = icon::current();
        QVERIFY(second);
        Q_EMIT second->activated(QSystemTrayIcon::Context); // right press
        QVERIFY(m_diary->isVisible());
        QVERIFY(!icon::current());
    }

    void noNotificationAreaKeepsTheWindow() {
        icon::setAvailabilityCheck([] { return false; });
        m_diary->minisys->click();
        QVERIFY(m_diary->isVisible());
        QVERIFY(!icon::current());
    }

    void popupMenuEntries() {
        FakeInteraction fake;
        QVERIFY(m_diary->options.exists()); // start-up made it already
        delete m_diary->options.existing();
        QVERIFY(!m_diary->options.exists());
        m_diary->showPopupMenu(QPoint(10, 10)); // the menu makes its dialog, hidden
        FrmOptions *d = m_diary->options.existing();
        QVERIFY(d && !d->isVisible());
        d->menufile->hide();
        QStringList entries;
        for (QAction *a : d->menufile->actions())
            entries << (a->isSeparator() ? QString("-") : a->text());
        QCOMPARE(entries, QStringList({"日历(&D)", "照片(&P)", "小说(&S)", "地址(&A)", "-", "选项(&O)",
                                       "-", "关于(&H)", "使用方法(&Q)"}));

        QSqlQuery(m_store->database()).exec("INSERT INTO photo VALUES ('/x/a.jpg', 'a')");
        QSqlQuery(m_store->database()).exec("INSERT INTO photo VALUES ('/x/b.jpg', 'b')");
        m_diary->Adophoto->open();
        m_diary->Adophoto->moveNext();
        d->menuphoto->trigger();
        QVERIFY(m_diary->Frame3->isVisible());
        QCOMPARE(m_diary->Adophoto->absolutePosition(), 1); // the first photo
        d->menuadd->trigger();
        QVERIFY(m_diary->Frame5->isVisible());
        whenShown(this, "book", [](QWidget *) {});
        d->menustory->trigger(); // the catalogue came up modally and was closed
        QVERIFY(m_diary->Frame4->isVisible());
        d->menudiary->trigger();
        QVERIFY(m_diary->Frame1->isVisible() && m_diary->Frame2->isVisible());
        d->menuhelp->trigger();
        QCOMPARE(fake.opened.size(), 1);
        QVERIFY(fake.opened.first().toLocalFile().endsWith("/help/help.htm"));
        bool optionsShown = false;
        whenShown(this, "frmOptions", [&](QWidget *w) { optionsShown = static_cast<QDialog *>(w)->isModal(); });
        d->menuoption->trigger();
        QVERIFY(optionsShown);
        m_diary->options.get()->menuabout->trigger();
        QVERIFY(m_diary->frmAbout.existing() && m_diary->frmAbout.existing()->isVisible());
    }

    void aboutBoxAndItsWaysToTheAuthorPage() {
        m_diary->journal->aboutfrm->clicked();
        FrmAbout *box = m_diary->frmAbout.existing();
        QVERIFY(box && box->isVisible() && !box->isModal());
        QCOMPARE(box->parentWidget(), m_diary.get());
        QCOMPARE(box->windowTitle(), QString("关于本应用程序"));
        QCOMPARE(box->lblTitle->text(), QString("Quillary"));
        QCOMPARE(box->lblVersion->text(), QString("版本1.0 Beta"));
        QCOMPARE(box->lblVersion->toolTip(), QString("看看我"));
        QVERIFY(box->Label1->text().startsWith("本软件的开发纯属个人爱好"));
        QCOMPARE(box->Command1->text(), QString("关于作者"));

        // From the version label: on its own, the About box stays usable.
        box->lblVersion->clicked();
        Introduce *page = m_diary->introduce.existing();
        QVERIFY(page && page->isVisible() && !page->isModal());
        QVERIFY(!page->parentWidget());
        // Asking for the modal page meanwhile brings the open one forward.
        box->Command1->click();
        QCOMPARE(m_diary->introduce.existing(), page);
        box->Cmdok->click(); // closing the box leaves the page
        QVERIFY(page->isVisible());
        page->unloadthing();
        QVERIFY(!m_diary->introduce.exists());

        m_diary->aboutfrm_Click();
        box = m_diary->frmAbout.existing();
        bool modal = false;
        whenShown(this, "introduce", [&](QWidget *w) {
            modal = static_cast<QDialog *>(w)->isModal();
            QCOMPARE(w->parentWidget(), box);
        });
        box->Command1->click();
        QVERIFY(modal);
    }

    void authorPageTypesItsBiography() {
        FakeInteraction fake;
        QCOMPARE(Introduce::biography().size(), 63);
        m_diary->showAuthorPage(false);
        Introduce *page = m_diary->introduce.existing();
        QCOMPARE(page->windowTitle(), QString("关于作者"));
        QVERIFY(page->Timer1->isActive());
        QCOMPARE(page->Timer1->interval(), 200);
        QVERIFY(page->Text1->toPlainText().isEmpty());
        for (int i = 0; i < 5; ++i)
            page->Timer1_Timer();
        QCOMPARE(page->Text1->toPlainText(), Introduce::biography().left(5));
        QCOMPARE(page->Text1->font().family(), QString("黑体"));
        QCOMPARE(page->Text1->font().pointSize(), 20);
        for (int i = 5; i < 63 + 3; ++i)
            page->Timer1_Timer();
        QCOMPARE(page->Text1->toPlainText(), Introduce::biography() + "\n" + Introduce::biography().left(3));

        page->Label2_Click(); // the mail link does not close the page
        QVERIFY(page->isVisible());
        QCOMPARE(fake.opened.last().toString(), "mailto:" + Introduce::mailAddress());
        QCOMPARE(page->Label2->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(Introduce::mailAddress().endsWith("example.org"));
    }

    void eachClosingClick_data() {
        QTest::addColumn<QString>("target");
        for (const char *t : {"page", "Image1", "Label1", "Text1"})
            QTest::newRow(t) << QString(t);
    }
    void eachClosingClick() {
        QFETCH(QString, target);
        m_diary->showAuthorPage(false);
        Introduce *page = m_diary->introduce.existing();
        page->Timer1_Timer();
        QWidget *w = target == "page"     ? static_cast<QWidget *>(page)
                     : target == "Image1" ? page->Image1
                     : target == "Label1" ? page->Label1
                                          : page->Text1->viewport();
        const QPoint at = target == "page" ? QPoint(page->width() - 4, page->height() - 4) : QPoint(3, 3);
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
        QVERIFY(!m_diary->introduce.exists());
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "core/apppaths.h"
#include "core/catalogue.h"
#include "core/chapterfile.h"
#include "core/readingplaces.h"
#include "core/store.h"
#include "fakeinteraction.h"
#include "modal.h"
#include "novels/cataloguedialog.h"
#include "novels/novelpanel.h"
#include "pages.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "widgets/selectionformat.h"
#include "widgets/textwindow.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

class TestNovels : public WindowFixture {
    Q_OBJECT

    NovelPage n;

    QString file(const QString &name, const QByteArray &bytes) {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    // Opens the catalogue through the page button and acts on it once it is up.
    void withCatalogue(const std::function<void(CatalogueDialog *)> &act) {
        whenShown(this, "book", [act](QWidget *w) { act(static_cast<CatalogueDialog *>(w)); });
        press(m_diary.get(), "Command3");
    }
    QTreeWidgetItem *node(CatalogueDialog *b, const QString &caption) {
        const auto found = b->tree->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    void clickChapter(int row) {
        n.chapterList()->setCurrentRow(row);
        n->openChapter();
    }
    void openFromCatalogue(const QString &caption) {
        withCatalogue([&](CatalogueDialog *b) { b->chooseNode(node(b, caption)); });
    }
    // The program started again on the same store and data folder.
    void restart() {
        m_diary = std::make_unique<MainWindow>(m_store.get());
        n = NovelPage(m_diary.get());
        m_diary->show();
    }
    // Chapter n of 射雕英雄传 in the user's own folder: numbered lines short
    // enough never to wrap, so a line seen names the place.
    void writeOwnChapter(int number, int lines) {
        const QString own = AppPaths::userChapterFolder("she");
        QVERIFY(QDir().mkpath(own));
        QString text;
        for (int i = 1; i <= lines; ++i)
            text += QString("第%1回 第%2行。\r\n").arg(number).arg(i);
        QFile f(own + "/" + QString::number(number));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringEncoder("GB18030").encode(text));
    }
    // The first line the user sees at the top of the clipping frame.
    QString firstLineSeen() {
        QTextEdit *pane = n.readingPane();
        const int top = std::max(0, pane->viewport()->mapFrom(n.paneClip(), QPoint()).y());
        return pane->cursorForPosition(QPoint(0, top + 1)).block().text();
    }
    // Scrolls as a user dragging to the end and back a few pages does.
    void readOnward(int toEnd, int pagesBack) {
        QScrollBar *bar = n.readingPane()->verticalScrollBar();
        for (int i = 0; i < toEnd; ++i) {
            bar->setValue(bar->maximum());
            QCoreApplication::processEvents();
        }
        bar->setValue(bar->value() - pagesBack * bar->pageStep());
        QCoreApplication::processEvents();
    }
    void writePlaces(const QByteArray &bytes) {
        QFile f(ReadingPlaces::defaultPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private Q_SLOTS:
    void init() {
        QFile::remove(ReadingPlaces::defaultPath());
        QDir(AppPaths::userChapterFolder("she")).removeRecursively();
        openStore();
        m_diary = std::make_unique<MainWindow>(m_store.get());
        n = NovelPage(m_diary.get());
        m_diary->show();
    }
    void cleanup() {
        m_diary.reset();
        m_store.reset();
    }

    void catalogueTree() {
        m_diary->setBackgroundColour(Qt::darkGreen);
        QStringList seen;
        withCatalogue([&](CatalogueDialog *b) {
            QCOMPARE(b->tree->toolTip(), QString("快选择你喜欢的小说吧！"));
            QCOMPARE(surfaceColour(b), QColor(247, 165, 85));
            QVERIFY(b->windowTitle().trimmed().isEmpty());
            for (int i = 0; i < b->tree->topLevelItemCount(); ++i) {
                QTreeWidgetItem *c = b->tree->topLevelItem(i);
                QVERIFY(!c->isExpanded());
                seen << c->data(0, Qt::UserRole).toString() + "=" + c->text(0);
                for (int k = 0; k < c->childCount(); ++k)
                    seen << c->child(k)->data(0, Qt::UserRole).toString() + "=" +
                                c->child(k)->text(0);
            }
            b->chooseNode(node(b, "四大名著")); // a category does nothing
            QVERIFY(b->isVisible());
        });
        QCOMPARE(seen,
                 QStringList({"wuxiastory=武侠小说", "she=射雕英雄传", "lu=鹿鼎记",
                              "newstory=言情小说", "qssymm=情深深雨蒙蒙", "netstory=网络小说",
                              "diyici=第一次亲密接触", "ircoffee=爱尔兰咖啡", "yuyi=雨衣",
                              "foreignstory=国外经典小说", "titanic=泰坦尼克", "oldstory=四大名著",
                              "xyj=西游记", "shz=水浒传", "hlm=红楼梦", "sgyy=三国演义"}));
        QCOMPARE(n.chapterList()->count(), 0);
    }

    void choosingNovelsFillsTheChapterList() {
        n.readingPane()->setPlainText("left over");
        withCatalogue([&](CatalogueDialog *b) { b->chooseNode(node(b, "西游记")); });
        QVERIFY(n.readingPane()->toPlainText().isEmpty()); // the page button emptied it
        QCOMPARE(n.chapterList()->count(), 101);
        QCOMPARE(n.chapterList()->item(0)->text(), QString("第1回"));
        QCOMPARE(n.chapterList()->item(100)->text(), QString("第101回"));
        QCOMPARE(n.novelKeyBox()->text(), QString("xyj"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_diary->findChild<CatalogueDialog *>()); // closed and gone

        withCatalogue([&](CatalogueDialog *b) { b->chooseNode(node(b, "泰坦尼克")); });
        QCOMPARE(n.chapterList()->count(), 12); // replaced entirely
        QCOMPARE(n.chapterList()->item(10)->text(), QString("第11集"));
        QCOMPARE(n.chapterList()->item(11)->text(), QString("序幕"));

        // A click on the window's surface closes it and keeps the list.
        withCatalogue([&](CatalogueDialog *b) {
            QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() - 3, b->height() - 3));
            QVERIFY(!b->isVisible());
        });
        QCOMPARE(n.novelKeyBox()->text(), QString("titanic"));
        QCOMPARE(n.chapterList()->count(), 12);

        const QMap<QString, int> counts = {{"shz", 120},   {"xyj", 101},   {"hlm", 120},
                                           {"sgyy", 120},  {"lu", 52},     {"she", 43},
                                           {"qssymm", 43}, {"diyici", 6},  {"ircoffee", 4},
                                           {"yuyi", 5},    {"titanic", 12}};
        int total = 0;
        for (const Catalogue::Novel &novel : Catalogue::novels()) {
            QCOMPARE(Catalogue::chapterCaptions(novel).size(), counts.value(novel.key));
            total += counts.value(novel.key);
        }
        QCOMPARE(total, 626);
    }

    void chapterFilesByFolderAndLine() {
        const QString app = AppPaths::appDir();
        QCOMPARE(Catalogue::chapterPath("diyici", 1), app + "/story/firsttouch/1");
        QCOMPARE(Catalogue::chapterPath("xyj", 101), app + "/story/xyj/101");
        QCOMPARE(Catalogue::chapterPath("titanic", 12), app + "/story/titanic/12");
        QVERIFY(Catalogue::chapterPath("XYJ", 1).isEmpty());
        QVERIFY(Catalogue::chapterPath("", 1).isEmpty());
        // Every caption has its file beside the program.
        for (const Catalogue::Novel &novel : Catalogue::novels())
            for (int i = 1; i <= Catalogue::chapterCaptions(novel).size(); ++i)
                QVERIFY(QFile::exists(Catalogue::chapterPath(novel.key, i)));

        n->chooseNovel("xyj");
        clickChapter(100);
        QVERIFY(n.readingPane()->toPlainText().contains("story/xyj/101"));
        n->chooseNovel("diyici");
        clickChapter(0);
        QVERIFY(n.readingPane()->toPlainText().contains("story/firsttouch/1"));
        QVERIFY(n.readingPane()->toPlainText().contains("第一次亲密接触"));
        // Enter opens the highlighted chapter as a click does.
        n->chooseNovel("xyj");
        n.chapterList()->setCurrentRow(2);
        QTest::keyClick(n.chapterList(), Qt::Key_Return);
        QVERIFY(n.readingPane()->toPlainText().contains("story/xyj/3"));
        n.novelKeyBox()->setText("nosuchkey"); // the pane empties
        clickChapter(0);
        QVERIFY(n.readingPane()->toPlainText().isEmpty());
    }

    void decodingGbkAndUtf8() {
        const QString text = QStringLiteral("第一回　宴桃园豪杰三结义\r\n滚滚长江东逝水。ABC");
        const QByteArray gbk = QStringEncoder("GB18030").encode(text);
        QCOMPARE(ChapterFile::decode(gbk), text);
        QCOMPARE(ChapterFile::decode(text.toUtf8()), text);
        QCOMPARE(ChapterFile::decode("\xEF\xBB\xBF" + text.toUtf8()), text);
        QCOMPARE(ChapterFile::decode("plain ascii\n"), QString("plain ascii\n"));
        QCOMPARE(ChapterFile::decode("\xF0\x9F\x98\x80 ok"),
                 QStringLiteral("😀 ok")); // four-byte UTF-8
        // Overlong or surrogate forms are not UTF-8: read as GB18030 instead.
        QVERIFY(ChapterFile::decode("\xC0\xAF").compare(QStringLiteral("/")) != 0);
        QVERIFY(!ChapterFile::decode("\xED\xA0\x80").contains(QChar(0xD800)));
        // Not UTF-8, not whole GBK either: the bad byte becomes U+FFFD, the rest stays.
        QString mixed = ChapterFile::decode(gbk + "\xFF" + gbk);
        QCOMPARE(mixed.count(QChar(0xFFFD)), 1);
        QCOMPARE(mixed.remove(QChar(0xFFFD)), text + text);
        // A BOM before broken UTF-8 keeps every valid character.
        QCOMPARE(ChapterFile::decode("\xEF\xBB\xBF"
                                     "a\xFFz"),
                 QString("a\uFFFDz"));
    }

    void unreadableChaptersGiveNothing() {
        QVERIFY(!ChapterFile::read(m_dir.filePath("missing")));
        QVERIFY(!ChapterFile::read(m_dir.path())); // a folder
        QVERIFY(!ChapterFile::read(file("binary", QByteArray("\x7f"
                                                             "ELF\0\0\1",
                                                             7))));
        QFile big(m_dir.filePath("big"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(ChapterFile::MaxBytes + 1)); // sparse: costs no disk
        big.close();
        QVERIFY(!ChapterFile::read(big.fileName()));
        const QString locked = file("locked", "text");
        QFile::setPermissions(locked, {});
        if (QFile(locked).open(QIODevice::ReadOnly))
            qInfo("running with privileges that read any file; permission case not checked");
        else
            QVERIFY(!ChapterFile::read(locked));
        QCOMPARE(*ChapterFile::read(file("ok", "fine")), QString("fine"));
    }

    void realChaptersDecodeCleanly() {
        const QString folder = QStringLiteral(QUILLARY_SHARED_DATA) + "/story/hlm";
        if (!QFile::exists(folder + "/1"))
            QSKIP("shared chapter data not present");
        for (int i : {1, 60, 120}) {
            const auto text = ChapterFile::read(folder + "/" + QString::number(i));
            QVERIFY(text);
            QVERIFY(text->startsWith(QStringLiteral("第")));
            QVERIFY(!text->contains(QChar(0xFFFD)));
            QVERIFY(text->size() > 1000);
        }
    }

    // The user's own chapter comes before the shipped notice, and a notice
    // names the user's real folder for that novel.
    void usersOwnChaptersComeFirst() {
        const QString own = AppPaths::userChapterFolder("xyj");
        QVERIFY(QDir().mkpath(own));
        QFile chapter(own + "/1");
        QVERIFY(chapter.open(QIODevice::WriteOnly));
        chapter.write(QStringEncoder("GB18030").encode(QString("第一回 我自己的")));
        chapter.close();
        n->chooseNovel("xyj");
        clickChapter(0);
        QCOMPARE(n.readingPane()->toPlainText(), QString("第一回 我自己的"));
        clickChapter(1);
        QVERIFY(n.readingPane()->toPlainText().contains(own + "/2"));
        QVERIFY(!n.readingPane()->toPlainText().contains(Catalogue::NoticeFolderToken));
        QDir(own).removeRecursively();
    }

    // A long chapter is read on a worker: its first part shows before the
    // rest, the parts join as the file reads (a CR LF on the seam, a
    // character split by it), and a chapter clicked meanwhile wins.
    void longChaptersShowAsTheyRead() {
        const QString own = AppPaths::userChapterFolder("xyj");
        QVERIFY(QDir().mkpath(own));
        QString text;
        for (int i = 0; text.size() < 900000; ++i)
            text += QString("第%1段，话说天下大势。\r\n").arg(i);
        const QByteArray gbk = QStringEncoder("GB18030").encode(text);
        QVERIFY(gbk.size() > ChapterFile::ReadWhileWaitingBytes);
        for (const QString name : {"1", "2"}) {
            QFile f(own + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(name == "1" ? gbk : gbk + QByteArray("\xb5\xda\xb6\xfe"));
        }
        const QString expected = QString(text).replace("\r\n", "\n");
        for (const qsizetype head : {qsizetype(5), qsizetype(65536), gbk.size() - 2}) {
            QStringList parts;
            QVERIFY(
                ChapterFile::readInParts(own + "/1", head, [&](const QString &p) { parts << p; }));
            QCOMPARE(parts.join(QString()), ChapterFile::read(own + "/1").value());
        }
        n->chooseNovel("xyj");
        clickChapter(0);
        clickChapter(1); // before the first has been read
        QTRY_VERIFY(n.paneText()->text().size() > expected.size());
        QTest::qWait(50);
        QCOMPARE(n.paneText()->text(), expected + "第二");
        QDir(own).removeRecursively();
    }

    // A novel's menu and Ctrl+I ask for its import; neither chooses it.
    void theCatalogueOffersTheImport() {
        FakeInteraction fake; // the file dialog is cancelled
        withCatalogue([&](CatalogueDialog *b) {
            b->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(b));
            QTreeWidgetItem *xyj = node(b, "西游记");
            b->tree->setCurrentItem(xyj);
            // As the keyboard sends it: Ctrl+I carries a tab, not a letter.
            QTest::sendKeyEvent(QTest::Click, b->tree, Qt::Key_I, QString(QChar(9)),
                                Qt::ControlModifier);
            QCOMPARE(fake.filtersOffered.size(), 2);
            fake.filtersOffered.clear();
            bool offered = false;
            whenShown(this, "novelmenu", [&](QWidget *menu) {
                const auto action = menu->findChild<QAction *>("importnovel");
                offered = action && action->text() == "导入小说文本…";
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            });
            const QRect at = b->tree->visualItemRect(xyj);
            QTest::mouseClick(b->tree->viewport(), Qt::RightButton, {}, at.center());
            Q_EMIT b->tree->customContextMenuRequested(at.center());
            QVERIFY(offered);
            QCOMPARE(fake.filtersOffered.size(), 2);
            QVERIFY(b->isVisible()); // still open: nothing was chosen
            b->close();
        });
    }

    // A whole novel in one file, cut at its headings into the user's folder
    // after the user has seen what was found.
    void importingAWholeNovel() {
        FakeInteraction fake;
        QString novel = "西游记\n吴承恩 著\n";
        for (int i = 1; i <= 5; ++i)
            novel += QString("第%1回　回目%1\n正文%1。\n")
                         .arg(QStringList{"一", "二", "三", "四", "五"}[i - 1]);
        fake.fileAnswer = file("xyj.txt", QStringEncoder("GB18030").encode(novel));
        fake.confirmAnswer = false; // Cancel writes nothing
        n->importNovel("xyj");
        QCOMPARE(fake.asked.last().text, QString("找到 5 回，目录中有 101 回。导入吗？"));
        QVERIFY(!QFileInfo::exists(AppPaths::userChapterFolder("xyj")));

        fake.confirmAnswer = true;
        n->importNovel("xyj");
        n->chooseNovel("xyj");
        clickChapter(0);
        QVERIFY(n.readingPane()->toPlainText().startsWith("西游记\n吴承恩 著\n第一回　回目一\n"));
        clickChapter(4);
        QVERIFY(n.readingPane()->toPlainText().startsWith("第五回　回目五\n正文五。"));
        clickChapter(5); // not imported: the notice
        QVERIFY(n.readingPane()->toPlainText().contains(Catalogue::NoticeMarker));

        // No heading at all: refused with a message, nothing changes.
        const qsizetype asked = fake.asked.size();
        fake.fileAnswer = file("plain.txt", "just some text\n");
        n->importNovel("xyj");
        QCOMPARE(fake.asked.size(), asked + 1);
        QVERIFY(fake.asked.last().text.contains("没有找到章节标题"));
        clickChapter(0);
        QVERIFY(n.readingPane()->toPlainText().startsWith("西游记"));

        // The prologue of a novel that has one goes to the line after its episodes.
        fake.fileAnswer = file("titanic.txt", "序幕\n冰山\n第1集\n船\n");
        n->importNovel("titanic");
        QCOMPARE(fake.asked.last().text,
                 QString("找到 1 集和序幕，目录中有 11 集和序幕。导入吗？"));
        n->chooseNovel("titanic");
        clickChapter(11);
        QVERIFY(n.readingPane()->toPlainText().startsWith("序幕\n冰山"));
        QDir(AppPaths::userChapterFolder("xyj")).removeRecursively();
        QDir(AppPaths::userChapterFolder("titanic")).removeRecursively();
    }

    // An import cut short leaves the old chapters aside and its own folder
    // behind: the next start puts them right, and says so on the novel page.
    void aStartRecoversAnImportCutShort() {
        const QString own = AppPaths::userChapterFolder("she");
        writeOwnChapter(1, 3);
        QVERIFY(QDir().rename(own, own + ".replaced"));
        QVERIFY(QDir().mkpath(own + ".importing-Ab12Cd"));
        FakeInteraction fake;
        restart();
        QVERIFY(QFileInfo(own + "/1").isFile());
        QVERIFY(!QFileInfo::exists(own + ".replaced"));
        QVERIFY(!QFileInfo::exists(own + ".importing-Ab12Cd"));
        QVERIFY(fake.asked.isEmpty());
        withCatalogue([](CatalogueDialog *b) { b->close(); });
        QCOMPARE(fake.asked.size(), 1);
        QVERIFY(fake.asked.first().text.startsWith("《射雕英雄传》："));
        withCatalogue([](CatalogueDialog *b) { b->close(); });
        QCOMPARE(fake.asked.size(), 1); // once
    }

    // The real 西游记 as one GBK file: imported into its slot, its first and
    // hundredth chapters read.
    void importingTheRealJourneyToTheWest() {
        const QString folder = QStringLiteral(QUILLARY_SHARED_DATA) + "/story/xyj";
        if (!QFile::exists(folder + "/1"))
            QSKIP("shared chapter data not present");
        QByteArray whole;
        for (int i = 1; i <= 101; ++i) {
            QFile part(folder + "/" + QString::number(i));
            QVERIFY(part.open(QIODevice::ReadOnly));
            whole += part.readAll() + "\r\n";
        }
        FakeInteraction fake;
        fake.fileAnswer = file("xiyouji.txt", whole);
        n->importNovel("xyj");
        QCOMPARE(fake.asked.last().text, QString("找到 100 回，目录中有 101 回。导入吗？"));
        n->chooseNovel("xyj");
        clickChapter(0);
        QVERIFY(n.readingPane()->toPlainText().startsWith("第一回　灵根育孕源流出"));
        clickChapter(99);
        QVERIFY(n.readingPane()->toPlainText().startsWith("第一百回　径回东土"));
        QVERIFY(!n.readingPane()->toPlainText().contains(QChar(0xFFFD)));
        QDir(AppPaths::userChapterFolder("xyj")).removeRecursively();
    }

    // Each real novel in one file, GBK or UTF-8: every numbered chapter is
    // found once, however often the text names others, and written as it was.
    void importingWholeRealNovels_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("found");
        QTest::addColumn<bool>("utf8");
        // xyj's file 101 is its appendix, which has no numbered heading.
        for (const auto &[key, found] : std::initializer_list<std::pair<const char *, int>>{
                 {"shz", 120}, {"hlm", 120}, {"sgyy", 120}, {"xyj", 100}})
            for (const bool utf8 : {false, true})
                QTest::addRow("%s %s", key, utf8 ? "UTF-8" : "GBK")
                    << QString(key) << found << utf8;
    }
    void importingWholeRealNovels() {
        QFETCH(QString, key);
        QFETCH(int, found);
        QFETCH(bool, utf8);
        const QString source = QStringLiteral(QUILLARY_SHARED_DATA) + "/story/" + key + "/";
        if (!QFile::exists(source + "1"))
            QSKIP("shared chapter data not present");
        QByteArray whole;
        QStringList chapters;
        for (int i = 1; QFile::exists(source + QString::number(i)); ++i) {
            QFile part(source + QString::number(i));
            QVERIFY(part.open(QIODevice::ReadOnly));
            const QByteArray bytes = part.readAll();
            chapters << ChapterFile::decode(bytes);
            whole += utf8 ? chapters.last().toUtf8() : bytes;
        }
        FakeInteraction fake;
        fake.fileAnswer = file(key + ".txt", whole);
        n->importNovel(key);
        QCOMPARE(fake.asked.last().text, QString("找到 %1 回，目录中有 %2 回。导入吗？")
                                             .arg(found)
                                             .arg(key == "xyj" ? 101 : 120));
        const QString own = AppPaths::userChapterFolder(key);
        QCOMPARE(QDir(own).entryList(QDir::Files).size(), found);
        for (int i = 1; i <= found; ++i) // what follows the last heading stays with it
            QVERIFY2(ChapterFile::read(own + "/" + QString::number(i)) ==
                         (i < found ? chapters[i - 1] : chapters.mid(i - 1).join(QString())),
                     qPrintable(QString("chapter %1 differs").arg(i)));
        QDir(own).removeRecursively();
    }

    void scrollingMovesThePaneAndLoadsResetIt() {
        QCOMPARE(n->paneTop(), 0.0f);
        QCOMPARE(n->paneHeight(), 4575.0f);
        QVERIFY(!m_diary->novelScrollTimer->isActive());
        n->startScrolling();
        QVERIFY(m_diary->novelScrollTimer->isActive());
        QCOMPARE(m_diary->novelScrollTimer->interval(), 4000);
        QVERIFY(!n.scrollButton()->isVisibleTo(n.frame()) &&
                n.stopScrollButton()->isVisibleTo(n.frame()));
        for (int i = 0; i < 3; ++i)
            n->scrollStep();
        QCOMPARE(n->paneTop(), -570.0f);
        QCOMPARE(n->paneHeight(), 5145.0f);
        QCOMPARE(n.readingPane()->y(), n->twipsToPixels(-570));
        QCOMPARE(n.readingPane()->y() + n.readingPane()->height(), n.paneClip()->height());

        n->chooseNovel("hlm");
        clickChapter(2); // back to the top; scrolling goes on
        QCOMPARE(n->paneTop(), 0.0f);
        QCOMPARE(n->paneHeight(), 4575.0f);
        QVERIFY(m_diary->novelScrollTimer->isActive());
        n->scrollStep();
        QCOMPARE(n->paneTop(), -190.0f);

        n->stopScrolling();
        QVERIFY(!m_diary->novelScrollTimer->isActive());
        QVERIFY(n.scrollButton()->isVisibleTo(n.frame()) &&
                !n.stopScrollButton()->isVisibleTo(n.frame()));
        QCOMPARE(n->paneTop(), -190.0f); // frozen where it was
    }

    // Chapter 37 read far into a chapter too long to be in the editor whole,
    // the program ended by its close button or by the window manager, opens
    // again at the same first line, also in a bigger font.
    void aNovelReopensWhereTheReaderStopped() {
        writeOwnChapter(37, 40000);
        for (const QString how : {"close button", "window manager", "bigger font"}) {
            openFromCatalogue("射雕英雄传");
            clickChapter(36);
            readOnward(12, 3);
            const QString seen = firstLineSeen();
            QVERIFY2(seen.startsWith("第37回 第") && !seen.endsWith(" 第1行。"), qPrintable(how));
            if (how == "window manager")
                m_diary->close();
            else
                press(m_diary.get(), "exitsys");
            restart();
            if (how == "bigger font") {
                QFont font = n.readingPane()->document()->defaultFont();
                font.setPointSizeF(14);
                n.readingPane()->document()->setDefaultFont(font);
            }
            openFromCatalogue("射雕英雄传");
            QCOMPARE(n.chapterList()->currentRow(), 36);
            QVERIFY(!n.paneText()->holdsEverything());
            QCOMPARE(firstLineSeen(), seen);
            // Brought into the editor where it was read, and none of it lost.
            QCOMPARE(n.paneText()->text(),
                     ChapterFile::read(AppPaths::userChapterFolder("she") + "/37")
                         ->replace("\r\n", "\n"));
        }
    }

    // Scrolling by itself moves the pane, not the text: what the frame shows
    // when the user stops it is the place, written once it settles, and the
    // chapter is marked in the list without its caption changing.
    void aPlaceReadByScrollingItselfAndItsMark() {
        writeOwnChapter(37, 400);
        openFromCatalogue("射雕英雄传");
        clickChapter(36);
        n->startScrolling();
        for (int i = 0; i < 20; ++i)
            n->scrollStep();
        n->stopScrolling();
        QCOMPARE(n.readingPane()->verticalScrollBar()->value(), 0);
        const QString seen = firstLineSeen();
        QVERIFY(seen != "第37回 第1行。");
        QTRY_VERIFY(ReadingPlaces(ReadingPlaces::defaultPath()).place("she").has_value());
        m_diary.reset(); // killed: nothing written at the end
        restart();
        openFromCatalogue("射雕英雄传");
        QCOMPARE(n->paneTop(), 0.0f);
        QCOMPARE(firstLineSeen(), seen);

        QListWidget *list = n.chapterList();
        auto marked = [list] {
            QList<int> rows;
            for (int i = 0; i < list->count(); ++i)
                if (!list->item(i)->icon().isNull())
                    rows << i;
            return rows;
        };
        QCOMPARE(marked(), QList<int>{36});
        QVERIFY(list->item(36)->foreground() != list->item(35)->foreground());
        QCOMPARE(list->item(36)->text(), QString("第37回"));
        clickChapter(1);
        QCOMPARE(marked(), QList<int>{1});
        QCOMPARE(list->item(36)->foreground(), list->item(35)->foreground());
    }

    // A novel never read, a chapter gone, a place past its chapter's end and
    // a damaged place file all open the novel as if no place were kept.
    void placesThatCannotBeKeptFallBack() {
        openFromCatalogue("射雕英雄传");
        QCOMPARE(n.chapterList()->currentRow(), -1);
        QVERIFY(n.readingPane()->toPlainText().isEmpty());

        writeOwnChapter(37, 400);
        clickChapter(36);
        n.readingPane()->verticalScrollBar()->setValue(200);
        press(m_diary.get(), "exitsys");
        QFile::remove(AppPaths::userChapterFolder("she") + "/37"); // imported again, shorter
        restart();
        openFromCatalogue("射雕英雄传");
        QCOMPARE(n.chapterList()->currentRow(), -1);
        QVERIFY(n.readingPane()->toPlainText().isEmpty());

        writePlaces("{\"novels\": {\"she\": {\"chapter\": 3, \"offset\": 1e9}}}");
        restart();
        openFromCatalogue("射雕英雄传");
        QCOMPARE(n.chapterList()->currentRow(), 2);
        QVERIFY(n.readingPane()->toPlainText().contains("story/she/3"));
        QCOMPARE(n.readingPane()->verticalScrollBar()->value(), 0);

        for (const QByteArray &damaged :
             {QByteArray("{\"novels\": {\"she\": {\"chapter\": 44, \"offset\": 0}}}"),
              QByteArray("{\"novels\": {\"she\": {\"chapter\": \"3\", \"offset\": -5}}}"),
              QByteArray("{\"novels\": {\"she\": {\"chap"), QByteArray("[1, 2]"),
              QByteArray("\0\x01\xff garbage", 12), QByteArray()}) {
            writePlaces(damaged);
            restart();
            openFromCatalogue("射雕英雄传");
            QCOMPARE(n.chapterList()->currentRow(), -1);
        }
        // The next place written replaces the damaged file whole.
        clickChapter(4);
        press(m_diary.get(), "exitsys");
        const auto kept = ReadingPlaces(ReadingPlaces::defaultPath()).place("she");
        QVERIFY(kept);
        QCOMPARE(kept->chapter, 5);
    }

    void emphasisFormatsTheSelection() {
        // The pane's text starts at its fractional size, not a rounded one.
        QCOMPARE(n.readingPane()->document()->defaultFont().pointSizeF(), 9.75);
        n.readingPane()->setPlainText("first sentence. second sentence.");
        QTextCursor c = n.readingPane()->textCursor();
        c.setPosition(0);
        c.setPosition(5, QTextCursor::KeepAnchor);
        n.readingPane()->setTextCursor(c);
        n->enlargeText();
        QVERIFY(!n.enlargeButton()->isVisibleTo(n.frame()) &&
                n.restoreButton()->isVisibleTo(n.frame()));
        SelectionFormat f = SelectionFormat::of(n.readingPane());
        QCOMPARE(*f.fontSize, 14.0);
        QCOMPARE(*f.bold, true);
        QCOMPARE(*f.colour, QColor(0, 0, 255));

        c.setPosition(16);
        c.setPosition(22, QTextCursor::KeepAnchor);
        n.readingPane()->setTextCursor(c);
        n->restoreText();
        f = SelectionFormat::of(n.readingPane());
        QCOMPARE(*f.fontSize, 10.0);
        QCOMPARE(*f.bold, false);
        QCOMPARE(*f.colour, QColor(0, 0, 0));
        c.setPosition(0);
        c.setPosition(5, QTextCursor::KeepAnchor);
        QCOMPARE(c.charFormat().fontPointSize(), 14.0); // the first stays emphasised

        n->enlargeText();
        n->chooseNovel("sgyy");
        clickChapter(0);
        QVERIFY(n.restoreButton()->isVisibleTo(n.frame())); // the toggle keeps its state
    }
};

QTEST_MAIN(TestNovels)
#include "test_novels.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "asuser.h"
#include "core/chapterfile.h"
#include "core/novelimport.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

// Cutting a whole novel into chapters and putting them in place.
class TestNovelImport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString &name, const QByteArray &bytes) {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    static QString readBack(const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString("<none>");
    }
    static QStringList entries(const QString &folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                      QDir::Name);
    }

private Q_SLOTS:
    void headings_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("heading");
        QTest::newRow("chinese") << "第一回　灵根育孕源流出" << true;
        QTest::newRow("hundred") << "第一百回 径回东土" << true;
        QTest::newRow("zero and two") << "第两千零〇章" << true;
        QTest::newRow("arabic") << "第12章 再会" << true;
        QTest::newRow("full-width digits") << "第１２集" << true;
        QTest::newRow("section and volume") << "第三节" << true;
        QTest::newRow("volume") << "第五卷 完" << true;
        QTest::newRow("indented") << "　　第二回 " << true;
        QTest::newRow("no number") << "第回" << false;
        QTest::newRow("no unit") << "第一百" << false;
        QTest::newRow("other unit") << "第一天" << false;
        QTest::newRow("inside a line") << "他说第一回很好看" << false;
        QTest::newRow("text running on") << "第四回中，既将薛家母子在荣府中寄居等事" << false;
        QTest::newRow("line of a CR LF file") << "第三节\r" << true;
        QTest::newRow("empty") << "" << false;
    }
    void headings() {
        QFETCH(QString, line);
        QFETCH(bool, heading);
        QCOMPARE(NovelImport::isHeading(line), heading);
    }

    void splittingKeepsThePrefaceAndEveryLine() {
        const QString text = "西游记\n前言：这是前言。\n第一回 开始\n正文一，其中提到第二回的事。\n"
                             "第二回 继续\n正文二\n序幕\n不是序幕的序幕\n";
        const NovelImport::Chapters plain = NovelImport::split(text, false);
        QCOMPARE(plain.numbered.size(), 2);
        QVERIFY(plain.numbered[0].startsWith("西游记\n前言：这是前言。\n第一回 开始\n"));
        QVERIFY(plain.numbered[0].contains("其中提到第二回的事"));
        QVERIFY(plain.numbered[1].startsWith("第二回 继续\n正文二\n序幕\n"));
        QVERIFY(plain.prologue.isNull());
        const NovelImport::Chapters titanic = NovelImport::split(text, true);
        QCOMPARE(titanic.numbered.size(), 2);
        QVERIFY(titanic.prologue.startsWith("序幕\n不是序幕的序幕"));
        // Put back together, the sections are the text: no line end added.
        QCOMPARE(plain.numbered.join(QString()), text);
        QCOMPARE(titanic.numbered.join(QString()) + titanic.prologue, text);
        QCOMPARE(NovelImport::split("第一回\n正文", false).numbered, QStringList({"第一回\n正文"}));
        QVERIFY(NovelImport::split("没有标题的一段文字。\n第一天\n", false).numbered.isEmpty());
    }

    // A chapter names others, at times at the start of a line; only the
    // number that comes next opens a new one.
    void splittingFollowsTheNumbering() {
        const QString text = "第一回　甄士隐梦幻识通灵\n第二回　贾夫人仙逝扬州城\n"
                             "第四回中，既将薛家母子在荣府中寄居等事。\n第一回　见上文。\n第三回\n";
        const QStringList found = NovelImport::split(text, false).numbered;
        QCOMPARE(found.size(), 3);
        QCOMPARE(found[1], QString("第二回　贾夫人仙逝扬州城\n"
                                   "第四回中，既将薛家母子在荣府中寄居等事。\n第一回　见上文。\n"));
        // Counted from where the text starts, across tens and hundreds.
        for (const QString numbers : {"第九回\n第一〇回\n第十一回\n第九十九回\n第十二回",
                                      "第九十九回\n第一百回　\n第一百一回\n第一百十回\n第一百二回",
                                      "第0章 楔子\n第1章：风起\n第２章\n第13章\n第3章"})
            QCOMPARE(NovelImport::split(numbers, false).numbered.size(), 4);
    }

    void readingRefusesWhatIsNoNovel() {
        const QString gbkText = "第一回 宴桃园豪杰三结义\n滚滚长江东逝水。\n";
        const QByteArray gbk = QStringEncoder("GB18030").encode(gbkText);
        QCOMPARE(NovelImport::read(file("gbk.txt", gbk)).text, gbkText);
        QCOMPARE(NovelImport::read(file("utf8.txt", gbkText.toUtf8())).text, gbkText);
        QVERIFY(!NovelImport::read(file("binary.txt", QByteArray("ab\0cd", 5))).refusal.isEmpty());
        QVERIFY(!NovelImport::read(m_dir.path()).refusal.isEmpty());
        QVERIFY(!NovelImport::read(m_dir.filePath("missing.txt")).refusal.isEmpty());
    }

    // A file cut inside its last character is still the UTF-8 it was, and a
    // chapter the reader could not open replaces nothing.
    void cutTextsAndOversizedChaptersAreJudgedBeforeAnythingChanges() {
        const QByteArray utf8 = QString("第一回 开始\n正文").toUtf8();
        for (int cut = 1; cut <= 2; ++cut) {
            QVERIFY(ChapterFile::decode(utf8.chopped(cut)).startsWith("第一回 开始\n正"));
            const NovelImport::Text read = NovelImport::read(file("cut.txt", utf8.chopped(cut)));
            QCOMPARE(NovelImport::split(read.text, false).numbered.size(), 1);
        }
        const QString folder = m_dir.filePath("other/lu");
        QVERIFY(NovelImport::write(folder, {{1, "旧一"}}));
        const QString huge(ChapterFile::MaxBytes / 3 + 1, QChar(0x4E00));
        const Result refused = NovelImport::write(folder, {{1, "新一"}, {2, huge}});
        QVERIFY(!refused);
        QVERIFY(refused.message().contains("64 MB"));
        QCOMPARE(entries(folder), QStringList({"1"}));
        QCOMPARE(readBack(folder + "/1"), QString("旧一"));
    }

    // An import replaces an earlier one whole; one stopped halfway, or one
    // that cannot be written, leaves it exactly as it was.
    void writingReplacesWholeOrNotAtAll() {
        const QString folder = m_dir.filePath("story/xyj");
        QVERIFY(NovelImport::write(folder, {{1, "旧一"}, {2, "旧二"}, {3, "旧三"}}));
        QCOMPARE(entries(folder), QStringList({"1", "2", "3"}));
        QVERIFY(NovelImport::write(folder, {{1, "新一"}, {2, "新二"}}));
        QCOMPARE(entries(folder), QStringList({"1", "2"}));
        QCOMPARE(readBack(folder + "/1"), QString("新一"));

        QList<std::pair<int, QString>> many;
        for (int i = 1; i <= 100; ++i)
            many.append({i, QString("第%1回").arg(i)});
        const Result stopped =
            NovelImport::write(folder, many, [](int written) { return written < 50; });
        QVERIFY(!stopped);
        QCOMPARE(entries(folder), QStringList({"1", "2"}));
        QCOMPARE(readBack(folder + "/2"), QString("新二"));
        QCOMPARE(entries(m_dir.filePath("story")), QStringList({"xyj"})); // nothing left beside
    }

    // What lies in a novel's place in the story folder is the user's: a link
    // there is replaced as a link, never followed, and a file or anything
    // beside the chapters in an old folder is kept under another name.
    void whatIsInTheNovelsPlaceIsNeverFollowedNorLost() {
        QTemporaryDir home;
        const QString own = home.filePath("mine"), story = home.filePath("story");
        QVERIFY(QDir().mkpath(own + "/sub") && QDir().mkpath(story + "/xyj/sub"));
        for (const char *name : {"mine/1", "mine/notes.txt", "mine/sub/a", "story/hlm",
                                 "story/xyj/1", "story/xyj/readme", "story/xyj/sub/b"}) {
            QFile f(home.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(name) > 0);
        }
        QVERIFY(QFile::link(own, story + "/she"));
        for (const char *novel : {"she", "she", "hlm", "xyj"})
            QVERIFY(NovelImport::write(story + '/' + novel, {{1, "新一"}}));
        QCOMPARE(entries(own), QStringList({"1", "notes.txt", "sub"}));
        QCOMPARE(entries(own + "/sub"), QStringList({"a"}));
        for (const char *novel : {"she", "hlm", "xyj"}) {
            QVERIFY(!QFileInfo(story + '/' + novel).isSymLink());
            QCOMPARE(readBack(story + '/' + novel + "/1"), QString("新一"));
        }
        const QStringList kept = entries(story).filter(".kept");
        QCOMPARE(kept, QStringList({"hlm.kept", "xyj.kept"}));
        QCOMPARE(readBack(story + "/hlm.kept"), QString("story/hlm"));
        QCOMPARE(entries(story + "/xyj.kept"), QStringList({"readme", "sub"}));
    }

    // An import killed or failed part way leaves the old set aside and its
    // own folder behind; the next import puts back the one and removes the
    // other, touching nothing a link there leads to, and says so.
    void leftoversOfAnEarlierImportAreRecovered() {
        QTemporaryDir home;
        const QString story = home.filePath("story"), own = home.filePath("mine");
        QVERIFY(QDir().mkpath(story + "/she.replaced") && QDir().mkpath(own));
        QVERIFY(QDir().mkpath(story + "/she.importing-Ab12Cd"));
        for (const char *name : {"story/she.replaced/1", "story/she.importing-Ab12Cd/1",
                                 "story/she.importing-Ab12Cd/2.x1Y2z3", "mine/1"}) {
            QFile f(home.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("旧一") > 0);
        }
        QVERIFY(QFile::link(own, story + "/she.importing-XyZ987"));
        QStringList notes;
        QVERIFY(!NovelImport::write(
            story + "/she", {{1, "新一"}, {2, "新二"}}, [](int) { return false; }, &notes));
        QCOMPARE(notes.size(), 2);
        QCOMPARE(entries(story), QStringList({"she", "she.importing-XyZ987"}));
        QCOMPARE(readBack(story + "/she/1"), QString("旧一"));
        QCOMPARE(entries(own), QStringList({"1"}));
        QVERIFY(NovelImport::recover(story + "/she").isEmpty());
    }

    void aReadOnlyNovelFolderDoesNotBlockTheNextImport() {
        RUN_AS_ORDINARY_USER();
        QTemporaryDir home;
        const QString folder = home.filePath("story/xyj");
        QVERIFY(NovelImport::write(folder, {{1, "旧一"}}));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QStringList notes;
        for (const char *text : {"新一", "再一"})
            QVERIFY(NovelImport::write(folder, {{1, text}}, {}, &notes));
        QCOMPARE(readBack(folder + "/1"), QString("再一"));
        QCOMPARE(entries(home.filePath("story")), QStringList({"xyj", "xyj.kept"}));
        QCOMPARE(readBack(folder + ".kept/1"), QString("旧一"));
        QFile::setPermissions(folder + ".kept",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void aReadOnlyDataFolderTakesNothing() {
        RUN_AS_ORDINARY_USER();
        QTemporaryDir home;
        const QString folder = home.filePath("story/xyj");
        QVERIFY(NovelImport::write(folder, {{1, "旧一"}}));
        QVERIFY(QFile::setPermissions(home.filePath("story"), QFile::ReadOwner | QFile::ExeOwner));
        const Result refused = NovelImport::write(folder, {{1, "新一"}});
        QVERIFY(!refused);
        QVERIFY(!refused.message().isEmpty());
        QCOMPARE(readBack(folder + "/1"), QString("旧一"));
        QFile::setPermissions(home.filePath("story"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestNovelImport)
#include "test_novelimport.moc"

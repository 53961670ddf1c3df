// SPDX-License-Identifier: GPL-3.0-or-later
// Exports read by real parsers (python3-vobject, html5lib), cards written as
// other programs write them, and journals that come back row for row.
#include "core/apppaths.h"
#include "core/chapterfile.h"
#include "core/contactfile.h"
#include "core/importplan.h"
#include "core/journalexport.h"
#include "core/journalimport.h"
#include "core/journalindex.h"
#include "core/statement.h"
#include "core/store.h"
#include "core/vcard.h"

#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>
#include <thread>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

// What a script of tests/transfer printed, or nothing when the module it
// needs is missing.
std::optional<QJsonDocument> parsed(const char *script, const char *module, const QString &file) {
    if (QProcess::execute(Python, {"-c", QStringLiteral("import %1").arg(module)}) != 0)
        return std::nullopt;
    QProcess p;
    p.start(Python, {QStringLiteral(QUILLARY_TESTS_DIR "/transfer/") + script, file});
    p.waitForFinished(120000);
    if (p.exitCode() != 0)
        qWarning().noquote() << p.readAllStandardError();
    return QJsonDocument::fromJson(p.readAllStandardOutput());
}

void save(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

Contact awkward() {
    Contact c;
    c.name = "张,三;\\四";
    c.nickname = "小张";
    c.oicq = "10001";
    c.icq = "123456789";
    c.email = "zhang@example.com";
    c.mobilephone = "13800138000";
    c.workphone = "010-6275 1234";
    c.homephone = "+86 (10) 8888";
    c.homeaddress = "北京市海淀区中关村大街 27 号，A 座; 3 单元" + QString(40, QChar(u'路'));
    c.code = "100081";
    c.introduce = "第一行\n第二行 \\n 不是换行\r\n第三行 😀𠀀 " + QString(120, QChar(u'长'));
    c.qqpic = "17.bmp";
    return c;
}

// The journal's awkward texts: what looks like each format's own marks.
std::vector<JournalEntry> awkwardJournal() {
    return {
        {"20240126", "# 不是标题\n## 也不是\n- 列表\n* 星号 *强调* _下划线_\n1. 编号"},
        {"20240126", "<b>粗体</b> &amp; <script>alert(1)</script> & < > \""},
        {"20240126", ""},
        {"20231231", "\n\n前后空行\n\n"},
        {"20231231", "CR LF\r\n行尾\r\n孤立的\r回车"},
        {"20240101", "```text 2024-01-01\n假的条目\n```\n````\n`````"},
        {"20240101", "2024年01月01日 [2024-01-01]\n  缩进的行\n==== 2024年01月 ===="},
        {"20240229", "超出基本平面：𠀀𠀁😀 \t制表符\\反斜杠"},
        {"not-a-day", "键不是日期"},
        {"20241301", "月份不对的键"},
    };
}

QByteArray written(const std::vector<JournalEntry> &entries, JournalExport::Format format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    JournalExport::write(buffer, entries, format);
    return bytes;
}

// sqlite3 handle of a store, closed when it goes.
struct Reader {
    sqlite3 *db = nullptr;
    explicit Reader(const QString &path) { sqlite3_open(path.toUtf8().constData(), &db); }
    ~Reader() { sqlite3_close(db); }
};

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void vcardsAreReadByAnotherLibrary_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("4.0") << int(VCard::Version::V40);
        QTest::newRow("3.0") << int(VCard::Version::V30);
    }
    void vcardsAreReadByAnotherLibrary() {
        QFETCH(int, version);
        const bool v4 = version == int(VCard::Version::V40);
        Contact sparse;
        sparse.name = "李四";
        sparse.mobilephone = "139";
        QByteArray cards;
        for (const Contact &c : {awkward(), sparse})
            cards += VCard::write(c, VCard::Version(version), ContactFile::facePicture);
        for (const QByteArray &line : cards.split('\n')) {
            QVERIFY2(line.size() <= 76, line.constData());    // 75 and the CR
            QCOMPARE(QString::fromUtf8(line).toUtf8(), line); // no character cut
        }
        QTemporaryDir dir;
        save(dir.filePath("c.vcf"), cards);
        const std::optional<QJsonDocument> doc =
            parsed("vcard_fields.py", "vobject", dir.filePath("c.vcf"));
        if (!doc)
            QSKIP("python3-vobject is not installed");
        const QJsonArray read = doc->array();
        QCOMPARE(read.size(), 2);
        const QJsonObject a = read[0].toObject();
        const Contact c = awkward();
        QCOMPARE(a["version"].toString(), v4 ? "4.0" : "3.0");
        QCOMPARE(a["fn"].toString(), c.name);
        QCOMPARE(a["n"].toString(), c.name);
        QCOMPARE(a["nickname"].toString(), c.nickname);
        QCOMPARE(a["email"].toString(), c.email);
        QCOMPARE(a["x-qq"].toString(), c.oicq);
        QCOMPARE(a["x-icq"].toString(), c.icq);
        QCOMPARE(a[v4 ? "tel-cell" : "tel-cell"].toString(), c.mobilephone);
        QCOMPARE(a["tel-work"].toString(), c.workphone);
        QCOMPARE(a["tel-home"].toString(), c.homephone);
        QCOMPARE(a["adr-type"].toString(), "home");
        QCOMPARE(a["street"].toString(), c.homeaddress);
        QCOMPARE(a["code"].toString(), c.code);
        QCOMPARE(a["note"].toString(), QString(c.introduce).replace("\r\n", "\n"));
        const QByteArray face = ContactFile::facePicture(c.qqpic);
        if (!face.isEmpty())
            QCOMPARE(a["photo"].toString().toLatin1(), face.toBase64());
        const QJsonObject b = read[1].toObject();
        QCOMPARE(b["fn"].toString(), "李四");
        for (const char *left : {"nickname", "email", "note", "x-qq", "x-icq", "photo", "street"})
            QVERIFY2(b[left].isNull() || b[left].isUndefined(), left);
    }

    void ownCardsComeBack() {
        for (VCard::Version v : {VCard::Version::V40, VCard::Version::V30}) {
            Contact c = awkward();
            if (ContactFile::facePicture(c.qqpic).isEmpty())
                c.qqpic.clear(); // no face files beside the test
            const VCard::Reading r =
                VCard::read(VCard::write(c, v, ContactFile::facePicture), ContactFile::faceOf);
            QCOMPARE(r.contacts.size(), size_t(1));
            c.introduce.replace("\r\n", "\n");
            QCOMPARE(r.contacts[0], c);
        }
    }

    void cardsAsOtherProgramsWriteThem() {
        // An older phone: 2.1, GB2312 in quoted-printable with a soft break,
        // bare type words, a second mobile number, and a card cut short.
        QByteArray v21 =
            "BEGIN:VCARD\r\nVERSION:2.1\r\n"
            "N;CHARSET=GB2312;ENCODING=QUOTED-PRINTABLE:=D5=C5;=C8=FD;;;\r\n"
            "TEL;CELL:13800000001\r\nTEL;CELL;PREF:13800000002\r\nTEL;HOME;VOICE:66\r\n"
            "NOTE;CHARSET=GB2312;ENCODING=QUOTED-PRINTABLE:=B5=DA=D2=BB=\r\n"
            "=D0=D0=0D=0A=B5=DA=B6=FE=D0=D0\r\n"
            "X-QQ:778899\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Broken\r\nthis line has no colon\r\n"
            "END:VCARD\r\n"
            // A mail program: 3.0, grouped, folded, several mails.
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jane Q. Public\r\nN:Public;Jane;Q.;;\r\n"
            "item1.TEL;type=pref:+1-418-555-0100\r\nitem1.X-ABLabel:_$!<Other>!$_\r\n"
            "item2.EMAIL;type=INTERNET;type=pref:jane@example.com\r\n"
            "item3.EMAIL;type=INTERNET:jq@example.org\r\n"
            "ADR;TYPE=WORK:;;12 Office Rd;Town;;G1V 2M2;Canada\r\n"
            "NOTE:Met at the\r\n  conference\\, 2019\r\n"
            "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQ\r\n ABAAD\r\n"
            "X-UNKNOWN;FOO=bar:ignored\r\nEND:VCARD\r\n"
            // RFC 6350's example, with IMPP for ICQ.
            "BEGIN:VCARD\nVERSION:4.0\nFN:Simon Perreault\nN:Perreault;Simon;;;ing. jr,M.Sc.\n"
            "BDAY:--0203\nGENDER:M\nLANG;PREF=1:fr\n"
            "ADR;TYPE=work:;Suite D2-630;2875 Laurier;Quebec;QC;G1V 2M2;Canada\n"
            "TEL;VALUE=uri;TYPE=\"work,voice\";PREF=1:tel:+1-418-656-9254;ext=102\n"
            "TEL;VALUE=uri;TYPE=\"work,cell,voice,video,text\":tel:+1-418-262-6501\n"
            "EMAIL;TYPE=work:simon.perreault@viagenie.ca\nIMPP:icq:555\nEND:VCARD\n";
        const VCard::Reading r = VCard::read(v21);
        QVERIFY(r.isVCard);
        QCOMPARE(r.badCards, 1);
        QCOMPARE(r.contacts.size(), size_t(3));
        const Contact &phone = r.contacts[0];
        QCOMPARE(phone.name, "张三");
        QCOMPARE(phone.mobilephone, "13800000001");
        QCOMPARE(phone.homephone, "66");
        QCOMPARE(phone.oicq, "778899");
        QCOMPARE(phone.introduce, "第一行\n第二行\n手机：13800000002");
        const Contact &mail = r.contacts[1];
        QCOMPARE(mail.name, "Jane Q. Public");
        QCOMPARE(mail.mobilephone, "+1-418-555-0100");
        QCOMPARE(mail.email, "jane@example.com");
        QCOMPARE(mail.introduce, "Met at the conference, 2019\nE－MAIL：jq@example.org\n地址：12 "
                                 "Office Rd Town Canada G1V 2M2");
        QVERIFY(mail.qqpic.isEmpty()); // not one of ours
        const Contact &rfc = r.contacts[2];
        QCOMPARE(rfc.name, "Simon Perreault");
        QCOMPARE(rfc.workphone, "+1-418-656-9254;ext=102");
        QCOMPARE(rfc.mobilephone, "+1-418-262-6501");
        QCOMPARE(rfc.icq, "555");
        QVERIFY(rfc.introduce.contains("2875 Laurier Suite D2-630 Quebec QC Canada G1V 2M2"));

        // Ten megabytes in one folded value, and in one line with no colon.
        const QByteArray note(10 << 20, 'a');
        const VCard::Reading huge =
            VCard::read("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\n" + VCard::fold("NOTE:" + note) +
                        "\r\nEND:VCARD\r\nBEGIN:VCARD\r\n" + note + "\r\nEND:VCARD\r\n");
        QCOMPARE(huge.contacts.size(), size_t(1));
        QCOMPARE(huge.contacts[0].introduce.size(), note.size());
        QCOMPARE(huge.badCards, 1);

        QVERIFY(!VCard::read("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n").isVCard);
        QTemporaryDir dir;
        save(dir.filePath("x.vcf"), "名字,电话\n张三,138\n");
        QVERIFY(!ContactFile::read(dir.filePath("x.vcf")).refusal.isEmpty());
    }

    void journalFormatsComeBackExactly() {
        std::vector<JournalEntry> entries = awkwardJournal();
        JournalExport::sortOldestFirst(entries);
        QCOMPARE(entries.front().dates, "20231231");
        QCOMPARE(entries[2].things, awkwardJournal()[5].things); // 0101, stored order kept
        QCOMPARE(entries.back().dates, "20241301");
        const QString md = QString::fromUtf8(written(entries, JournalExport::Format::Markdown));
        const QString txt = QString::fromUtf8(written(entries, JournalExport::Format::Text));
        QVERIFY(md.contains("#### 2024年01月26日"));
        QVERIFY(txt.contains("2024年01月26日 [2024-01-26]"));
        QCOMPARE(JournalImport::fromMarkdown(md), entries);
        QCOMPARE(JournalImport::fromText(txt), entries);
        // An editor that turned the line ends into CR LF changes nothing.
        QCOMPARE(JournalImport::fromMarkdown(QString(md).replace("\n", "\r\n")), entries);
        QCOMPARE(JournalImport::fromText(QString(txt).replace("\n", "\r\n")), entries);
        QCOMPARE(JournalImport::fromMarkdown(md.left(md.size() - 5)), std::nullopt); // cut short
        // A day that is none, as a hand may write it, marks no entry.
        QCOMPARE(JournalImport::fromMarkdown("```text 2024-02-30\na\n```\n```text 2024-02-29\nb\n"
                                             "```\n```text 2024-0a-01\nc\n```\n"),
                 (std::vector<JournalEntry>{{"20240229", "b"}}));
    }

    // A file written from the store holds what its entries read as, in each
    // format: the texts go out as stored, bytes that are not UTF-8 as read.
    void exportWritesTheStoreAsItsEntriesRead() {
        QTemporaryDir dir;
        Store store;
        QCOMPARE(store.open(dir.filePath("work.db")), Store::State::Open);
        sqlite3 *db = store.nativeHandle();
        for (const JournalEntry &e : awkwardJournal())
            QVERIFY(Statement(db, "INSERT INTO diary (dates, things) VALUES (?, ?)")
                        .bind(1, e.dates.toUtf8())
                        .bind(2, e.things.toUtf8())
                        .run());
        QVERIFY(execute(db, "INSERT INTO diary (dates, things) VALUES "
                            "('20240127', CAST(X'41FF42C3' AS TEXT)), ('20240128', NULL)"));
        std::vector<JournalEntry> entries = *JournalExport::readJournal(db);
        JournalExport::sortOldestFirst(entries);
        for (auto format : {JournalExport::Format::Markdown, JournalExport::Format::Text,
                            JournalExport::Format::Html}) {
            QVERIFY(JournalExport::exportTo(db, dir.filePath("j"), format));
            QFile file(dir.filePath("j"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), written(entries, format));
        }
    }

    void journalPageIsReadByAnHtmlParser() {
        std::vector<JournalEntry> entries = awkwardJournal();
        JournalExport::sortOldestFirst(entries);
        QTemporaryDir dir;
        save(dir.filePath("j.html"), written(entries, JournalExport::Format::Html));
        const std::optional<QJsonDocument> doc =
            parsed("html_entries.py", "html5lib", dir.filePath("j.html"));
        if (!doc)
            QSKIP("python3-html5lib is not installed");
        const QJsonObject page = doc->object();
        QVERIFY(page["style"].toString().contains("宋体"));
        QStringList texts, days;
        for (const QJsonValue &day : page["days"].toArray()) {
            days << day["day"].toString();
            for (const QJsonValue &t : day["texts"].toArray())
                texts << t.toString();
        }
        QCOMPARE(days, QStringList({"2023-12-31", "2024-01-01", "2024-01-26", "2024-02-29",
                                    "not-a-day", "20241301"}));
        QCOMPARE(page["days"][2]["caption"].toString(), "2024年01月26日");
        QCOMPARE(texts.size(), qsizetype(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) // as a browser reads line ends
            QCOMPARE(texts[qsizetype(i)],
                     QString(entries[i].things).replace("\r\n", "\n").replace('\r', '\n'));
        const QJsonArray ids = page["ids"].toArray();
        QStringList contents;
        for (const QJsonValue &href : page["contents"].toArray()) {
            contents << href.toString();
            QVERIFY2(ids.contains(href.toString().mid(1)), qPrintable(href.toString()));
        }
        QCOMPARE(contents, QStringList({"#y2023", "#m2023-12", "#y2024", "#m2024-01", "#m2024-02",
                                        "#other"}));
    }

    void importsGoThroughTheStore() {
        QTemporaryDir dir;
        Store store;
        QCOMPARE(store.open(dir.filePath("work.db")), Store::State::Open);
        std::vector<JournalEntry> entries = awkwardJournal();
        JournalExport::sortOldestFirst(entries);
        save(dir.filePath("j.md"), written(entries, JournalExport::Format::Markdown));
        ImportPlan plan =
            ImportPlan::make(store.nativeHandle(), ImportPlan::Kind::Journal, dir.filePath("j.md"));
        QCOMPARE(plan.preview(), "将导入日记 10 篇（跳过重复 0 篇）");
        ImportWriter writer(&store, plan.table, plan.rows);
        QVERIFY(writer.start());
        while (!writer.finished())
            QVERIFY(writer.writeSome(5));
        QCOMPARE(JournalExport::readJournal(store.nativeHandle()), entries);
        // The rows were handed to the search index's build, which takes only them.
        QVERIFY(!JournalIndex::state(store.nativeHandle()).stale);
        QCOMPARE(JournalIndex::search(store.nativeHandle(), "超出基本平面", 10).count, 1);
        while (JournalIndex::buildSome(store.nativeHandle(), 40) == JournalIndex::Step::More) {
        }
        QVERIFY(JournalIndex::state(store.nativeHandle()).complete());
        const JournalIndex::Answer found =
            JournalIndex::search(store.nativeHandle(), "超出基本平面", 10);
        QVERIFY(found.indexed);
        QCOMPARE(found.count, 1);
        // Again: everything is there already.
        plan =
            ImportPlan::make(store.nativeHandle(), ImportPlan::Kind::Journal, dir.filePath("j.md"));
        QCOMPARE(plan.preview(), "将导入日记 0 篇（跳过重复 10 篇）");

        // Daily notes: one entry a day, whole files, other names left alone.
        QDir(dir.path()).mkpath("notes/2023");
        save(dir.filePath("notes/2023/2023-05-04.md"), "\xEF\xBB\xBF# 五月四日\n\n晴。\n");
        save(dir.filePath("notes/2023-05-03.txt"), "\xC7\xE7"); // GBK
        save(dir.filePath("notes/todo.md"), "不是日记");
        plan = ImportPlan::make(store.nativeHandle(), ImportPlan::Kind::Journal,
                                dir.filePath("notes"));
        QCOMPARE(plan.rows.size(), size_t(2));
        QCOMPARE(plan.rows[0], QStringList({"20230503", "晴"}));
        QCOMPARE(plan.rows[1], QStringList({"20230504", "# 五月四日\n\n晴。\n"}));
        // A note chosen by itself reads as it does in its folder.
        for (const char *note : {"notes/2023-05-03.txt", "notes/2023/2023-05-04.md"}) {
            const QStringList row = plan.rows[QByteArray(note).endsWith("md") ? 1 : 0];
            QCOMPARE(ImportPlan::make(store.nativeHandle(), ImportPlan::Kind::Journal,
                                      dir.filePath(note))
                         .rows,
                     std::vector<QStringList>{row});
        }

        Contact c = awkward();
        save(dir.filePath("c.vcf"), VCard::write(c, VCard::Version::V40) + "BEGIN:VCARD\r\n");
        plan = ImportPlan::make(store.nativeHandle(), ImportPlan::Kind::Contacts,
                                dir.filePath("c.vcf"));
        QCOMPARE(plan.preview(),
                 "将导入联系人 1 位（跳过重复 0 位），另有 1 张名片无法读取，将跳过");
        ImportWriter contacts(&store, plan.table, plan.rows);
        QVERIFY(contacts.start());
        QVERIFY(contacts.writeAll());
        plan = ImportPlan::make(store.nativeHandle(), ImportPlan::Kind::Contacts,
                                dir.filePath("c.vcf"));
        QCOMPARE(plan.duplicates, 1);
    }

    // The writer copies its log into the file as it goes, from a thread of
    // its own: the log of a large import stays bounded, and the rows
    // are all there, in order, for the store's own connection.
    void largeImportKeepsTheLogSmall() {
        QTemporaryDir dir;
        Store store;
        QCOMPARE(store.open(dir.filePath("work.db")), Store::State::Open);
        std::vector<ImportWriter::Row> rows;
        constexpr qint64 Bound = 2 * qint64(ImportWriter::LogPages) * 4096;
        for (int i = 0; i < 6000; ++i)
            rows.push_back({QString::number(20000101 + i), QString(1000, QChar(0x4e00 + i))});
        ImportWriter writer(&store, "diary", rows);
        QVERIFY(writer.start());
        qint64 largestLog = 0;
        std::thread([&] {
            while (!writer.finished() && writer.writeSome(25))
                largestLog = std::max(largestLog, QFileInfo(store.path() + "-wal").size());
        }).join();
        QVERIFY(writer.finished());
        QVERIFY2(largestLog > 0 && largestLog < Bound, qPrintable(QString::number(largestLog)));
        Statement q(store.nativeHandle(), "SELECT dates, things FROM diary ORDER BY rowid");
        for (const ImportWriter::Row &row : rows) {
            QVERIFY(q.step());
            QCOMPARE(QStringList({q.text(0), q.text(1)}), row);
        }
        QVERIFY(!q.step());
    }

    // The store's own build of the search index waits for an import, and
    // takes its rows once the last is in.
    void indexBuildWaitsForTheImport() {
        QTemporaryDir dir;
        Store store;
        QCOMPARE(store.open(dir.filePath("work.db")), Store::State::Open);
        QTRY_VERIFY(JournalIndex::state(store.nativeHandle()).complete());
        std::vector<ImportWriter::Row> rows(2 * ImportWriter::MostRows, {"20240101", "一二三"});
        ImportWriter writer(&store, "diary", rows);
        QVERIFY(writer.start());
        QVERIFY(writer.writeSome(60000));
        QTest::qWait(500); // the build looks every 100 ms
        QCOMPARE(JournalIndex::state(store.nativeHandle()).builtTo, 0);
        while (!writer.finished())
            QVERIFY(writer.writeSome(60000));
        QTRY_VERIFY(JournalIndex::state(store.nativeHandle()).complete());
        QCOMPARE(JournalIndex::search(store.nativeHandle(), "一二三", 10).count,
                 qint64(rows.size()));
    }

    // Damage met by any connection stops an import before its next
    // transaction; what it wrote before stays.
    void damageFoundStopsTheWriter() {
        QTemporaryDir dir;
        Store store;
        QCOMPARE(store.open(dir.filePath("work.db")), Store::State::Open);
        std::vector<ImportWriter::Row> rows(3 * ImportWriter::MostRows, {"20240101", "x"});
        ImportWriter writer(&store, "diary", rows);
        QVERIFY(writer.start());
        QVERIFY(writer.writeSome(60000));
        QCOMPARE(writer.written(), ImportWriter::MostRows);
        Damage::note(store.nativeHandle(), SQLITE_CORRUPT); // as a statement meeting a bad page
        const Result stopped = writer.writeSome(60000);
        QCOMPARE(stopped.code(), Result::Code::ReadOnly);
        QCOMPARE(writer.written(), ImportWriter::MostRows);
        Statement count(store.nativeHandle(), "SELECT count(*) FROM diary");
        QVERIFY(count.step());
        QCOMPARE(count.integer(0), qint64(ImportWriter::MostRows));
    }

    void readOnlyStoreRefuses() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        {
            Reader r(path);
            QCOMPARE(sqlite3_exec(r.db,
                                  "CREATE TABLE diary (dates TEXT, things TEXT);"
                                  "CREATE TABLE songs (title)",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
        }
        Store store;
        store.open(path);
        QVERIFY(store.isReadOnly());
        ImportWriter writer(&store, "diary", {{"20240101", "x"}});
        const Result refused = writer.start();
        QCOMPARE(refused.code(), Result::Code::ReadOnly);
        QCOMPARE(writeFailure(refused), "日记本以只读方式打开，不能写入。");
    }

    // A long journal of real novel text, every awkward character sprinkled
    // in, exported and imported into an empty notebook in both formats.
    void novelJournalRoundTrip() {
        const QString stories = QStringLiteral(QUILLARY_SHARED_DATA "/story");
        if (!QFileInfo(stories).isDir())
            QSKIP("no novels in the shared data");
        const QStringList marks = {"# ", "<p>", "&amp;", "* ", "\n\n", "\r\n", "𠀀😀", "```", "  "};
        std::vector<JournalEntry> journal;
        QDate day(2001, 1, 1);
        const char *const novels[] = {"hlm", "sgyy", "shz", "xyj"};
        for (int n = 4; journal.size() < 10000 && n < 4 * 120; ++n) {
            const std::optional<QString> text =
                ChapterFile::read(stories + "/" + novels[n % 4] + "/" + QString::number(n / 4));
            for (const QString &para : text.value_or(QString()).split('\n', Qt::SkipEmptyParts)) {
                const QString mark = marks[qsizetype(journal.size()) % marks.size()];
                journal.push_back({day.toString("yyyyMMdd"), mark + para + mark});
                if (journal.size() % 3 != 0)
                    day = day.addDays(1);
                if (journal.size() == 10000)
                    break;
            }
        }
        QCOMPARE(journal.size(), size_t(10000));
        for (auto format : {JournalExport::Format::Markdown, JournalExport::Format::Text}) {
            QTemporaryDir dir;
            const QString file =
                dir.filePath(format == JournalExport::Format::Text ? "j.txt" : "j.md");
            save(file, written(journal, format));
            Store store;
            QCOMPARE(store.open(dir.filePath("work.db")), Store::State::Open);
            const ImportPlan plan =
                ImportPlan::make(store.nativeHandle(), ImportPlan::Kind::Journal, file);
            ImportWriter writer(&store, plan.table, plan.rows);
            QVERIFY(writer.start());
            QVERIFY(writer.writeAll());
            QCOMPARE(JournalExport::readJournal(store.nativeHandle()), journal);
        }
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "test_transfer.moc"

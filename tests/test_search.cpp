// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/journalindex.h"
#include "core/recordset.h"
#include "core/searchtext.h"
#include "core/store.h"

#include "sql.h"
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <sqlite3.h>

// Finding journal entries by what they say, through the index and through
// the plain reading of every entry, which must agree.
class TestSearch : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static QList<qint64> keys(const JournalIndex::Answer &a) {
        QList<qint64> out;
        for (const auto &h : a.hits)
            out << h.key;
        return out;
    }
    // Built, and brought up to date where the store was from before.
    static bool indexReady(Store &store) {
        SqlQuery q(store.nativeHandle());
        return JournalIndex::state(store.nativeHandle()).complete() &&
               q.exec("PRAGMA user_version") && q.next() &&
               q.value(0).toInt() >= JournalIndex::FoldedWholeSince;
    }
    // The same file read without writing: no index is asked, unless told.
    static JournalIndex::Answer scanned(const QString &path, const QString &query,
                                        JournalIndex::Way way = JournalIndex::Way::ReadEveryEntry) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        SearchText::registerTokenizer(db);
        JournalIndex::Answer a = JournalIndex::search(db, query, 500, {}, way);
        sqlite3_close(db);
        return a;
    }
    // Chinese text with little repeated, so a few characters of it are found
    // where they were taken from.
    static QString filler(int length, int seed) {
        QString text(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            text[i] = QChar(0x4e00 + int((qint64(i) * 7919 + seed * 104729) % 20000));
        return text;
    }
    static qint64 piecesOf(sqlite3 *db, qint64 key) {
        SqlQuery q(db);
        q.prepare("SELECT count(*) FROM journal_search_piece WHERE entry = ?");
        q.addBindValue(key);
        return q.exec() && q.next() ? q.value(0).toLongLong() : -1;
    }
    void fill(Store &store, const QList<QPair<QString, QString>> &entries) {
        RecordSet diary(&store, "diary");
        QVERIFY(diary.open());
        for (const auto &[day, text] : entries)
            QVERIFY(diary.append({{"dates", day}, {"things", text}}));
    }

private Q_SLOTS:
    // A long text is indexed a piece a batch, each in a short transaction of
    // its own: a builder closed halfway leaves the index incomplete, and the
    // next one goes on from the pieces done. Phrases across the pieces'
    // seams and words in different pieces are found as reading finds them.
    void aLongTextIsIndexedAPieceAtATime() {
        const QString path = m_dir.filePath("pieces.db");
        const QString text = "alpha " + filler(60000, 1) + " omega";
        {
            SqlFile db(path);
            QVERIFY(db.open() && SearchText::registerTokenizer(db));
            SqlQuery q(db);
            QVERIFY(q.exec("CREATE TABLE diary (dates TEXT, things TEXT)"));
            QVERIFY(JournalIndex::create(db));
            QVERIFY(q.exec("PRAGMA user_version=" + QString::number(Store::SchemaVersion)));
            for (const QString &entry : {QString("alpha 前面"), text, QString("后来 omega")}) {
                q.prepare("INSERT INTO diary VALUES ('20020101', ?)");
                q.addBindValue(entry);
                QVERIFY(q.exec());
            }
            for (int batch = 0; batch < 4; ++batch)
                QCOMPARE(JournalIndex::buildSome(db, 1), JournalIndex::Step::More);
        }
        SqlFile db(path);
        QVERIFY(db.open() && SearchText::registerTokenizer(db));
        const qint64 begun = piecesOf(db, 2);
        QVERIFY(begun >= 2 && JournalIndex::state(db).builtTo == 1);
        QVERIFY(!JournalIndex::search(db, "alpha", 500).indexed);
        QCOMPARE(JournalIndex::buildSome(db, 1), JournalIndex::Step::More);
        QVERIFY(piecesOf(db, 2) > begun);
        while (JournalIndex::buildSome(db, 40) == JournalIndex::Step::More) {
        }
        QVERIFY(JournalIndex::state(db).complete());
        const std::vector<SearchText::Piece> pieces = SearchText::pieces(text.toUtf8());
        QVERIFY(pieces.size() > 5);
        const auto across = [&](size_t seam) -> QString {
            return '"' + text.mid(pieces[seam].to / 3 - 4, 8) + '"'; // 3 bytes a character
        };
        const QList<QPair<QString, QList<qint64>>> queries = {
            {across(0), {2}},  {across(4), {2}},    {"alpha omega", {2}},  {"前面 omega", {}},
            {"alpha", {2, 1}}, {"omega 后来", {3}}, {"alpha 不在其中", {}}};
        for (const auto &[query, found] : queries) {
            const JournalIndex::Answer a = JournalIndex::search(db, query, 500);
            QVERIFY2(a.indexed, qPrintable(query));
            QCOMPARE(keys(a), found);
            QCOMPARE(
                keys(JournalIndex::search(db, query, 500, {}, JournalIndex::Way::ReadEveryEntry)),
                found);
        }
    }

    // Saves, edits and deletes of long entries: one a little longer than a
    // piece is followed in the save, a longer one is left to the builder,
    // and either way the index answers as reading does.
    void longEntriesFollowEveryWrite() {
        const QString path = m_dir.filePath("longwrites.db");
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QTRY_VERIFY(indexReady(store));
        // Half as long again as a piece, in characters of three bytes.
        const int midLength = int(SearchText::PieceBytes / 2);
        const QString mid = "first " + filler(midLength, 2) + " second";
        fill(store, {{"20020101", "first 短的"}, {"20020102", mid}});
        QVERIFY(indexReady(store));
        RecordSet diary(&store, "diary");
        QVERIFY(diary.open());
        const QString big = "first " + filler(40000, 3) + " third";
        QVERIFY(diary.appendAside({{"dates", "20020103"}, {"things", big}}));
        const QStringList queries = {"first",       "second",       "third",
                                     "first third", "second third", '"' + big.mid(20000, 6) + '"'};
        const auto agree = [&] {
            QTRY_VERIFY_WITH_TIMEOUT(indexReady(store), 20000);
            for (const QString &query : queries) {
                const JournalIndex::Answer a =
                    JournalIndex::search(store.nativeHandle(), query, 500);
                QVERIFY(a.indexed);
                QCOMPARE(keys(a), keys(scanned(path, query)));
            }
        };
        agree();
        QCOMPARE(keys(JournalIndex::search(store.nativeHandle(), "first third", 500)),
                 QList<qint64>{3});
        QVERIFY(diary.moveToKey(2));
        QVERIFY(diary.setField("things", QString("third " + filler(midLength, 4))));
        QVERIFY(diary.update());
        QVERIFY(indexReady(store));
        agree();
        QVERIFY(diary.moveToKey(3));
        QVERIFY(diary.setField("things", QString(filler(40000, 5) + " second")));
        QVERIFY(diary.update());
        agree();
        QCOMPARE(keys(JournalIndex::search(store.nativeHandle(), "second", 500)), QList<qint64>{3});
        QVERIFY(diary.deleteCurrent());
        agree();
        QVERIFY(diary.moveToKey(2));
        QVERIFY(diary.deleteCurrent());
        agree();
        QCOMPARE(keys(JournalIndex::search(store.nativeHandle(), "third", 500)), QList<qint64>{});
    }

    void matchingRules_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<qint64>>("found"); // newest day first
        QTest::newRow("one Chinese character") << "猫" << QList<qint64>{1};
        QTest::newRow("two characters") << "公园" << QList<qint64>{1};
        QTest::newRow("many characters") << "看见一只猫" << QList<qint64>{1};
        QTest::newRow("no hit") << "老虎" << QList<qint64>{};
        QTest::newRow("Latin in any case") << "MEETING" << QList<qint64>{2};
        QTest::newRow("full-width letters in the text") << "abc" << QList<qint64>{3, 2};
        QTest::newRow("full-width letters in the query") << "ＡＢＣ" << QList<qint64>{3, 2};
        QTest::newRow("one Latin letter") << "q" << QList<qint64>{3, 2};
        QTest::newRow("mixed scripts") << "qt写法" << QList<qint64>{3};
        QTest::newRow("every word must occur") << "meeting qt" << QList<qint64>{2};
        QTest::newRow("words from two entries") << "meeting 猫" << QList<qint64>{};
        QTest::newRow("a phrase as written") << "\"with abc\"" << QList<qint64>{2};
        QTest::newRow("a phrase out of order") << "\"abc with\"" << QList<qint64>{};
        QTest::newRow("words of the phrase apart") << "abc with" << QList<qint64>{2};
        QTest::newRow("not across a line break") << "行换" << QList<qint64>{};
        QTest::newRow("either side of it") << "第二行 换行" << QList<qint64>{4};
        QTest::newRow("what the editor shows, tags included") << "<b>" << QList<qint64>{3};
        QTest::newRow("blank") << "   " << QList<qint64>{};
        QTest::newRow("a lone quote") << "\"" << QList<qint64>{};
        QTest::newRow("FTS syntax is only text") << "abc OR 猫" << QList<qint64>{};
    }
    void matchingRules() {
        QFETCH(QString, query);
        QFETCH(QList<qint64>, found);
        const QString path = m_dir.filePath("rules.db");
        Store store;
        if (!QFile::exists(path)) {
            QCOMPARE(store.open(path), Store::State::Open);
            fill(store, {{"20020101", "今天去公园散步，看见一只猫。"},
                         {"20020102", "Meeting with ＡＢＣ team about Qt"},
                         {"20020102", "<b>粗体</b> Qt写法 and abc"},
                         {"20020103", "第二行\n换行之后"}});
        } else {
            QCOMPARE(store.open(path), Store::State::Open);
        }
        QTRY_VERIFY(indexReady(store));
        const JournalIndex::Answer indexed = JournalIndex::search(store.nativeHandle(), query, 500);
        QVERIFY(indexed.indexed || found.isEmpty());
        QCOMPARE(keys(indexed), found);
        QCOMPARE(indexed.count, qint64(found.size()));
        const JournalIndex::Answer read = scanned(path, query);
        QVERIFY(!read.indexed);
        QCOMPARE(keys(read), found);
    }

    // Text pasted from an entry finds the entries holding it, by both ways,
    // its occurrence marked: only the ASCII quote makes a phrase, and a
    // letter is the same letter whether its accent is apart or not.
    void pastedTextIsFound_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<qint64>>("found");
        QTest::newRow("curly quotes") << "道：“宝玉" << QList<qint64>{1};
        QTest::newRow("a pair of them") << "“宝玉”" << QList<qint64>{5};
        QTest::newRow("one alone") << "“" << QList<qint64>{5, 2, 1};
        QTest::newRow("corner brackets") << "「宝玉」" << QList<qint64>{3};
        QTest::newRow("in an ASCII phrase") << "\"道：“宝玉\"" << QList<qint64>{1};
        QTest::newRow("composed") << "café" << QList<qint64>{8, 7, 6};
        QTest::newRow("decomposed") << "CAFE\u0301" << QList<qint64>{8, 7, 6};
        QTest::newRow("the letter without its accent") << "cafe" << QList<qint64>{9};
        QTest::newRow("kana with a half-width voicing mark") << "ガイド" << QList<qint64>{10};
        QTest::newRow("Hangul from its letters") << "한국" << QList<qint64>{11};
    }
    void pastedTextIsFound() {
        QFETCH(QString, query);
        QFETCH(QList<qint64>, found);
        const QString path = m_dir.filePath("pasted.db");
        const bool fresh = !QFile::exists(path);
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        if (fresh)
            fill(store, {{"20100101", "黛玉笑道：“宝玉来了。”"},
                         {"20100102", "宝钗道：“你来了。”宝玉不答。"},
                         {"20100103", "袭人道：「宝玉」睡了"},
                         {"20100104", "『宝玉』二字"},
                         {"20100105", "他说“宝玉”就走了"},
                         {"20100106", "café au lait"},
                         {"20100107", "un cafe\u0301 noir"},
                         {"20100108", "ＣＡＦＥ\u0301 CRÈME"},
                         {"20100109", "cafe society"},
                         {"20100110", "ｶﾞｲﾄﾞ"},
                         {"20100111", "\u1112\u1161\u11ab\u1100\u116e\u11a8어"}});
        QTRY_VERIFY(indexReady(store));
        const JournalIndex::Answer indexed = JournalIndex::search(store.nativeHandle(), query, 500);
        QVERIFY(indexed.indexed);
        QCOMPARE(keys(indexed), found);
        QCOMPARE(keys(scanned(path, query)), found);
        const auto folded = [](const QString &s) {
            return s.normalized(QString::NormalizationForm_KC).toCaseFolded();
        };
        for (const auto &[key, dates, snippet] : indexed.hits)
            QCOMPARE(folded(snippet.text.mid(snippet.hitStart, snippet.hitLength)),
                     folded(QString(query).remove('"')));
    }

    // Each hit shows its day and the words around the first occurrence,
    // marked; the count is exact while the list stops at the limit.
    void hitsAndCount() {
        Store store;
        QCOMPARE(store.open(m_dir.filePath("count.db")), Store::State::Open);
        QList<QPair<QString, QString>> entries;
        for (int i = 0; i < 620; ++i)
            entries.append({QString::number(20000101 + (i % 28)),
                            QString(60, QChar(0x4e00 + i % 7)) + "日记里的同一句话" +
                                QString(60, QChar('x'))});
        fill(store, entries);
        QTRY_VERIFY(indexReady(store));
        // Where nearly every entry matches, the newest come first.
        std::optional<JournalIndex::Answer> early;
        const JournalIndex::Answer a = JournalIndex::search(
            store.nativeHandle(), "同一句", 500, {}, JournalIndex::Way::IndexWhenReady,
            [&](const JournalIndex::Answer &newest) { early = newest; });
        QVERIFY(early && !early->complete && a.complete);
        QCOMPARE(early->hits.size(), JournalIndex::FirstScreen);
        for (size_t i = 0; i < early->hits.size(); ++i)
            QCOMPARE(early->hits[i].key, a.hits[i].key);
        QCOMPARE(a.count, qint64(620));
        QCOMPARE(a.hits.size(), size_t(500));
        QCOMPARE(a.hits.front().dates, QString("20000128"));
        const auto &first = a.hits.front().snippet;
        QCOMPARE(first.text.mid(first.hitStart, first.hitLength), QString("同一句"));
        QVERIFY(first.text.size() >= 40 && first.text.size() <= 44);
        QCOMPARE(JournalIndex::dayCaption("20261208"), QString("2026年12月08日"));
        QCOMPARE(JournalIndex::dayCaption("2026120"), QString("2026120"));
    }

    // A long entry's line shows its first hit, as the whole text folded
    // shows it, however little of the text was read for it: a head that
    // stops inside a word, or before a mark that joins the letter before,
    // is read further.
    void longEntriesShowTheirFirstHit() {
        const QString word = "同一句话", later = "另一句";
        const std::vector<std::u32string> words = SearchText::foldedTerms({later, word});
        for (qsizetype at : {0, 1020, 1366, 8190, 40000}) {
            QString text = filler(60000, 7);
            text.replace(at + 3000, later.size(), later);
            text.replace(at, word.size(), word);
            const SearchText::Snippet whole = SearchText::snippet(text, words);
            QCOMPARE(whole.text.mid(whole.hitStart, whole.hitLength), word);
            for (qsizetype cut : {at + 2, at + 4, at + 30, at + 3001, at + 5000}) {
                const auto head = SearchText::headSnippet(text.left(cut), words);
                if (head)
                    QCOMPARE(std::tie(head->text, head->hitStart),
                             std::tie(whole.text, whole.hitStart));
            }
        }
        const QString marked = filler(3000, 3) + "cafe\u0301 " + filler(30, 4) + "cafe";
        const std::vector<std::u32string> cafe = SearchText::foldedTerms({"cafe"});
        const SearchText::Snippet whole = SearchText::snippet(marked, cafe);
        QVERIFY(whole.hitStart > 0 && whole.text.endsWith("cafe"));
        const auto head = SearchText::headSnippet(marked.left(3004), cafe);
        QVERIFY(!head || head->text == whole.text);

        const QString path = m_dir.filePath("longline.db");
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QString text = filler(20000, 9), deep = filler(60000, 10);
        text.replace(1366, word.size(), word);
        deep.replace(50000, word.size(), word);
        fill(store, {{"20200101", text}, {"20200102", deep}});
        QTRY_VERIFY_WITH_TIMEOUT(indexReady(store), 20000);
        const JournalIndex::Answer a = JournalIndex::search(store.nativeHandle(), word, 500);
        QVERIFY(a.indexed && a.hits.size() == 2);
        QCOMPARE(a.hits[1].snippet.text, SearchText::snippet(text, words).text);
        const SearchText::Snippet far = a.hits[0].snippet;
        QCOMPARE(far.text.mid(far.hitStart, far.hitLength), word);
        QCOMPARE(far.text, deep.mid(50000 - 10, 40));
    }

    // A piece is asked whether it holds a word without folding it where it
    // can be, and answers as folding it does, whatever stands around.
    void piecesAnswerAsFoldingDoes() {
        const QStringList texts = {"他笑道：“来了。”",
                                   "他笑道:来了",
                                   "他笑道：",
                                   "笑道：\u0301来",
                                   "CAFE\u0301 noir",
                                   "un cafe\u0301",
                                   "\u2f00面说",
                                   "一面说\r走进来",
                                   "ＡＢＣ abc",
                                   "他笑道",
                                   "说走",
                                   "说走\u0301",
                                   "说走，"};
        const QStringList words = {"笑道：", "笑道", "一面说", "cafe", "café", "abc", "来", "说走"};
        for (const QString &text : texts)
            for (const QString &word : words) {
                const std::u32string folded = SearchText::foldedTerms({word}).front();
                QVERIFY2(SearchText::holds(text.toUtf8(), folded, word) ==
                             SearchText::containsAll(QStringView(text), {folded}),
                         qPrintable(text + " / " + word));
            }
    }

    // Saves, edits and deletes keep the index in step; what it answers is
    // what reading every entry answers.
    void theIndexFollowsEveryWrite() {
        const QString path = m_dir.filePath("follow.db");
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QTRY_VERIFY(indexReady(store));
        fill(store, {{"20020101", "苹果和香蕉"}, {"20020102", "香蕉和橙子"}});
        RecordSet diary(&store, "diary");
        QVERIFY(diary.open());
        QVERIFY(diary.moveFirst());
        QVERIFY(diary.setField("things", "葡萄"));
        QVERIFY(diary.update());
        QVERIFY(diary.moveLast());
        QVERIFY(diary.deleteCurrent());
        QVERIFY(diary.append({{"dates", "20020103"}, {"things", "香蕉又来了"}}));
        for (const char *query : {"苹果", "葡萄", "香蕉", "橙子", "又"}) {
            const JournalIndex::Answer a = JournalIndex::search(store.nativeHandle(), query, 500);
            QVERIFY(a.indexed);
            QCOMPARE(keys(a), keys(scanned(path, query)));
        }
        QCOMPARE(JournalIndex::search(store.nativeHandle(), "香蕉", 500).count, qint64(1));
    }

    // A store from before the index, and one written by another program,
    // are indexed in the background; until then the search reads entries.
    void storesAreIndexedOnce_data() {
        QTest::addColumn<bool>("legacy");
        QTest::newRow("made before the index") << true;
        QTest::newRow("written elsewhere") << false;
    }
    void storesAreIndexedOnce() {
        QFETCH(bool, legacy);
        const QString path = m_dir.filePath(legacy ? "legacy.db" : "elsewhere.db");
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QTRY_VERIFY(indexReady(store));
            SqlQuery q(store.nativeHandle()); // knows the tokenizer
            if (legacy)
                for (const char *sql :
                     {"DROP TABLE journal_search", "DROP TABLE journal_search_state",
                      "DROP TRIGGER journal_search_after_insert",
                      "DROP TRIGGER journal_search_after_update",
                      "DROP TRIGGER journal_search_after_delete", "PRAGMA user_version=1"})
                    QVERIFY2(q.exec(sql), sql);
        }
        {
            SqlFile db(path);
            QVERIFY(db.open());
            SqlQuery q(db);
            for (int i = 0; i < 3000; ++i)
                QVERIFY(
                    q.exec(QString("INSERT INTO diary VALUES ('20020101', '第%1篇 小心')").arg(i)));
            db.close();
        }
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QCOMPARE(JournalIndex::search(store.nativeHandle(), "第2999篇", 500).count, qint64(1));
        QTRY_VERIFY(indexReady(store));
        const JournalIndex::Answer a = JournalIndex::search(store.nativeHandle(), "第2999篇", 500);
        QVERIFY(a.indexed);
        QCOMPARE(a.count, qint64(1));
        QCOMPARE(JournalIndex::search(store.nativeHandle(), "小心", 500).count, qint64(3000));
    }

    // One character over and over, 50 MB of it, is indexed in batches that
    // each write a little: the pieces' index keeps which pieces hold a
    // token, not every place, and no merge of it rewrites a long list. The
    // pages a batch writes stand for how long it holds the store's lock,
    // whatever the machine's pace. A long text another program stored as
    // no UTF-8 is found as reading it finds it.
    void oneRepeatedCharacterIndexesInShortBatches() {
        const QString path = m_dir.filePath("repeated.db");
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            fill(store, {{"20020101", "天"}, {"20020102", "天天向上 地"}});
            QTRY_VERIFY(indexReady(store));
        }
        SqlFile db(path);
        QVERIFY(db.open() && SearchText::registerTokenizer(db));
        SqlQuery q(db);
        q.prepare("INSERT INTO diary VALUES ('20020103', ?)");
        q.addBindValue(QString(50 * (1 << 20) / 3, QChar(0x5929)));
        QVERIFY(q.exec());
        q.prepare("INSERT INTO diary VALUES ('20020104', CAST(? AS TEXT))");
        q.addBindValue(
            QByteArray("\xEF\xBB\xBF" + QString(30000, QChar(0x5730)).toUtf8() + "\xFF 天地"));
        QVERIFY(q.exec());
        int pages = 0, most = 0, highest = 0;
        sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_WRITE, &pages, &highest, 1);
        int batches = 0;
        for (JournalIndex::Step step = JournalIndex::Step::More; step == JournalIndex::Step::More;
             ++batches) {
            step = JournalIndex::buildSome(db, JournalIndex::BatchMs);
            QVERIFY(step != JournalIndex::Step::Failed);
            sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_WRITE, &pages, &highest, 1);
            most = std::max(most, pages);
        }
        QVERIFY(JournalIndex::state(db).complete());
        QVERIFY2(batches > 10 && most < 256, qPrintable(QString::number(most)));
        QVERIFY(q.exec("SELECT count(*) FROM journal_search_whole") && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        for (const char *query :
             {"天天天天天天天天", "天天向上", "天", "地", "\"天 地\"", "地地 天地"})
            QCOMPARE(keys(JournalIndex::search(db, query, 500)), keys(scanned(path, query)));
    }

    // Changing or deleting a long entry leaves the index complete, never to
    // be built again: its pieces are set aside, and the builder takes them
    // out with the text as it was, a few at a time, and indexes a new long
    // text of an entry with later ones apart. Searches meanwhile answer as
    // reading does, also where the text set aside was lost with the
    // program, whose pieces stay out of reach.
    void longEntriesChangeWithoutARebuild() {
        const QString path = m_dir.filePath("aside.db");
        const int chars = (1 << 20) / 3 + 20000; // over 1 MB
        const QString before = "first " + filler(chars, 6) + " old",
                      after = filler(chars, 7) + " new first";
        const QStringList queries = {"first",
                                     "old",
                                     "new",
                                     "first new",
                                     "first old",
                                     '"' + before.mid(chars / 2, 6) + '"',
                                     '"' + after.mid(chars / 2, 6) + '"'};
        const auto agree = [&](sqlite3 *db) {
            const JournalIndex::State s = JournalIndex::state(db);
            QVERIFY(s.complete());
            for (const QString &query : queries) {
                const JournalIndex::Answer a = JournalIndex::search(db, query, 500);
                QVERIFY(a.indexed);
                QCOMPARE(keys(a), keys(scanned(path, query)));
            }
        };
        const auto settled = [&](sqlite3 *db) {
            while (JournalIndex::buildSome(db, 40) == JournalIndex::Step::More) {
            }
            QVERIFY(!JournalIndex::state(db).queued);
            SqlQuery q(db);
            QVERIFY(q.exec("SELECT count(*) FROM journal_search_gone") && q.next());
            QCOMPARE(q.value(0).toInt(), 0);
            QCOMPARE(piecesOf(db, 2), qint64(SearchText::pieces(after.toUtf8()).size()));
        };
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            fill(store, {{"20020101", "first"}, {"20020102", before}, {"20020103", "old"}});
            QTRY_VERIFY_WITH_TIMEOUT(
                indexReady(store) && !JournalIndex::state(store.nativeHandle()).queued, 30000);
            RecordSet diary(&store, "diary");
            QVERIFY(diary.open() && diary.moveToKey(2));
            QVERIFY(diary.setField("things", after));
            QVERIFY(diary.update());
            agree(store.nativeHandle());
        } // closed while the builder may still be at it
        SqlFile db(path);
        QVERIFY(db.open() && SearchText::registerTokenizer(db));
        agree(db);
        settled(db);
        agree(db);
        // A text set aside whose pin is let go before the write is kept.
        QVERIFY(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK);
        {
            JournalIndex::Aside aside(db, 2, JournalIndex::state(db));
            QVERIFY(aside.taken() && aside.ok());
            QVERIFY(sqlite3_exec(db, "UPDATE diary SET dates = '20020104' WHERE rowid = 2", nullptr,
                                 nullptr, nullptr) == SQLITE_OK);
            QVERIFY(JournalIndex::handOver(db, 2, std::nullopt));
        }
        QVERIFY(sqlite3_exec(db, "UPDATE journal_search_state SET stale = 0; COMMIT", nullptr,
                             nullptr, nullptr) == SQLITE_OK);
        agree(db);
        settled(db);
        agree(db);
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        RecordSet diary(&store, "diary");
        QVERIFY(diary.open() && diary.moveToKey(2) && diary.deleteCurrent());
        agree(store.nativeHandle());
        QTRY_VERIFY_WITH_TIMEOUT(!JournalIndex::state(store.nativeHandle()).queued, 30000);
        agree(store.nativeHandle());
        SqlQuery q(store.nativeHandle());
        QVERIFY(q.exec("SELECT (SELECT count(*) FROM journal_search_piece) + "
                       "(SELECT count(*) FROM journal_search_gone)") &&
                q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }

    // The read transaction holding a deleted long text is let go as soon as
    // the builder has read it: kept while its pieces are taken out, it would
    // keep every batch in the store's log (gigabytes for 50 MB).
    void theOldTextIsLetGoOnceRead() {
        const QString path = m_dir.filePath("letgo.db");
        const QString text = "gone " + filler(300000, 8);
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            fill(store, {{"20020101", "kept"}, {"20020102", text}});
            QTRY_VERIFY_WITH_TIMEOUT(
                indexReady(store) && !JournalIndex::state(store.nativeHandle()).queued, 30000);
        }
        SqlFile db(path);
        QVERIFY(db.open() && SearchText::registerTokenizer(db));
        QVERIFY(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK);
        {
            JournalIndex::Aside aside(db, 2, JournalIndex::state(db));
            QVERIFY(aside.taken() && aside.ok());
            QVERIFY(sqlite3_exec(db,
                                 "DELETE FROM diary WHERE rowid = 2; "
                                 "UPDATE journal_search_state SET stale = 0; COMMIT",
                                 nullptr, nullptr, nullptr) == SQLITE_OK);
            aside.keep();
        }
        QCOMPARE(JournalIndex::buildSome(db, 1), JournalIndex::Step::More);
        {
            SqlQuery q(db);
            QVERIFY(q.exec("SELECT count(*) FROM journal_search_gone") && q.next());
            QVERIFY(q.value(0).toInt() > 0);
        }
        {
            SqlQuery log(db);
            QVERIFY(log.exec("PRAGMA wal_checkpoint(TRUNCATE)") && log.next());
            QCOMPARE(log.value(0).toInt(), 0); // no reader held it back
        }
        while (JournalIndex::buildSome(db, 1) == JournalIndex::Step::More) {
        }
        // Taken out, not left where nothing reaches them.
        SqlQuery q(db);
        q.prepare("SELECT (SELECT count(*) FROM journal_search_gone) + (SELECT count(*) FROM "
                  "journal_search_long WHERE journal_search_long MATCH ?)");
        q.addBindValue(SearchText::matchExpression({text.mid(100, 2)}));
        QVERIFY(q.exec() && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        for (const char *query : {"gone", "kept", "\"gone kept\""})
            QCOMPARE(keys(JournalIndex::search(db, query, 500)), keys(scanned(path, query)));
    }

    // An index made when accents were folded apart from their letters is
    // not asked, and is built again from the entries where it may be.
    void anOlderIndexIsBuiltAgain() {
        const QString path = m_dir.filePath("older.db");
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            fill(store, {{"20020101", "un cafe\u0301 noir"}});
            QTRY_VERIFY(indexReady(store));
            SqlQuery q(store.nativeHandle());
            for (const char *sql :
                 {"INSERT INTO journal_search(journal_search, rowid, body) "
                  "VALUES ('delete', 1, 'un cafe\u0301 noir')",
                  "INSERT INTO journal_search(rowid, body) VALUES (1, 'un cafe noir')",
                  "PRAGMA user_version=2"})
                QVERIFY2(q.exec(sql), sql);
        }
        const JournalIndex::Answer read = scanned(path, "café", JournalIndex::Way::IndexWhenReady);
        QVERIFY(!read.indexed);
        QCOMPARE(keys(read), QList<qint64>{1});
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QTRY_VERIFY(indexReady(store));
        const JournalIndex::Answer a = JournalIndex::search(store.nativeHandle(), "café", 500);
        QVERIFY(a.indexed);
        QCOMPARE(keys(a), QList<qint64>{1});
    }

    // Past the count whose days are looked up one by one, the hits are met
    // walking the days' index: the same newest hits, in the same order.
    void manyHitsListAsFewDo() {
        const QString path = m_dir.filePath("many.db");
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            SqlQuery q(store.nativeHandle());
            QVERIFY(q.exec("BEGIN"));
            const int entries = int(JournalIndex::HitsSortedByDay) * 5 / 4;
            for (int i = 0; i < entries; ++i)
                QVERIFY(q.exec(QString("INSERT INTO diary VALUES ('%1', '%2')")
                                   .arg(20000101 + (i * 7919) % 97)
                                   .arg(i % 9 == 0 ? "晴" : "又是雨天")));
            QVERIFY(q.exec("COMMIT"));
        }
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QTRY_VERIFY_WITH_TIMEOUT(indexReady(store), 60000);
        const JournalIndex::Answer many = JournalIndex::search(store.nativeHandle(), "雨天", 500);
        QVERIFY(many.indexed && many.complete && !many.cancelled);
        QVERIFY(size_t(many.count) > JournalIndex::HitsSortedByDay);
        const JournalIndex::Answer read = scanned(path, "雨天");
        QCOMPARE(many.count, read.count);
        QCOMPARE(keys(many), keys(read));
        const JournalIndex::Answer few = JournalIndex::search(store.nativeHandle(), "晴", 500);
        QVERIFY(size_t(few.count) <= JournalIndex::HitsSortedByDay);
        QCOMPARE(keys(few), keys(scanned(path, "晴")));
    }

    // A token in thousands of entries is only counted by the index, and
    // entries holding the rare ones are read to confirm them; the newest
    // hits come first. Every way answers what reading every entry does.
    void largeJournalsAnswerAsReadingDoes() {
        const QString path = m_dir.filePath("large.db");
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            SqlQuery q(store.nativeHandle());
            QVERIFY(q.exec("BEGIN"));
            // The rare texts are the oldest: the first screen is not among the newest.
            for (int i = 0; i < 3700; ++i)
                QVERIFY(q.exec(QString("INSERT INTO diary VALUES ('%1', '%2')")
                                   .arg(i % 6 == 0 ? 19990101 + i % 28 : 20000101 + (i * 7919) % 97)
                                   .arg(i % 6 != 0    ? "又是雨天"
                                        : i % 12 == 0 ? "雨天又晴"
                                                      : "天又下雨，又晴")));
            QVERIFY(q.exec("COMMIT"));
        }
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QTRY_VERIFY_WITH_TIMEOUT(indexReady(store), 60000);
        for (const char *query : {"雨天", "又晴", "雨 天又晴", "天又下", "雪天"}) {
            std::optional<JournalIndex::Answer> early;
            const JournalIndex::Answer a = JournalIndex::search(
                store.nativeHandle(), query, 500, {}, JournalIndex::Way::IndexWhenReady,
                [&](const JournalIndex::Answer &newest) { early = newest; });
            const JournalIndex::Answer read = scanned(path, query);
            QVERIFY(a.indexed && a.complete);
            QCOMPARE(a.count, read.count);
            QCOMPARE(keys(a), keys(read));
            QCOMPARE(early.has_value(), read.count > qint64(JournalIndex::FirstScreen));
            if (early)
                QCOMPARE(keys(*early), keys(a).mid(0, qsizetype(JournalIndex::FirstScreen)));
        }
    }

    // A query holding a line break or a lone NUL is answered alike both
    // ways; a pasted page is cut to what is searched for, and says so.
    void oddAndHugeQueries() {
        const QString path = m_dir.filePath("odd.db");
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        fill(store, {{"20200101", "第一行 第二行"},
                     {"20200102", "第一行\n第二行"},
                     {"20200103", QString(100000, QChar(0x5929))}});
        QTRY_VERIFY(indexReady(store));
        const QString queries[] = {"\"第一行\n第二行\"", QString::fromUtf8("行\0第", 7),
                                   QString(QChar(0)), "\"一行\r\n\"", "第二\u2029"};
        for (const QString &query : queries) {
            const JournalIndex::Answer indexed =
                JournalIndex::search(store.nativeHandle(), query, 500);
            QCOMPARE(keys(indexed), keys(scanned(path, query)));
            QVERIFY(!indexed.cut);
        }
        QCOMPARE(keys(scanned(path, queries[0])), QList<qint64>{1});
        const QString pasted(32767, QChar(0x5929));
        const JournalIndex::Answer cut = JournalIndex::search(store.nativeHandle(), pasted, 500);
        QVERIFY(cut.indexed && cut.cut);
        QCOMPARE(keys(cut), QList<qint64>{3});
        QCOMPARE(keys(scanned(path, pasted)), QList<qint64>{3});
        const QString words = "a b c d e f g h i j";
        QCOMPARE(SearchText::terms(words).size(), SearchText::MaxQueryWords);
    }

    // Entries deleted while an answer is read leave its count and its list
    // of one moment.
    void countAndListAgreeDuringDeletes() {
        const QString path = m_dir.filePath("deletes.db");
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        sqlite3 *db = store.nativeHandle();
        QCOMPARE(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
        for (int i = 0; i < 3000; ++i)
            sqlite3_exec(db, "INSERT INTO diary (dates, things) VALUES ('20200101', '同一句话')",
                         nullptr, nullptr, nullptr);
        QCOMPARE(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        QTRY_VERIFY_WITH_TIMEOUT(indexReady(store), 20000);
        sqlite3 *reader = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &reader, SQLITE_OPEN_READONLY, nullptr);
        SearchText::registerTokenizer(reader);
        int deletes = 0;
        const JournalIndex::Answer a = JournalIndex::search(reader, "同一句", 5000, [&] {
            if (deletes < 3)
                deletes +=
                    sqlite3_exec(db,
                                 "DELETE FROM diary WHERE rowid IN (SELECT max(rowid) FROM diary)",
                                 nullptr, nullptr, nullptr) == SQLITE_OK;
            return false;
        });
        sqlite3_close(reader);
        QVERIFY(deletes > 0 && a.indexed);
        QCOMPARE(qint64(a.hits.size()), a.count);
    }

    // A store that may not be written is searched by reading it, unchanged.
    void aReadOnlyStoreIsSearchedAsItIs() {
        const QString path = m_dir.filePath("foreign.db");
        {
            SqlFile db(path);
            QVERIFY(db.open());
            SqlQuery q(db);
            QVERIFY(q.exec("CREATE TABLE diary (dates TEXT, things TEXT, mood TEXT)"));
            QVERIFY(q.exec("INSERT INTO diary VALUES ('20020101', '下雨天', 'ok')"));
            db.close();
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
        f.close();
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QCOMPARE(store.refusal(), Store::Refusal::Foreign);
            const JournalIndex::Answer a = JournalIndex::search(store.nativeHandle(), "雨", 500);
            QVERIFY(!a.indexed);
            QCOMPARE(a.count, qint64(1));
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1), before);
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"

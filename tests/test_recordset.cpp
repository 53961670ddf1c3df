// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/recordset.h"
#include "core/store.h"

#include "sql.h"
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <limits>

// Cursor semantics of the record set, against a real store file.
class TestRecordSet : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Store m_store;

    // Rows of a table as stored, "name" fields in rowid order.
    QStringList storedNames() {
        SqlQuery q(m_store.nativeHandle());
        q.exec("SELECT name FROM address ORDER BY rowid");
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    void seed(const QStringList &names) {
        SqlQuery q(m_store.nativeHandle());
        q.exec("DELETE FROM address");
        for (const QString &n : names) {
            q.prepare("INSERT INTO address (name) VALUES (?)");
            q.addBindValue(n);
            q.exec();
        }
    }

private Q_SLOTS:
    void init() {
        QVERIFY(m_dir.isValid());
        QCOMPARE(m_store.open(m_dir.filePath("work.db")), Store::State::Open);
        seed({});
    }
    void cleanup() { m_store.close(); }

    // A list filled from the keys keeps what it was filled with while the
    // record set appends and deletes, and the record set sees its own changes.
    void keysHandedOutStayAsTheyWere() {
        seed({"a", "b", "c"});
        RecordSet rs(&m_store, "address");
        QVERIFY(rs.open());
        const auto shown = rs.keys();
        QVERIFY(rs.append({{"name", "d"}}));
        QVERIFY(rs.moveFirst());
        QVERIFY(rs.deleteCurrent());
        QCOMPARE(*shown, KeyRuns(std::vector<qint64>{1, 2, 3}));
        QCOMPARE(*rs.keys(), KeyRuns(std::vector<qint64>{2, 3, 4}));
        QCOMPARE(storedNames(), QStringList({"b", "c", "d"}));
    }

    // Keys kept as runs answer as a plain list of them would, through
    // appends and deletes anywhere in a run, at the ends of the key range too.
    void keyRunsActAsAList() {
        QRandomGenerator rng(7);
        for (const qint64 base :
             {qint64(1), qint64(-50), std::numeric_limits<qint64>::max() - 1000}) {
            std::vector<qint64> model;
            for (qint64 k = base; model.size() < 300; k += rng.bounded(4) == 0 ? 3 : 1)
                model.push_back(k);
            // Built from keys as an index gives them: in order, shuffled,
            // or in order up to a point.
            std::vector<qint64> shuffled = model, late = model;
            std::shuffle(shuffled.begin(), shuffled.end(), rng);
            std::reverse(late.begin() + 200, late.end());
            for (const auto *order : {&model, &shuffled, &late}) {
                KeyRuns::Builder built;
                for (const qint64 key : *order)
                    built.add(key);
                QCOMPARE(built.finish(), KeyRuns(model));
            }
            KeyRuns runs(model);
            for (int step = 0; step < 400; ++step) {
                if (!model.empty() && rng.bounded(3) != 0) {
                    const size_t at = rng.bounded(quint32(model.size()));
                    model.erase(model.begin() + qsizetype(at));
                    runs.erase(at);
                } else if (model.empty() || model.back() < std::numeric_limits<qint64>::max()) {
                    const qint64 next = model.empty() ? base : model.back() + 1;
                    model.push_back(next);
                    runs.push_back(next);
                }
                QCOMPARE(runs.size(), model.size());
                for (size_t i = 0; i < model.size(); ++i)
                    QCOMPARE(runs[i], model[i]);
                for (const qint64 probe : {base - 1, base + qint64(rng.bounded(300)), base + 300}) {
                    const size_t expected =
                        size_t(std::lower_bound(model.begin(), model.end(), probe) - model.begin());
                    QCOMPARE(runs.lowerBound(probe), expected);
                }
            }
        }
    }

    void emptySetSitsOnBothMarkers() {
        RecordSet rs(&m_store, "address");
        QVERIFY(rs.open());
        QVERIFY(rs.bof() && rs.eof());
        QVERIFY(!rs.hasCurrent());
        QVERIFY(rs.moveFirst());
        QVERIFY(rs.bof() && rs.eof());
        QVERIFY(!rs.moveNext());
        QVERIFY(!rs.movePrevious());
        QVERIFY(!rs.update());
        QVERIFY(!rs.deleteCurrent());
        QVERIFY(!rs.setField("name", "x"));
        QVERIFY(!rs.field("name").isValid());
    }

    void walksToEitherMarkerAndBack() {
        seed({"a", "b", "c"});
        RecordSet rs(&m_store, "address");
        QVERIFY(rs.open());
        QCOMPARE(rs.text("name"), QString("a")); // opens on the first row
        QVERIFY(!rs.bof() && !rs.eof());
        QVERIFY(rs.moveNext() && rs.moveNext());
        QCOMPARE(rs.text("name"), QString("c"));
        QCOMPARE(rs.absolutePosition(), 3);
        QVERIFY(rs.moveNext());
        QVERIFY(rs.eof() && !rs.bof());
        QVERIFY(!rs.hasCurrent());
        QVERIFY(!rs.moveNext()); // past the end is an error
        QVERIFY(rs.eof());
        QVERIFY(rs.movePrevious());
        QCOMPARE(rs.text("name"), QString("c"));
        QVERIFY(rs.moveFirst() && rs.movePrevious());
        QVERIFY(rs.bof() && !rs.eof());
        QVERIFY(!rs.movePrevious());
        QVERIFY(rs.moveNext());
        QCOMPARE(rs.text("name"), QString("a"));
        QVERIFY(rs.moveLast());
        QCOMPARE(rs.text("name"), QString("c"));
    }

    void pendingChangesAreWrittenOnUpdateOrWhenLeft() {
        seed({"a", "b"});
        RecordSet rs(&m_store, "address");
        rs.open();
        QVERIFY(rs.setField("name", "A"));
        QCOMPARE(rs.text("name"), QString("A")); // pending value is what reads back
        QCOMPARE(storedNames(), QStringList({"a", "b"}));
        QVERIFY(rs.moveNext()); // leaving writes it
        QCOMPARE(storedNames(), QStringList({"A", "b"}));
        QVERIFY(rs.setField("name", "B"));
        QVERIFY(rs.update());
        QVERIFY(!rs.hasPending());
        QCOMPARE(storedNames(), QStringList({"A", "B"}));
        rs.setField("nickname", "bee");
        QVERIFY(rs.movePrevious()); // leaving backwards writes too
        QVERIFY(rs.moveNext());
        QCOMPARE(rs.text("nickname"), QString("bee"));
        QVERIFY(!rs.setField("nosuchfield", "x"));
    }

    void appendedRowIsWrittenByUpdateMoveOrNextAppend() {
        seed({"a"});
        RecordSet rs(&m_store, "address");
        rs.open();
        rs.setField("name", "edited");
        QVERIFY(rs.addNew()); // leaving the row for the new one writes it
        QCOMPARE(storedNames(), QStringList({"edited"}));
        QVERIFY(rs.isNewRow() && !rs.bof() && !rs.eof());
        QCOMPARE(rs.text("name"), QString());
        rs.setField("name", "n1");
        QVERIFY(rs.addNew()); // a second append stores the first
        QCOMPARE(storedNames(), QStringList({"edited", "n1"}));
        QVERIFY(rs.addNew()); // an untouched new row is still a row
        QCOMPARE(storedNames(), QStringList({"edited", "n1", ""}));
        rs.setField("name", "n3");
        QVERIFY(rs.moveNext()); // written when left, then past the end
        QVERIFY(rs.eof());
        QCOMPARE(storedNames(), QStringList({"edited", "n1", "", "n3"}));
        QCOMPARE(rs.recordCount(), 4);
        QVERIFY(rs.movePrevious());
        QCOMPARE(rs.text("name"), QString("n3"));

        QVERIFY(rs.addNew());
        rs.setField("name", "n4");
        QVERIFY(rs.update());
        QVERIFY(!rs.isNewRow());
        QCOMPARE(rs.absolutePosition(), 5);
        QCOMPARE(rs.text("name"), QString("n4"));
        QVERIFY(rs.movePrevious());
        QCOMPARE(rs.text("name"), QString("n3"));
    }

    // Rows appended at once land as one by one would: after what was pending
    // on the current row, in order, a null text as NULL, with one signal;
    // a key handed out again still keeps the set in order, and the row
    // refused ends it with the rows before it kept.
    void appendRowsActsAsAppendEach() {
        seed({"a", "b", "c"});
        RecordSet rs(&m_store, "address");
        QVERIFY(rs.open());
        QVERIFY(rs.moveFirst());
        QVERIFY(rs.setField("name", "A"));
        QSignalSpy moved(&rs, &RecordSet::currentChanged);
        const std::vector<QStringList> rows{{"d", "x"}, {"e", QString()}};
        QVERIFY(rs.appendRows({"name", "nickname"}, rows));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(rs.currentKey(), qint64(5));
        QCOMPARE(rs.text("nickname"), QString());
        QCOMPARE(storedNames(), QStringList({"A", "b", "c", "d", "e"}));
        SqlQuery q(m_store.nativeHandle());
        QVERIFY(q.exec("SELECT count(*) FROM address WHERE nickname IS NULL") && q.next());
        QCOMPARE(q.value(0).toInt(), 4);

        QVERIFY(q.exec("DELETE FROM address WHERE name = 'e'"));
        QVERIFY(rs.appendRows({"name"}, std::vector<QStringList>{{"f"}, {"g"}}));
        QCOMPARE(*rs.keys(), KeyRuns(std::vector<qint64>{1, 2, 3, 4, 5, 6}));
        QCOMPARE(rs.text("name"), QString("g"));

        QVERIFY(!rs.appendRows({"name", "nosuch"}, rows));
        QVERIFY(q.exec("CREATE TRIGGER no_h BEFORE INSERT ON address WHEN NEW.name = 'h' "
                       "BEGIN SELECT RAISE(ABORT, 'no h'); END"));
        QVERIFY(!rs.appendRows({"name"}, std::vector<QStringList>{{"i"}, {"h"}, {"j"}}));
        QCOMPARE(rs.text("name"), QString("i"));
        QCOMPARE(storedNames(), QStringList({"A", "b", "c", "d", "f", "g", "i"}));
    }

    // With the last row deleted elsewhere, SQLite hands its key out again:
    // the appended row takes that place once, and the set stays in order.
    void appendReusingAKeyDeletedElsewhere() {
        seed({"a", "b", "c"});
        RecordSet rs(&m_store, "address");
        QVERIFY(rs.open());
        QVERIFY(SqlQuery(m_store.nativeHandle()).exec("DELETE FROM address WHERE name = 'c'"));
        QSignalSpy moved(&rs, &RecordSet::currentChanged);
        QVERIFY(rs.append({{"name", "d"}}));
        QVERIFY(moved.count() > 0);
        QCOMPARE(rs.recordCount(), 3);
        QCOMPARE(rs.currentKey(), qint64(3));
        QCOMPARE(rs.text("name"), QString("d"));
        QCOMPARE(*rs.keys(), KeyRuns(std::vector<qint64>{1, 2, 3}));
        QVERIFY(rs.append({{"name", "e"}}));
        QCOMPARE(rs.absolutePosition(), 4);
        QCOMPARE(storedNames(), QStringList({"a", "b", "d", "e"}));
    }

    void deleteNeedsAMoveAndLandsOnNeighbours() {
        seed({"a", "b", "c"});
        RecordSet rs(&m_store, "address");
        rs.open();
        QVERIFY(rs.moveNext());
        QVERIFY(rs.deleteCurrent());
        QCOMPARE(storedNames(), QStringList({"a", "c"}));
        QVERIFY(!rs.hasCurrent());
        QVERIFY(!rs.deleteCurrent());
        QVERIFY(!rs.update());
        QVERIFY(rs.moveNext()); // the row that followed the deleted one
        QCOMPARE(rs.text("name"), QString("c"));

        QVERIFY(rs.deleteCurrent()); // the last row: next is the end, previous the new last
        QVERIFY(rs.moveNext());
        QVERIFY(rs.eof());
        QVERIFY(rs.movePrevious());
        QCOMPARE(rs.text("name"), QString("a"));

        QVERIFY(rs.deleteCurrent()); // the only row
        QVERIFY(rs.bof() && rs.eof());
        QCOMPARE(rs.recordCount(), 0);
        QVERIFY(storedNames().isEmpty());
    }

    // A row too long to free on this thread is changed or deleted beside
    // it: its events go on meanwhile, and the set stands where the write
    // leaves it, as it would after any row's.
    void longRowsAreWrittenAside() {
        const QString longText(int(RecordSet::AsideBytes), QChar('x'));
        seed({"a", "b", "c"});
        SqlQuery q(m_store.nativeHandle());
        q.prepare("UPDATE address SET introduce = ? WHERE name = 'b'");
        q.addBindValue(longText);
        QVERIFY(q.exec());
        RecordSet rs(&m_store, "address");
        QVERIFY(rs.open());
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(0);
        QVERIFY(rs.moveFirst());
        QVERIFY(rs.setField("introduce", longText));
        QVERIFY(rs.update());
        QVERIFY(ticks > 0);
        QCOMPARE(rs.text("introduce"), longText);
        QVERIFY(rs.moveNext());
        ticks = 0;
        QVERIFY(rs.deleteCurrent());
        QVERIFY(ticks > 0);
        QVERIFY(!rs.hasCurrent());
        QVERIFY(rs.moveNext());
        QCOMPARE(rs.text("name"), QString("c"));
        QCOMPARE(storedNames(), QStringList({"a", "c"}));
        QVERIFY(q.exec("DELETE FROM address WHERE name = 'a'"));
        QVERIFY(rs.moveFirst());
        QVERIFY(rs.setField("introduce", longText));
        QCOMPARE(rs.update().code(), Result::Code::NoRow);
        QCOMPARE(storedNames(), QStringList({"c"}));
        QVERIFY(q.exec("VACUUM")); // later cases count the file's pages
    }

    void deletingAnUnwrittenRowDropsIt() {
        seed({"a"});
        RecordSet rs(&m_store, "address");
        rs.open();
        rs.addNew();
        rs.setField("name", "never");
        QVERIFY(rs.deleteCurrent());
        QVERIFY(rs.movePrevious());
        QCOMPARE(rs.text("name"), QString("a"));
        QCOMPARE(storedNames(), QStringList({"a"}));
    }

    void pendingChangeDiscardedOnDeleteAndNotLeaked() {
        seed({"a", "b"});
        RecordSet rs(&m_store, "address");
        rs.open();
        rs.setField("name", "typed");
        QVERIFY(rs.deleteCurrent());
        QVERIFY(rs.moveNext());
        QCOMPARE(rs.text("name"), QString("b"));
        QCOMPARE(storedNames(), QStringList({"b"}));
    }

    void independentSetsAndSignals() {
        seed({"a", "b"});
        RecordSet one(&m_store, "address"), two(&m_store, "address");
        one.open();
        two.open();
        QSignalSpy spy(&one, &RecordSet::currentChanged);
        one.moveNext();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(one.text("name"), QString("b"));
        QCOMPARE(two.text("name"), QString("a"));
        one.addNew();
        one.deleteCurrent();
        QCOMPARE(spy.count(), 3);
    }

    void findFirstFollowsStoredOrder() {
        seed({"x", "dup", "y", "dup"});
        RecordSet rs(&m_store, "address");
        rs.open();
        const qint64 key = rs.findFirst("name", "dup");
        QVERIFY(key > 0);
        QVERIFY(rs.moveToKey(key));
        QCOMPARE(rs.absolutePosition(), 2);
        QCOMPARE(rs.findFirst("name", "nobody"), -1);
        QVERIFY(!rs.moveToKey(99999));
        QCOMPARE(rs.absolutePosition(), 2);
    }

    // A full disk: the save fails as a whole and says so; nothing lands half
    // written and the set goes on working once there is room again.
    void fullDiskRefusesWholeSaves() {
        seed({"a"});
        RecordSet rs(&m_store, "address");
        rs.open();
        SqlQuery q(m_store.nativeHandle());
        QVERIFY(q.exec("PRAGMA page_count") && q.next());
        const int pages = q.value(0).toInt();
        QVERIFY(q.exec(QStringLiteral("PRAGMA max_page_count=%1").arg(pages)));
        QVERIFY(rs.addNew());
        rs.setField("name", "big");
        rs.setField("introduce", QString(200000, QChar(0x4e2d)));
        QVERIFY(!rs.update());
        rs.cancelUpdate();
        QCOMPARE(storedNames(), QStringList({"a"}));
        QVERIFY(rs.moveFirst());
        rs.setField("introduce", QString(200000, QChar(0x4e2d)));
        QVERIFY(!rs.update());
        QVERIFY(!rs.moveNext()); // the edit is kept, not silently dropped
        QVERIFY(q.exec("PRAGMA max_page_count=1073741823"));
        QVERIFY(rs.update());
        QVERIFY(q.exec("PRAGMA integrity_check") && q.next());
        QCOMPARE(q.value(0).toString(), QString("ok"));
    }

    // Keys read ahead on another connection are the keys a set reads itself,
    // and are thrown away once this connection has written meanwhile.
    void prefetchedKeysMatchOrAreDropped() {
        seed({"a", "b", "c", "d"});
        SqlQuery q(m_store.nativeHandle());
        QVERIFY(q.exec("DELETE FROM address WHERE name = 'b'"));
        RecordSet plain(&m_store, "address");
        QVERIFY(plain.open());
        m_store.prefetchKeys("address");
        RecordSet early(&m_store, "address");
        QVERIFY(early.open());
        QCOMPARE(*early.keys(), *plain.keys());
        QCOMPARE(early.text("name"), QString("a"));

        QVERIFY(!m_store.takePrefetchedKeys("address")); // taken once only
        m_store.prefetchKeys("address");
        QVERIFY(q.exec("INSERT INTO address (name) VALUES ('e')"));
        QVERIFY(!m_store.takePrefetchedKeys("address"));
    }

    void nullAndOddValuesReadAsText() {
        SqlQuery q(m_store.nativeHandle());
        q.exec("INSERT INTO address (name, nickname) VALUES (NULL, 42)");
        RecordSet rs(&m_store, "address");
        rs.open();
        QCOMPARE(rs.text("name"), QString());
        QCOMPARE(rs.text("nickname"), QString("42"));
    }

    // A column named rowid must not make one step reach every row: rows are
    // addressed by an identity no column shadows, and a table where every
    // alias is taken is left alone.
    void aColumnNamedRowidReachesOneRow() {
        {
            SqlQuery q(m_store.nativeHandle());
            QVERIFY(q.exec("DROP TABLE diary"));
            QVERIFY(q.exec("CREATE TABLE diary (rowid INTEGER, dates TEXT, things TEXT)"));
            for (int i = 0; i < 5; ++i)
                QVERIFY(q.exec(QString("INSERT INTO diary VALUES (1, '2002010%1', 'x')").arg(i)));
            QVERIFY(q.exec("DROP TABLE photo"));
            QVERIFY(q.exec("CREATE TABLE photo (rowid INTEGER, oid INTEGER, _rowid_ INTEGER, "
                           "photopath TEXT, introduceph TEXT)"));
            QVERIFY(q.exec("INSERT INTO photo VALUES (1, 1, 1, '/a.jpg', 'a')"));
            QVERIFY(q.exec("INSERT INTO photo VALUES (1, 1, 1, '/b.jpg', 'b')"));
        }
        const QString path = m_store.path();
        m_store.close();
        QCOMPARE(m_store.open(path), Store::State::Open);
        auto count = [&](const char *sql) {
            SqlQuery q(m_store.nativeHandle());
            return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
        };
        RecordSet diary(&m_store, "diary");
        QVERIFY(diary.open());
        QCOMPARE(diary.recordCount(), 5);
        QVERIFY(diary.moveNext());
        QVERIFY(diary.setField("things", "changed"));
        QVERIFY(diary.update());
        QCOMPARE(count("SELECT count(*) FROM diary WHERE things = 'changed'"), 1);
        QVERIFY(diary.deleteCurrent());
        QCOMPARE(count("SELECT count(*) FROM diary"), 4);
        QCOMPARE(diary.findFirst("dates", "20020103"), qint64(4));

        RecordSet photos(&m_store, "photo");
        QCOMPARE(photos.open().code(), Result::Code::Unavailable);
        QVERIFY(!photos.addNew() && !photos.deleteCurrent());
        QCOMPARE(count("SELECT count(*) FROM photo"), 2);
    }
};

QTEST_GUILESS_MAIN(TestRecordSet)
#include "test_recordset.moc"

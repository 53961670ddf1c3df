// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/records.h"
#include "core/recordset.h"
#include "core/store.h"

#include "sql.h"
#include <QTemporaryDir>
#include <QTest>

// Each record type written through a record set and read back from a store
// opened anew, and the reasons a write gives when it cannot be done.
class TestRecords : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    template <typename Record> void roundTrip(const QList<Record> &records) {
        const QString path = m_dir.filePath(QStringLiteral("%1.db").arg(Record::Table));
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QCOMPARE(Store::fields(QString::fromLatin1(Record::Table)), Record::fields());
            RecordSet rs(&store, QString::fromLatin1(Record::Table));
            QVERIFY(rs.open());
            for (const Record &r : records)
                QVERIFY(rs.append(r.toRow()));
        }
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        RecordSet rs(&store, QString::fromLatin1(Record::Table));
        QVERIFY(rs.open());
        QCOMPARE(rs.recordCount(), int(records.size()));
        QVERIFY(rs.moveFirst());
        for (const Record &r : records) {
            QCOMPARE(rs.current<Record>(), r);
            QVERIFY(rs.moveNext());
        }
        QVERIFY(rs.eof());
    }

private Q_SLOTS:
    void everyTableRoundTrips() {
        const QString longText(100000, QChar(0x65e5));
        roundTrip<JournalEntry>({{"20021207", QStringLiteral("今天下雪了。\nSecond line")},
                                 {"20240229", longText},
                                 {"20021207", QString("")}});
        Contact friend1;
        friend1.name = QStringLiteral("张三");
        friend1.nickname = QStringLiteral("小张");
        friend1.oicq = "10000";
        friend1.email = "zhang@example.org";
        friend1.homeaddress = QStringLiteral("北京市");
        friend1.introduce = QStringLiteral("多行\n备注");
        friend1.qqpic = "17.bmp";
        Contact friend2;
        friend2.name = "O'Brien \"quoted\"";
        roundTrip<Contact>({friend1, friend2});
        roundTrip<Photo>(
            {{"/home/u/照片/a b.jpg", QStringLiteral("我们")}, {"/x.bmp", QString("")}});
        // One field list: the fields of the types are those the store makes.
        QCOMPARE(Contact::fields().size(), 12);
        QCOMPARE(JournalEntry::fields(), QStringList({"dates", "things"}));
        QCOMPARE(Photo::fields(), QStringList({"photopath", "introduceph"}));
    }

    void failuresCarryTheirReason() {
        Store store;
        QCOMPARE(store.open(m_dir.filePath("reasons.db")), Store::State::Open);
        RecordSet rs(&store, "diary");
        QVERIFY(rs.open());
        const Result noRow = rs.update();
        QCOMPARE(noRow.code(), Result::Code::NoRow);
        QVERIFY(!noRow.message().isEmpty());
        QVERIFY(rs.addNew());
        const Result noField = rs.setField("nosuchfield", "x");
        QCOMPARE(noField.code(), Result::Code::NoField);
        QVERIFY(noField.message().contains("nosuchfield"));
        rs.cancelUpdate();
        // A row appended elsewhere and deleted under the cursor is gone.
        QVERIFY(rs.append(JournalEntry{"20020101", "a"}.toRow()));
        SqlQuery(store.nativeHandle()).exec("DELETE FROM diary");
        QVERIFY(rs.setField("things", "b"));
        QCOMPARE(rs.update().code(), Result::Code::NoRow);

        Store closed;
        RecordSet none(&closed, "diary");
        QCOMPARE(none.open().code(), Result::Code::Unavailable);
        QCOMPARE(none.moveFirst().code(), Result::Code::Unavailable);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"

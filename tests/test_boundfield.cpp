// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/boundfield.h"
#include "core/recordset.h"
#include "core/store.h"

#include "sql.h"
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

// A text box bound to a field follows the cursor and turns edits into
// pending changes.
class TestBoundField : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Store m_store;

    QString stored(const QString &field, int row) {
        SqlQuery q(m_store.nativeHandle());
        q.exec(QStringLiteral("SELECT %1 FROM photo ORDER BY rowid LIMIT 1 OFFSET %2")
                   .arg(field)
                   .arg(row));
        return q.next() ? q.value(0).toString() : QStringLiteral("<none>");
    }

private Q_SLOTS:
    void init() {
        QCOMPARE(m_store.open(m_dir.filePath("work.db")), Store::State::Open);
        SqlQuery q(m_store.nativeHandle());
        q.exec("DELETE FROM photo");
        q.exec("INSERT INTO photo VALUES ('/p/1.jpg', 'one')");
        q.exec("INSERT INTO photo VALUES ('/p/2.jpg', NULL)");
    }
    void cleanup() { m_store.close(); }

    void showsCurrentRowAndFollowsMoves() {
        RecordSet rs(&m_store, "photo");
        rs.open();
        QLineEdit path, text;
        BoundField bp(&rs, "photopath", &path), bt(&rs, "introduceph", &text);
        QCOMPARE(path.text(), QString("/p/1.jpg"));
        QCOMPARE(text.text(), QString("one"));
        rs.moveNext();
        QCOMPARE(path.text(), QString("/p/2.jpg"));
        QCOMPARE(text.text(), QString());
        QVERIFY(!rs.hasPending()); // showing a row is not an edit
        rs.moveNext();
        QVERIFY(rs.eof());
        QCOMPARE(path.text(), QString()); // no current row: empty boxes
        rs.addNew();
        QCOMPARE(path.text(), QString());
    }

    void typingAndCodeBecomePendingAndAreWrittenWhenLeft() {
        RecordSet rs(&m_store, "photo");
        rs.open();
        QLineEdit text;
        BoundField bt(&rs, "introduceph", &text);
        text.setFocus();
        QTest::keyClicks(&text, "!");
        QVERIFY(rs.hasPending());
        QCOMPARE(stored("introduceph", 0), QString("one"));
        rs.moveNext();
        QCOMPARE(stored("introduceph", 0), QString("one!"));
        text.setText("set by code");
        rs.movePrevious();
        QCOMPARE(stored("introduceph", 1), QString("set by code"));
        QCOMPARE(text.text(), QString("one!"));
    }

    void newRowTypedIntoIsStored() {
        RecordSet rs(&m_store, "photo");
        rs.open();
        QLineEdit path;
        BoundField bp(&rs, "photopath", &path);
        rs.addNew();
        path.setText("/p/3.jpg");
        rs.update();
        QCOMPARE(stored("photopath", 2), QString("/p/3.jpg"));
        QCOMPARE(path.text(), QString("/p/3.jpg"));
    }

    // A box filled when shown stays as it is till then; a box on screen
    // already is filled at once; text written into a held box is typing.
    void heldUntilShownOrReleased() {
        RecordSet rs(&m_store, "photo");
        rs.open();
        QLineEdit text, path;
        BoundField bt(&rs, "introduceph", &text, BoundField::Fill::WhenShown);
        QVERIFY(bt.isHeld() && text.text().isEmpty());
        rs.moveNext();
        QVERIFY(bt.isHeld() && text.text().isEmpty());
        text.show();
        QVERIFY(!bt.isHeld());
        QCOMPARE(text.text(), QString());
        rs.movePrevious();
        QCOMPARE(text.text(), QString("one"));
        QVERIFY(!rs.hasPending());

        path.show();
        BoundField bp(&rs, "photopath", &path, BoundField::Fill::WhenShown);
        QCOMPARE(path.text(), QString("/p/1.jpg"));
        path.hide();
        QLineEdit never;
        BoundField bn(&rs, "photopath", &never, BoundField::Fill::WhenShown);
        bn.release();
        QCOMPARE(never.text(), QString("/p/1.jpg"));
        QCOMPARE(stored("introduceph", 0), QString("one"));
        SqlQuery q(m_store.nativeHandle());
        q.exec("SELECT count(*) FROM photo WHERE introduceph IS NULL");
        QVERIFY(q.next() && q.value(0).toInt() == 1); // the empty box wrote no empty text

        // As a program driving the form writes into it before it is shown.
        QLineEdit driven;
        BoundField bd(&rs, "photopath", &driven, BoundField::Fill::WhenShown);
        driven.setText("/p/driven.jpg");
        QVERIFY(!bd.isHeld() && rs.hasPending("photopath"));
        driven.show();
        QCOMPARE(driven.text(), QString("/p/driven.jpg"));
    }
};

QTEST_MAIN(TestBoundField)
#include "test_boundfield.moc"

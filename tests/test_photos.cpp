#include "diaryfixture.h"
#include "fakeinteraction.h"
#include "photos/photopanel.h"
#include "photos/picturefit.h"
#include "shell/panelframe.h"
#include "shell/diary.h"
#include "shell/picturebutton.h"
#include "store/recordset.h"
#include "store/store.h"

#include <QDataStream>
#include <QLabel>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestPhotos : public DiaryFixture {
    Q_OBJECT

    PhotoPanel *p = nullptr;

    QString picture(const QString &name, QSize size, QColor colour) {
        QImage img(size, QImage::Format_RGB32);
        img.fill(colour);
        const QString path = m_dir.filePath(name);
        img.save(path);
        return path;
    }
    void insert(const QVariant &path, const QVariant &description) {
        QSqlQuery q(m_store->database());
        q.prepare("INSERT INTO photo VALUES (?, ?)");
        q.addBindValue(path);
        q.addBindValue(description);
        QVERIFY(q.exec());
    }
    QStringList rows() {
        QSqlQuery q(m_store->database());
        q.exec("SELECT ifnull(photopath, '<null>') || '|' || ifnull(introduceph, '<null>') "
               "FROM photo ORDER BY rowid");
        QStringList out;
        while (q.next())
            out << q.value(0).toString().replace(m_dir.path() + "/", "");
        return out;
    }
    void openWindow() {
        m_diary = std::make_unique<Diary>(m_store.get());
        p = m_diary->photos;
        m_diary->show();
        m_diary->Command2->click();
    }

private Q_SLOTS:
    void init() { openStore(); }
    void cleanup() { closeAll(); }

    void fittingArithmetic() {
        auto fit = [](float w1, float h1, float w2, float h2) { return *fitPicture(w1, h1, w2, h2); };
        QCOMPARE(fit(400, 300, 800, 400), QRectF(0, 50, 400, 200));  // shrink
        QCOMPARE(fit(400, 300, 100, 200), QRectF(125, 0, 150, 300)); // grow
        QCOMPARE(fit(400, 300, 400, 300), QRectF(0, 0, 400, 300));   // exact
        const QRectF tall = fit(400, 300, 300, 600); // taller than the box only
        QCOMPARE(tall.height(), 300.0);
        QCOMPARE(tall.width(), 150.0);
        QCOMPARE(tall.left(), 125.0);
        QVERIFY(!fitPicture(400, 300, 0, 200));
        QVERIFY(!fitPicture(400, 300, 100, 0));
    }

    void filtersIgnoreLetterCase() {
        const QList<FileFilter> &f = PhotoPanel::pictureFilters();
        QCOMPARE(f.size(), 2);
        QCOMPARE(f[0].caption, QString("图片文件(*.jpg)"));
        QCOMPARE(f[1].caption, QString("位图文件(*.bmp)"));
        for (const char *name : {"a.jpg", "B.JPG", "c.Jpeg", "d.JPEG"})
            QVERIFY2(f[0].matches(name), name);
        for (const char *name : {"a.bmp", "B.BMP"})
            QVERIFY2(f[1].matches(name), name);
        QVERIFY(!f[0].matches("a.bmp") && !f[1].matches("a.jpg") && !f[0].matches("jpg"));
    }

    void steppingThroughThreeAndOne() {
        const QString a = picture("a.jpg", {64, 48}, Qt::red);
        const QString b = picture("b.bmp", {64, 48}, Qt::green);
        const QString c = picture("c.jpg", {64, 48}, Qt::blue);
        insert(a, "A");
        insert(b, "B");
        insert(c, "C");
        openWindow();
        QCOMPARE(p->previewPath(), a);
        QVERIFY(p->prevphoto->isEnabled() && p->nextphoto->isEnabled());
        p->Image1_Click();
        QVERIFY(p->Image2->isVisibleTo(p->Frame3));
        p->prevphoto_Click();
        p->prevphoto_Click();
        QCOMPARE(p->previewPath(), c);
        QVERIFY(p->prevphoto->isEnabled());
        QVERIFY(p->Image2->isVisibleTo(p->Frame3)); // inside the table it stays
        p->prevphoto_Click(); // at the end
        QCOMPARE(p->previewPath(), c);
        QCOMPARE(p->introducephoto->text(), QString("C"));
        QVERIFY(!p->prevphoto->isEnabled());
        QVERIFY(!p->Image2->isVisibleTo(p->Frame3));
        p->nextphoto_Click();
        QVERIFY(p->prevphoto->isEnabled());
        QCOMPARE(p->previewPath(), b);
        p->nextphoto_Click();
        p->nextphoto_Click();
        QCOMPARE(p->previewPath(), a);
        QVERIFY(!p->nextphoto->isEnabled());

        // One photo: each button disables itself at once.
        m_diary.reset();
        QSqlQuery(m_store->database()).exec("DELETE FROM photo WHERE rowid > 1");
        openWindow();
        p->prevphoto_Click();
        QVERIFY(!p->prevphoto->isEnabled() && p->nextphoto->isEnabled());
        p->nextphoto_Click();
        QVERIFY(p->prevphoto->isEnabled() && !p->nextphoto->isEnabled());
        QCOMPARE(p->previewPath(), a);
    }

    void chooseAndAdd() {
        FakeInteraction fake;
        const QString old = picture("old.jpg", {40, 30}, Qt::gray);
        insert(old, "on screen");
        openWindow();
        p->addphoto_Click(); // before any choice: an empty path
        QCOMPARE(rows().last(), QString("|on screen"));

        const QString bmp = picture("new.BMP", {80, 60}, Qt::yellow);
        fake.fileAnswer = bmp;
        m_diary->Command2->click();
        p->openphoto_Click();
        QCOMPARE(fake.filtersOffered.size(), 2);
        QCOMPARE(p->previewPath(), bmp);
        QCOMPARE(p->introducephoto->text(), QString());
        p->introducephoto->setText("typed after choosing");
        p->addphoto_Click();
        p->addphoto_Click(); // twice: two rows, one path
        QCOMPARE(rows(), QStringList({"old.jpg|on screen", "|on screen", "new.BMP|typed after choosing",
                                      "new.BMP|typed after choosing"}));
        QCOMPARE(p->pathtext->text(), bmp); // the new row is current

        // Choosing and then stepping away does not touch the row on screen.
        m_diary->Command2->click();
        p->openphoto_Click();
        p->introducephoto->setText("for the picture, not the row");
        p->prevphoto_Click();
        QCOMPARE(rows().first(), QString("old.jpg|on screen"));

        fake.fileAnswer.clear(); // Cancel changes nothing
        const QString before = p->previewPath();
        p->openphoto_Click();
        QCOMPARE(p->previewPath(), before);
        QCOMPARE(p->photofile, bmp);
    }

    void deleteShowsANeighbour() {
        const QString a = picture("a.jpg", {64, 48}, Qt::red);
        const QString b = picture("b.jpg", {64, 48}, Qt::green);
        insert(a, "A");
        insert(b, "B");
        openWindow();
        p->prevphoto_Click();
        p->Image1_Click();
        p->delphoto_Click(); // the last: the one before it
        QCOMPARE(p->previewPath(), a);
        QCOMPARE(p->introducephoto->text(), QString("A"));
        QVERIFY(!p->Image2->isVisibleTo(p->Frame3));
        p->delphoto_Click(); // the only one
        QVERIFY(rows().isEmpty());
        QCOMPARE(p->introducephoto->text(), QString());
        QVERIFY(p->previewPath().isEmpty());
        QVERIFY(p->Image1->pixmap().isNull());
    }

    void unreadablePicturesLeaveTheViews() {
        const QString good = picture("good.jpg", {64, 48}, Qt::red);
        QFile garbage(m_dir.filePath("garbage.jpg"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'z'));
        garbage.close();
        // A bitmap header that claims 30,000 x 30,000 pixels.
        QByteArray bomb;
        QDataStream s(&bomb, QIODevice::WriteOnly);
        s.setByteOrder(QDataStream::LittleEndian);
        s.writeRawData("BM", 2);
        s << quint32(54 + 16) << quint32(0) << quint32(54) << quint32(40) << qint32(30000)
          << qint32(30000) << quint16(1) << quint16(24) << quint32(0) << quint32(16) << qint32(2835)
          << qint32(2835) << quint32(0) << quint32(0);
        bomb.append(16, '\0');
        QFile bombFile(m_dir.filePath("bomb.bmp"));
        QVERIFY(bombFile.open(QIODevice::WriteOnly));
        bombFile.write(bomb);
        bombFile.close();
        insert(good, "");
        insert(m_dir.filePath("moved-away.jpg"), "gone");
        insert(garbage.fileName(), "junk");
        insert(m_dir.path(), "a folder");
        insert(bombFile.fileName(), "bomb");
        openWindow();
        p->Image1_Click();
        QCOMPARE(p->largeViewPath(), good);
        for (int i = 0; i < 4; ++i) {
            p->prevphoto_Click();
            QCOMPARE(p->previewPath(), good); // the previous picture stays
            p->Image1_Click();                // the large view empties and stops
            QVERIFY(p->largeViewPath().isEmpty());
        }
    }

    void largeViewFitsAndDescribes() {
        FakeInteraction fake;
        const QString wide = picture("wide.jpg", {960, 480}, Qt::cyan);
        insert(wide, "");
        insert(picture("small.bmp", {100, 200}, Qt::magenta), "两个人");
        insert(wide, QVariant()); // a description never stored
        openWindow();
        QCOMPARE(p->Picture1->size(), QSize(480, 360));
        p->Image1_Click();
        QCOMPARE(p->Image2->geometry(), QRect(0, 60, 480, 240));
        p->Image2_Click();
        QCOMPARE(p->Image2->toolTip(), QString("这是谁呀？还不快介绍一下！"));

        p->prevphoto_Click();
        QVERIFY(p->Image2->toolTip().isEmpty()); // a step clears it
        p->Image1_Click();
        QCOMPARE(p->Image2->geometry(), QRect(150, 0, 180, 360));
        fake.fileAnswer = wide;
        p->openphoto_Click(); // empties the description box ...
        QCOMPARE(p->introducephoto->text(), QString());
        p->Image2_Click(); // ... and the large view puts the record's back
        QCOMPARE(p->introducephoto->text(), QString("两个人"));
        QCOMPARE(p->Image2->toolTip(), QString("两个人"));

        p->prevphoto_Click();
        p->Image2->setToolTip("kept");
        p->Image2_Click();
        QCOMPARE(p->Image2->toolTip(), QString("kept"));
    }
};

QTEST_MAIN(TestPhotos)
#include "test_photos.moc"

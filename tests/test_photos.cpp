// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "core/picturefit.h"
#include "core/recordset.h"
#include "core/store.h"
#include "fakeinteraction.h"
#include "pages.h"
#include "photos/photopanel.h"
#include "photos/picturefile.h"
#include "photos/picturequeue.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "windowfixture.h"

#include "sql.h"
#include <QDataStream>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class TestPhotos : public WindowFixture {
    Q_OBJECT

    PhotoPage p;

    QString picture(const QString &name, QSize size, QColor colour) {
        QImage img(size, QImage::Format_RGB32);
        img.fill(colour);
        const QString path = m_dir.filePath(name);
        img.save(path);
        return path;
    }
    void insert(const QVariant &path, const QVariant &description) {
        SqlQuery q(m_store->nativeHandle());
        q.prepare("INSERT INTO photo VALUES (?, ?)");
        q.addBindValue(path);
        q.addBindValue(description);
        QVERIFY(q.exec());
    }
    QStringList rows() {
        SqlQuery q(m_store->nativeHandle());
        q.exec("SELECT ifnull(photopath, '<null>') || '|' || ifnull(introduceph, '<null>') "
               "FROM photo ORDER BY rowid");
        QStringList out;
        while (q.next())
            out << q.value(0).toString().replace(m_dir.path() + "/", "");
        return out;
    }
    // What the views show once the pictures asked for are decoded.
    QString shownPreview() {
        QTest::qWaitFor([&] { return !p->isDecoding(); }, 10000);
        return p->previewPath();
    }
    QString shownLargeView() {
        QTest::qWaitFor([&] { return !p->isDecoding(); }, 10000);
        return p->largeViewPath();
    }
    void openWindow() {
        m_diary = std::make_unique<MainWindow>(m_store.get());
        p = PhotoPage(m_diary.get());
        m_diary->show();
        press(m_diary.get(), "Command2");
    }

private Q_SLOTS:
    void init() { openStore(); }
    void cleanup() { closeAll(); }

    void fittingArithmetic() {
        auto fit = [](float w1, float h1, float w2, float h2) {
            return *fitPicture(w1, h1, w2, h2);
        };
        QCOMPARE(fit(400, 300, 800, 400), QRectF(0, 50, 400, 200));  // shrink
        QCOMPARE(fit(400, 300, 100, 200), QRectF(125, 0, 150, 300)); // grow
        QCOMPARE(fit(400, 300, 400, 300), QRectF(0, 0, 400, 300));   // exact
        const QRectF tall = fit(400, 300, 300, 600);                 // taller than the box only
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
        QCOMPARE(shownPreview(), a);
        QVERIFY(p.nextPhotoButton()->isEnabled() && p.previousPhotoButton()->isEnabled());
        p->openLargeView();
        QVERIFY(p.largeView()->isVisibleTo(p.frame()));
        p->showNextPhoto();
        p->showNextPhoto();
        QCOMPARE(shownPreview(), c);
        QVERIFY(p.nextPhotoButton()->isEnabled());
        QVERIFY(p.largeView()->isVisibleTo(p.frame())); // inside the table it stays
        p->showNextPhoto();                             // at the end
        QCOMPARE(shownPreview(), c);
        QCOMPARE(p.descriptionBox()->text(), QString("C"));
        QVERIFY(!p.nextPhotoButton()->isEnabled());
        QVERIFY(!p.largeView()->isVisibleTo(p.frame()));
        p->showPreviousPhoto();
        QVERIFY(p.nextPhotoButton()->isEnabled());
        QCOMPARE(shownPreview(), b);
        p->showPreviousPhoto();
        p->showPreviousPhoto();
        QCOMPARE(shownPreview(), a);
        QVERIFY(!p.previousPhotoButton()->isEnabled());

        // One photo: each button disables itself at once.
        m_diary.reset();
        SqlQuery(m_store->nativeHandle()).exec("DELETE FROM photo WHERE rowid > 1");
        openWindow();
        p->showNextPhoto();
        QVERIFY(!p.nextPhotoButton()->isEnabled() && p.previousPhotoButton()->isEnabled());
        p->showPreviousPhoto();
        QVERIFY(p.nextPhotoButton()->isEnabled() && !p.previousPhotoButton()->isEnabled());
        QCOMPARE(shownPreview(), a);
    }

    // Started on the journal, the description waits for the page; the path
    // box, which the preview follows, does not, and waiting writes nothing.
    void hiddenPageFillsTheDescriptionWhenShown() {
        insert(picture("a.jpg", {64, 48}, Qt::red), "甲");
        insert(picture("b.jpg", {64, 48}, Qt::green), QVariant());
        m_diary = std::make_unique<MainWindow>(m_store.get());
        p = PhotoPage(m_diary.get());
        m_diary->show();
        QVERIFY(p.descriptionBox()->text().isEmpty());
        QVERIFY(p.pathBox()->text().endsWith("a.jpg"));
        m_diary->photoRecords->moveNext();
        QVERIFY(!m_diary->photoRecords->hasPending());
        press(m_diary.get(), "Command2");
        QCOMPARE(p.descriptionBox()->text(), QString("甲"));
        p->showNextPhoto();
        QCOMPARE(p.descriptionBox()->text(), QString());
        QVERIFY(!m_diary->photoRecords->hasPending());
        QCOMPARE(rows(), QStringList({"a.jpg|甲", "b.jpg|<null>"}));
    }

    void chooseAndAdd() {
        FakeInteraction fake;
        const QString old = picture("old.jpg", {40, 30}, Qt::gray);
        insert(old, "on screen");
        openWindow();
        p->addPhoto(); // before any choice: an empty path
        QCOMPARE(rows().last(), QString("|on screen"));

        const QString bmp = picture("new.BMP", {80, 60}, Qt::yellow);
        fake.fileAnswer = bmp;
        press(m_diary.get(), "Command2");
        p->choosePicture();
        QCOMPARE(fake.filtersOffered.size(), 2);
        QCOMPARE(shownPreview(), bmp);
        QCOMPARE(p.descriptionBox()->text(), QString());
        p.descriptionBox()->setText("typed after choosing");
        p->addPhoto();
        p->addPhoto(); // twice: two rows, one path
        QCOMPARE(rows(),
                 QStringList({"old.jpg|on screen", "|on screen", "new.BMP|typed after choosing",
                              "new.BMP|typed after choosing"}));
        QCOMPARE(p.pathBox()->text(), bmp); // the new row is current

        // Choosing and then stepping away does not touch the row on screen.
        press(m_diary.get(), "Command2");
        p->choosePicture();
        p.descriptionBox()->setText("for the picture, not the row");
        p->showNextPhoto();
        QCOMPARE(rows().first(), QString("old.jpg|on screen"));

        fake.fileAnswer.clear(); // Cancel changes nothing
        const QString before = shownPreview();
        p->choosePicture();
        QCOMPARE(shownPreview(), before);
        QCOMPARE(p->chosenFile(), bmp);
    }

    void deleteShowsANeighbour() {
        const QString a = picture("a.jpg", {64, 48}, Qt::red);
        const QString b = picture("b.jpg", {64, 48}, Qt::green);
        insert(a, "A");
        insert(b, "B");
        openWindow();
        p->showNextPhoto();
        p->openLargeView();
        p->deletePhoto(); // the last: the one before it
        QCOMPARE(shownPreview(), a);
        QCOMPARE(p.descriptionBox()->text(), QString("A"));
        QVERIFY(!p.largeView()->isVisibleTo(p.frame()));
        p->deletePhoto(); // the only one
        QVERIFY(rows().isEmpty());
        QCOMPARE(p.descriptionBox()->text(), QString());
        QVERIFY(shownPreview().isEmpty());
        QVERIFY(p.preview()->pixmap().isNull());
    }

    // Palette pictures scale as what they show, not as their colour indexes:
    // fine black-and-white detail becomes grey, never noise.
    void twoColourBitmapsScaleCleanly() {
        QImage mono(600, 300, QImage::Format_Mono);
        mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 600; ++x)
                mono.setPixel(x, y, (x + y) % 2);
        const QString path = m_dir.filePath("two.bmp");
        QVERIFY(mono.save(path, "BMP"));
        const QImage shown = PictureFile::load(path, QSize(200, 150));
        QCOMPARE(shown.size(), QSize(200, 150));
        int extremes = 0;
        for (int y = 2; y < 148; y += 4)
            for (int x = 2; x < 198; x += 4)
                extremes += qGray(shown.pixel(x, y)) < 60 || qGray(shown.pixel(x, y)) > 195;
        QCOMPARE(extremes, 0);
    }

    // A file is decoded once for both views, off the window's thread, and a
    // photo stepped past before its turn is not decoded at all.
    void picturesDecodeOnceAndOnlyWhenWanted() {
        QStringList paths;
        for (int i = 0; i < 6; ++i) {
            // The second is large: the steps after it come while it decodes.
            const QSize size = i == 1 ? QSize(4000, 3000) : QSize(640, 480);
            paths << picture(QStringLiteral("p%1.bmp").arg(i), size,
                             QColor::fromHsv(i * 50, 200, 200));
            insert(paths.last(), "");
        }
        openWindow();
        QCOMPARE(shownPreview(), paths[0]);
        const int afterFirst = p->decoder()->decodesStarted();
        p->openLargeView(); // the preview's decode serves the large view
        QCOMPARE(p->largeViewPath(), paths[0]);
        QCOMPARE(p->decoder()->decodesStarted(), afterFirst);

        for (int i = 1; i < 6; ++i)
            p->showNextPhoto(); // faster than any decode
        QVERIFY(p->isDecoding());
        QCOMPARE(p->previewPath(), paths[0]); // the old picture, greyed, meanwhile
        QCOMPARE(shownPreview(), paths[5]);
        QVERIFY(p->decoder()->decodesStarted() - afterFirst <= 2);
        const int hue = p.preview()->pixmap().toImage().pixelColor(100, 75).hsvHue();
        QVERIFY(qAbs(hue - 250) <= 2); // the last photo's colour, not greyed
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
        p->openLargeView();
        QCOMPARE(shownLargeView(), good);
        for (int i = 0; i < 4; ++i) {
            p->showNextPhoto();
            QCOMPARE(shownPreview(), good); // the previous picture stays
            p->openLargeView();             // the large view empties and stops
            QVERIFY(shownLargeView().isEmpty());
        }
    }

    // A long stored description is shown whole and never written back cut.
    void aLongDescriptionIsNeverCut() {
        const QString longText(40000, QChar(0x5199));
        insert(picture("a.jpg", {64, 48}, Qt::red), longText);
        insert(picture("b.jpg", {64, 48}, Qt::blue), "b");
        openWindow();
        QCOMPARE(p.descriptionBox()->text().size(), longText.size());
        p->showDescription(); // puts the record's text into the box again
        p->showNextPhoto();   // leaving the row writes what is pending
        p->showPreviousPhoto();
        QCOMPARE(rows().first(), "a.jpg|" + longText);
    }

    void largeViewFitsAndDescribes() {
        FakeInteraction fake;
        const QString wide = picture("wide.jpg", {960, 480}, Qt::cyan);
        insert(wide, "");
        insert(picture("small.bmp", {100, 200}, Qt::magenta), "两个人");
        insert(wide, QVariant()); // a description never stored
        openWindow();
        QCOMPARE(p.displayBox()->size(), QSize(480, 360));
        p->openLargeView();
        QCOMPARE(p.largeView()->geometry(), QRect(0, 60, 480, 240));
        p->showDescription();
        QCOMPARE(p.largeView()->toolTip(), QString("这是谁呀？还不快介绍一下！"));

        p->showNextPhoto();
        QVERIFY(p.largeView()->toolTip().isEmpty()); // a step clears it
        p->openLargeView();
        QCOMPARE(p.largeView()->geometry(), QRect(150, 0, 180, 360));
        fake.fileAnswer = wide;
        p->choosePicture(); // empties the description box ...
        QCOMPARE(p.descriptionBox()->text(), QString());
        p->showDescription(); // ... and the large view puts the record's back
        QCOMPARE(p.descriptionBox()->text(), QString("两个人"));
        QCOMPARE(p.largeView()->toolTip(), QString("两个人"));

        p->showNextPhoto();
        p.largeView()->setToolTip("kept");
        p->showDescription();
        QCOMPARE(p.largeView()->toolTip(), QString("kept"));
    }
};

QTEST_MAIN(TestPhotos)
#include "test_photos.moc"

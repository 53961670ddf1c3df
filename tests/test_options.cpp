#include "fakeplayer.h"
#include "modal.h"
#include "journal/journalpanel.h"
#include "options/frmoptions.h"
#include "shell/clickablelabel.h"
#include "shell/diary.h"
#include "shell/panelframe.h"
#include "store/apppaths.h"
#include "store/store.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestOptions : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<Diary> m_diary;
    QByteArray m_savedIni;
    bool m_hadIni = false;

    void setIni(const QByteArray *content) {
        QFile::remove(AppPaths::startIni());
        if (!content)
            return;
        QFile f(AppPaths::startIni());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(*content);
    }
    QByteArray ini() {
        QFile f(AppPaths::startIni());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void start(const QByteArray &content) {
        setIni(&content);
        m_diary = std::make_unique<Diary>(m_store.get());
    }
    FrmOptions *dialog() { return m_diary->options.get(); }
    FakePlayer *player() { return static_cast<FakePlayer *>(m_diary->MMControl1.get()); }
    // Opens the dialog modally and acts on it once it is up.
    void withDialog(const std::function<void(FrmOptions *)> &act) {
        whenShown(this, "frmOptions", [act](QWidget *w) { act(static_cast<FrmOptions *>(w)); });
        m_diary->opitions_Click();
    }

private Q_SLOTS:
    void initTestCase() {
        QFile f(AppPaths::startIni());
        m_hadIni = f.open(QIODevice::ReadOnly);
        m_savedIni = f.readAll();
    }
    void cleanupTestCase() { setIni(m_hadIni ? &m_savedIni : nullptr); }
    void init() {
        m_store = std::make_unique<Store>();
        m_store->open(m_dir.filePath("work.db"));
    }
    void cleanup() {
        m_diary.reset();
        m_store.reset();
    }

    void startUpFileCases_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("music");
        QTest::addColumn<bool>("noMusicBox");
        QTest::newRow("1") << QByteArray("1") << true << false;
        QTest::newRow("1 and a line end") << QByteArray("1\n") << true << false;
        QTest::newRow("10") << QByteArray("10") << true << false;
        QTest::newRow("0") << QByteArray("0") << false << true;
        QTest::newRow("5") << QByteArray("5") << false << false;
        QTest::newRow("empty") << QByteArray() << false << true;
        QTest::newRow("blank first") << QByteArray(" 1") << false << true;
        QTest::newRow("letter") << QByteArray("x") << false << true;
    }
    void startUpFileCases() {
        QFETCH(QByteArray, content);
        QFETCH(bool, music);
        QFETCH(bool, noMusicBox);
        start(content);
        QVERIFY(m_diary->options.exists()); // created hidden at start-up
        FrmOptions *d = dialog();
        QVERIFY(!d->isVisible());
        QCOMPARE(d->Checksmid->isChecked(), noMusicBox);
        QVERIFY(d->Checkmid->isChecked());
        QCOMPARE(player()->playing, music);
        if (music) {
            const int song = d->Combomid->currentText().toInt();
            QVERIFY(song >= 1 && song <= 10);
            QCOMPARE(d->Textrandom->text(), d->Combomid->currentText());
            QCOMPARE(player()->openedFile, AppPaths::song(song));
            QCOMPARE(player()->commands, QStringList({"close", "open", "play"}));
        } else {
            QVERIFY(d->Combomid->currentText().isEmpty());
            QVERIFY(player()->commands.isEmpty());
        }
        QCOMPARE(d->cmdApply->isEnabled(), noMusicBox); // only a changed box enables it
    }

    void missingFileReadsAsNoMusic() {
        setIni(nullptr);
        m_diary = std::make_unique<Diary>(m_store.get());
        QVERIFY(dialog()->Checksmid->isChecked());
        dialog()->cmdApply_Click(); // and Apply creates it
        QCOMPARE(ini(), QByteArray("0"));
    }

    void applyWritesOneByte() {
        start("5");
        FrmOptions *d = dialog();
        d->cmdApply_Click();
        QCOMPARE(ini(), QByteArray("1"));
        d->Checksmid->setChecked(true);
        QVERIFY(d->cmdApply->isEnabled());
        d->cmdApply_Click();
        QCOMPARE(ini(), QByteArray("0"));
        QVERIFY(!d->cmdApply->isEnabled());
    }

    void lifecycleAndTheSongBox() {
        start("1");
        const QString song = dialog()->Combomid->currentText();
        withDialog([&](FrmOptions *d) {
            QCOMPARE(d->windowTitle(), QString("选项"));
            QVERIFY(d->isModal());
            QCOMPARE(d->Combomid->currentText(), song); // the start-up song
            QVERIFY(d->Frame[0]->isVisible() && !d->Frame[1]->isVisible());
            QCOMPARE(d->Combomid->count(), 10);
            QCOMPARE(d->Comboweek->itemText(0), QString("Monday"));
            d->Cmdcancel->click();
        });
        QVERIFY(!m_diary->options.exists()); // closed means gone
        withDialog([&](FrmOptions *d) {
            QVERIFY(d->Combomid->currentText().isEmpty()); // a new dialog forgets it
            QVERIFY(d->Textrandom->text().isEmpty());
            d->tbsOptions->setCurrentIndex(2);
            d->tbsOptions_Click();
            QVERIFY(!d->Frame[0]->isVisible() && d->Frame[2]->isVisible());
        });
        // The loop restarting a finished song recreates the dialog hidden.
        player()->finished = true;
        m_diary->Timer1_Timer();
        QVERIFY(m_diary->options.exists() && !dialog()->isVisible());
        QCOMPARE(player()->openedFile, AppPaths::song(song.toInt())); // the same song again
    }

    void swatchesAndTheDefaultColour() {
        start("0");
        withDialog([&](FrmOptions *d) {
            QVERIFY(d->Checkcolor->isChecked());
            d->swatch_Click(7); // hblue
            QCOMPARE(QString(FrmOptions::swatches()[7].name), QString("hblue"));
            QVERIFY(!d->Checkcolor->isChecked());
            QVERIFY(d->cmdApply->isEnabled());
            d->Cmdcancel_Click(); // Cancel does not undo it
        });
        for (QWidget *s : m_diary->colouredSurfaces())
            QCOMPARE(surfaceColour(s), QColor(0, 0, 255));
        withDialog([&](FrmOptions *d) {
            QVERIFY(!d->Checkcolor->isChecked());
            d->Checkcolor->setChecked(true);
            d->cmdApply_Click();
        });
        for (QWidget *s : m_diary->colouredSurfaces())
            QCOMPARE(surfaceColour(s), QColor(247, 165, 85));
        withDialog([&](FrmOptions *d) { QVERIFY(d->Checkcolor->isChecked()); });
    }

    void musicOnAndOff() {
        start("0");
        FrmOptions *d = dialog();
        d->Checkmid->setChecked(false);
        d->cmdApply_Click();
        QCOMPARE(player()->commands.last(), QString("stop"));
        QVERIFY(!player()->musicOn() && !d->Combomid->isEnabled());
        m_diary->Timer1_Timer(); // a stopped song is not restarted
        QCOMPARE(player()->commands.last(), QString("stop"));

        d->Checkmid->setChecked(true);
        d->Combomid->setEditText("7");
        d->cmdApply_Click();
        QVERIFY(player()->musicOn() && d->Combomid->isEnabled());
        QCOMPARE(player()->openedFile, AppPaths::song(7));
    }

    void songNumbersMatchExactly() {
        start("0");
        FrmOptions *d = dialog();
        d->Combomid->setEditText("7");
        d->cmdApply_Click();
        QCOMPARE(player()->fileName(), AppPaths::appDir() + "/mid/7.mid");
        for (const char *text : {"07", " 7", "11", ""}) {
            d->Combomid->setEditText(text);
            d->cmdApply_Click(); // replays the current song from its start
            QCOMPARE(player()->fileName(), AppPaths::appDir() + "/mid/7.mid");
            QCOMPARE(player()->commands.mid(player()->commands.size() - 3),
                     QStringList({"close", "open", "play"}));
        }
        d->Combomid->setEditText("10");
        d->cmdApply_Click();
        QCOMPARE(player()->fileName(), AppPaths::appDir() + "/mid/10.mid");
    }

    void calendarSettings() {
        start("0");
        withDialog([&](FrmOptions *d) {
            QCOMPARE(d->Comboweek->currentText(), QString("Sunday"));
            QVERIFY(d->Checktoday->isChecked());
            d->Comboweek->setEditText("wednesday");
            d->cmdApply_Click();
            QCOMPARE(m_diary->journal->StartOfWeek(), 1); // unchanged
            d->Comboweek->setEditText("Wednesday");
            d->Checktoday->setChecked(false);
            d->Cmdok_Click(); // applies and closes
        });
        QCOMPARE(m_diary->journal->MonthView1->firstDayOfWeek(), Qt::Wednesday);
        QVERIFY(!m_diary->journal->ShowToday());
        QVERIFY(m_diary->journal->MonthView1->dateTextFormat(QDate::currentDate()).isEmpty());
        m_diary->journal->setStartOfWeek(3);
        withDialog([&](FrmOptions *d) {
            QCOMPARE(d->Comboweek->currentText(), QString("Tuesday"));
            QVERIFY(!d->Checktoday->isChecked());
            QVERIFY(d->cmdApply->isEnabled()); // the load changed a box
        });
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"

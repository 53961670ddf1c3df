// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "asuser.h"
#include "core/apppaths.h"
#include "core/store.h"
#include "fakeplayer.h"
#include "journal/journalpanel.h"
#include "modal.h"
#include "options/optionsdialog.h"
#include "pages.h"
#include "widgets/choicebox.h"
#include "widgets/clickablelabel.h"
#include "widgets/panelframe.h"
#include "windowfixture.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// The dialog's controls, by the names any tool finds them by.
ChoiceBox *songBox(const QWidget *d) {
    return named<ChoiceBox>(d, "Combomid");
}
QLineEdit *startSongBox(const QWidget *d) {
    return named<QLineEdit>(d, "Textrandom");
}
QCheckBox *musicOnBox(const QWidget *d) {
    return named<QCheckBox>(d, "Checkmid");
}
QCheckBox *noMusicAtStartBox(const QWidget *d) {
    return named<QCheckBox>(d, "Checksmid");
}
QCheckBox *defaultColourBox(const QWidget *d) {
    return named<QCheckBox>(d, "Checkcolor");
}
ChoiceBox *firstDayBox(const QWidget *d) {
    return named<ChoiceBox>(d, "Comboweek");
}
QCheckBox *showTodayBox(const QWidget *d) {
    return named<QCheckBox>(d, "Checktoday");
}
QPushButton *applyButton(const QWidget *d) {
    return named<QPushButton>(d, "cmdApply");
}
QTabBar *tabs(const QWidget *d) {
    return named<QTabBar>(d, "tbsOptions");
}
// Music, colour and calendar.
QFrame *page(const QWidget *d, int index) {
    return named<QFrame>(d, QString("Frame%1").arg(index));
}
} // namespace

class TestOptions : public WindowFixture {
    Q_OBJECT

    // The user's copy; none at all also takes the shipped default away.
    void setIni(const QByteArray *content) {
        QFile::remove(AppPaths::userStartIni());
        if (!content) {
            QFile::remove(AppPaths::shippedStartIni());
            return;
        }
        QVERIFY(QDir().mkpath(QFileInfo(AppPaths::userStartIni()).path()));
        QFile f(AppPaths::userStartIni());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(*content);
    }
    static QByteArray read(const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QByteArray ini() { return read(AppPaths::userStartIni()); }
    void start(const QByteArray &content) {
        setIni(&content);
        m_diary = std::make_unique<MainWindow>(m_store.get());
    }
    OptionsDialog *dialog() { return m_diary->optionsDialog.get(); }
    FakePlayer *player() { return static_cast<FakePlayer *>(&m_diary->musicPlayer()); }
    // Opens the dialog modally and acts on it once it is up.
    void withDialog(const std::function<void(OptionsDialog *)> &act) {
        whenShown(this, "frmOptions", [act](QWidget *w) { act(static_cast<OptionsDialog *>(w)); });
        m_diary->openOptions();
    }

private Q_SLOTS:
    void init() {
        openStore();
        // Each test starts from the shipped default ("1") and no user copy.
        QFile::remove(AppPaths::shippedStartIni());
        QFile::copy(AppPaths::appDir() + "/start.ini", AppPaths::shippedStartIni());
        QFile::setPermissions(AppPaths::shippedStartIni(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(AppPaths::userStartIni());
    }
    void cleanup() { closeAll(); }

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
        QVERIFY(m_diary->optionsDialog.exists()); // created hidden at start-up
        OptionsDialog *d = dialog();
        QVERIFY(!d->isVisible());
        QCOMPARE(noMusicAtStartBox(d)->isChecked(), noMusicBox);
        QVERIFY(musicOnBox(d)->isChecked());
        QCOMPARE(player()->playing, music);
        if (music) {
            const int song = songBox(d)->currentText().toInt();
            QVERIFY(song >= 1 && song <= 10);
            QCOMPARE(startSongBox(d)->text(), songBox(d)->currentText());
            QCOMPARE(player()->openedFile, AppPaths::song(song));
            QCOMPARE(player()->commands, QStringList({"close", "open", "play"}));
        } else {
            QVERIFY(songBox(d)->currentText().isEmpty());
            QVERIFY(player()->commands.isEmpty());
        }
        QCOMPARE(applyButton(d)->isEnabled(), noMusicBox); // only a changed box enables it
    }

    void everyControlByName() {
        start("0");
        for (const char *name : {"tbsOptions", "midset", "Combomid", "Textrandom", "Checkmid",
                                 "Checksmid", "Label4", "lred", "hgray", "Checkcolor", "Label2",
                                 "Comboweek", "Checktoday", "Cmdok", "Cmdcancel", "cmdApply"})
            QVERIFY2(dialog()->findChild<QWidget *>(name), name);
    }

    // Typing is no choice: only picking from a list enables Apply, and the
    // first day changes only for a name spelt exactly as listed.
    void typingIntoTheBoxesChoosesNothing() {
        start("0");
        withDialog([&](OptionsDialog *d) {
            firstDayBox(d)->clearEditText();
            QTest::keyClicks(firstDayBox(d), "wednesday");
            QTest::keyClick(firstDayBox(d), Qt::Key_Return);
            QTest::keyClicks(songBox(d), "3");
            QTest::keyClick(songBox(d), Qt::Key_Return);
            QVERIFY(!applyButton(d)->isEnabled());
            QCOMPARE(firstDayBox(d)->currentText(), QString("wednesday"));
            d->acceptAndClose();
        });
        QCOMPARE(JournalPage(m_diary.get()).calendar()->firstDayOfWeek(), Qt::Sunday);
        withDialog([&](OptionsDialog *d) {
            QTest::keyClick(firstDayBox(d), Qt::Key_Down); // a step through the list is a choice
            QVERIFY(applyButton(d)->isEnabled());
            QCOMPARE(firstDayBox(d)->currentText(), QString("Monday"));
        });
    }

    // The user's copy lives in their configuration folder: the shipped one
    // is read only until the user has one, and is never written.
    void settingsLiveInTheUsersHome() {
        RUN_AS_ORDINARY_USER();
        const QString shipped = AppPaths::shippedStartIni();
        const QString programFolder = QFileInfo(shipped).path();
        QVERIFY(QFile::setPermissions(programFolder, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(shipped, QFile::ReadOwner));
        QVERIFY(!QFileInfo::exists(AppPaths::userStartIni()));
        m_diary = std::make_unique<MainWindow>(m_store.get());
        QVERIFY(player()->playing); // the shipped "1"
        QVERIFY(!noMusicAtStartBox(dialog())->isChecked());
        noMusicAtStartBox(dialog())->setChecked(true);
        dialog()->apply();
        QCOMPARE(ini(), QByteArray("0"));
        QCOMPARE(read(shipped), QByteArray("1"));
        QVERIFY(m_diary->settings().noMusicAtNextStart);

        m_diary = std::make_unique<MainWindow>(m_store.get()); // the next start
        QVERIFY(!player()->playing);
        QVERIFY(noMusicAtStartBox(dialog())->isChecked());

        // A user copy that cannot be written is not reported as written.
        const QString configFolder = QFileInfo(AppPaths::userStartIni()).path();
        QVERIFY(QFile::setPermissions(configFolder, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(AppPaths::userStartIni(), QFile::ReadOwner));
        noMusicAtStartBox(dialog())->setChecked(false);
        dialog()->apply();
        QCOMPARE(ini(), QByteArray("0"));
        QVERIFY(m_diary->settings().noMusicAtNextStart);
        QVERIFY(!noMusicAtStartBox(dialog())->isChecked()); // as the user left it
        QFile::setPermissions(configFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(programFolder,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void missingFileReadsAsNoMusic() {
        setIni(nullptr);
        m_diary = std::make_unique<MainWindow>(m_store.get());
        QVERIFY(noMusicAtStartBox(dialog())->isChecked());
        dialog()->apply(); // and Apply creates it
        QCOMPARE(ini(), QByteArray("0"));
    }

    void applyWritesOneByte() {
        start("5");
        OptionsDialog *d = dialog();
        d->apply();
        QCOMPARE(ini(), QByteArray("1"));
        noMusicAtStartBox(d)->setChecked(true);
        QVERIFY(applyButton(d)->isEnabled());
        d->apply();
        QCOMPARE(ini(), QByteArray("0"));
        QVERIFY(!applyButton(d)->isEnabled());
    }

    void lifecycleAndTheSongBox() {
        start("1");
        const QString song = songBox(dialog())->currentText();
        withDialog([&](OptionsDialog *d) {
            QCOMPARE(d->windowTitle(), QString("选项"));
            QVERIFY(d->isModal());
            QCOMPARE(songBox(d)->currentText(), song); // the start-up song
            QVERIFY(page(d, 0)->isVisible() && !page(d, 1)->isVisible());
            QCOMPARE(songBox(d)->count(), 10);
            QCOMPARE(firstDayBox(d)->itemText(0), QString("Monday"));
            press(d, "Cmdcancel");
        });
        QVERIFY(!m_diary->optionsDialog.exists()); // closed means gone
        withDialog([&](OptionsDialog *d) {
            QVERIFY(songBox(d)->currentText().isEmpty()); // a new dialog forgets it
            QVERIFY(startSongBox(d)->text().isEmpty());
            tabs(d)->setCurrentIndex(2);
            d->showChosenPage();
            QVERIFY(!page(d, 0)->isVisible() && page(d, 2)->isVisible());
        });
        // The loop restarts a finished song without a dialog.
        player()->finished = true;
        m_diary->restartFinishedSong();
        QVERIFY(!m_diary->optionsDialog.exists());
        QCOMPARE(player()->openedFile, AppPaths::song(song.toInt())); // the same song again
    }

    void swatchesAndTheDefaultColour() {
        start("0");
        withDialog([&](OptionsDialog *d) {
            QVERIFY(defaultColourBox(d)->isChecked());
            d->chooseSwatch(7); // hblue
            QCOMPARE(QString(OptionsDialog::swatches()[7].name), QString("hblue"));
            QVERIFY(!defaultColourBox(d)->isChecked());
            QVERIFY(applyButton(d)->isEnabled());
            d->cancel(); // Cancel does not undo it
        });
        for (QWidget *s : m_diary->colouredSurfaces())
            QCOMPARE(surfaceColour(s), QColor(0, 0, 255));
        withDialog([&](OptionsDialog *d) {
            QVERIFY(!defaultColourBox(d)->isChecked());
            defaultColourBox(d)->setChecked(true);
            d->apply();
        });
        for (QWidget *s : m_diary->colouredSurfaces())
            QCOMPARE(surfaceColour(s), QColor(247, 165, 85));
        withDialog([&](OptionsDialog *d) { QVERIFY(defaultColourBox(d)->isChecked()); });
    }

    // Captions on the coloured surfaces stay legible on every swatch, and the
    // colour itself is kept as chosen.
    void captionsReadOnEverySwatch() {
        start("0");
        for (const OptionsDialog::Swatch &swatch : OptionsDialog::swatches()) {
            m_diary->setBackgroundColour(swatch.colour);
            QCOMPARE(m_diary->backgroundColour(), swatch.colour);
            int captions = 0;
            for (QWidget *surface : m_diary->colouredSurfaces())
                for (QLabel *label : surface->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
                    if (label->text().isEmpty())
                        continue;
                    ++captions;
                    const QColor text =
                        label->palette().color(QPalette::Active, QPalette::WindowText);
                    QVERIFY2(contrastRatio(text, swatch.colour) >= 4.5,
                             qPrintable(QString("%1 on %2").arg(label->text(), swatch.name)));
                }
            QVERIFY(captions > 20);
        }
    }

    void musicOnAndOff() {
        start("0");
        OptionsDialog *d = dialog();
        musicOnBox(d)->setChecked(false);
        d->apply();
        QCOMPARE(player()->commands.last(), QString("stop"));
        QVERIFY(!m_diary->settings().musicOn && !songBox(d)->isEnabled());
        m_diary->restartFinishedSong(); // a stopped song is not restarted
        QCOMPARE(player()->commands.last(), QString("stop"));

        musicOnBox(d)->setChecked(true);
        songBox(d)->setEditText("7");
        d->apply();
        QVERIFY(m_diary->settings().musicOn && songBox(d)->isEnabled());
        QCOMPARE(player()->openedFile, AppPaths::song(7));

        musicOnBox(d)->setChecked(false);
        d->apply();
        player()->finished = true; // what was queued before the stop played out
        m_diary->restartFinishedSong();
        QCOMPARE(player()->commands.last(), QString("stop")); // off stays off
    }

    void songNumbersMatchExactly() {
        start("0");
        OptionsDialog *d = dialog();
        songBox(d)->setEditText("7");
        d->apply();
        QCOMPARE(player()->fileName(), AppPaths::appDir() + "/mid/7.mid");
        for (const char *text : {"07", " 7", "11", ""}) {
            songBox(d)->setEditText(text);
            d->apply(); // replays the current song from its start
            QCOMPARE(player()->fileName(), AppPaths::appDir() + "/mid/7.mid");
            QCOMPARE(player()->commands.mid(player()->commands.size() - 3),
                     QStringList({"close", "open", "play"}));
        }
        songBox(d)->setEditText("10");
        d->apply();
        QCOMPARE(player()->fileName(), AppPaths::appDir() + "/mid/10.mid");
    }

    void calendarSettings() {
        start("0");
        withDialog([&](OptionsDialog *d) {
            QCOMPARE(firstDayBox(d)->currentText(), QString("Sunday"));
            QVERIFY(showTodayBox(d)->isChecked());
            firstDayBox(d)->setEditText("wednesday");
            d->apply();
            QCOMPARE(m_diary->journal->startOfWeek(), 1); // unchanged
            firstDayBox(d)->setEditText("Wednesday");
            showTodayBox(d)->setChecked(false);
            d->acceptAndClose(); // applies and closes
        });
        QCOMPARE(JournalPage(m_diary.get()).calendar()->firstDayOfWeek(), Qt::Wednesday);
        QVERIFY(!m_diary->journal->showToday());
        QVERIFY(
            JournalPage(m_diary.get()).calendar()->dateTextFormat(QDate::currentDate()).isEmpty());
        Settings tuesday = m_diary->settings();
        tuesday.startOfWeek = 3;
        m_diary->applySettings(tuesday);
        withDialog([&](OptionsDialog *d) {
            QCOMPARE(firstDayBox(d)->currentText(), QString("Tuesday"));
            QVERIFY(!showTodayBox(d)->isChecked());
            QVERIFY(applyButton(d)->isEnabled()); // the load changed a box
        });
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"

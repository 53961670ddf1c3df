// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/optionsdialog.h"

#include "ui_optionsdialog.h"
#include "widgets/choicebox.h"
#include "widgets/clickablelabel.h"

const QList<OptionsDialog::Swatch> &OptionsDialog::swatches() {
    static const QList<Swatch> list = {
        {"lred", QColor(255, 192, 192)},    {"hred", QColor(255, 0, 0)},
        {"lyellow", QColor(255, 224, 192)}, {"hyellow", QColor(255, 255, 0)},
        {"lgreen", QColor(192, 255, 192)},  {"hgreen", QColor(0, 255, 0)},
        {"lblue", QColor(192, 192, 255)},   {"hblue", QColor(0, 0, 255)},
        {"lzise", QColor(255, 192, 255)},   {"hzise", QColor(255, 0, 255)},
        {"lgray", QColor(192, 192, 192)},   {"hgray", QColor(128, 128, 128)},
    };
    return list;
}

const QStringList &OptionsDialog::dayNames() {
    static const QStringList names = {QStringLiteral("Monday"),    QStringLiteral("Tuesday"),
                                      QStringLiteral("Wednesday"), QStringLiteral("Thursday"),
                                      QStringLiteral("Friday"),    QStringLiteral("Saturday"),
                                      QStringLiteral("Sunday")};
    return names;
}

namespace {
// StartOfWeek runs from 1 (Sunday) to 7 (Saturday).
const QStringList &weekFromSunday() {
    static const QStringList order = {QStringLiteral("Sunday"),   QStringLiteral("Monday"),
                                      QStringLiteral("Tuesday"),  QStringLiteral("Wednesday"),
                                      QStringLiteral("Thursday"), QStringLiteral("Friday"),
                                      QStringLiteral("Saturday")};
    return order;
}
int startOfWeekOf(const QString &day) {
    const qsizetype i = weekFromSunday().indexOf(day);
    return i < 0 ? 0 : int(i) + 1;
}
QString dayOfStartOfWeek(int value) {
    return value >= 1 && value <= 7 ? weekFromSunday()[value - 1] : QString();
}
} // namespace

OptionsDialog::OptionsDialog(const Settings &current, int startSong, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_settings(current) {
    Ui::OptionsDialog form;
    form.setupUi(this);
    takeControls(form);
    startSongBox->hide(); // it only carries the start-up song to the song box
    addTabs();
    paintSwatches();
    connectControls();
    load(startSong);
}

// The form names the controls as tools find them; here they are called by
// what they are.
void OptionsDialog::takeControls(const Ui::OptionsDialog &form) {
    tabs = form.tbsOptions;
    pages = {form.Frame0, form.Frame1, form.Frame2};
    songBox = form.Combomid;
    startSongBox = form.Textrandom;
    musicOnBox = form.Checkmid;
    noMusicAtStartBox = form.Checksmid;
    defaultColourBox = form.Checkcolor;
    firstDayBox = form.Comboweek;
    showTodayBox = form.Checktoday;
    okButton = form.Cmdok;
    cancelButton = form.Cmdcancel;
    applyButton = form.cmdApply;
}

// A form holds a tab bar but not its tabs.
void OptionsDialog::addTabs() {
    const struct {
        const char *caption, *key, *tip;
    } tabList[] = {{"背景音乐", "backmusic", "设置背景音乐"},
                   {"背景颜色", "backset", "设置背景颜色"},
                   {"日历设置", "monthset", "日里外观设置"}};
    for (const auto &t : tabList) {
        const int i = tabs->addTab(QString::fromUtf8(t.caption));
        tabs->setTabData(i, QString::fromLatin1(t.key));
        tabs->setTabToolTip(i, QString::fromUtf8(t.tip));
    }
}

// The colours come from the table a click reads the chosen colour from, so
// a swatch always shows what clicking it sets.
void OptionsDialog::paintSwatches() {
    for (int i = 0; i < swatches().size(); ++i) {
        auto *swatch = pages[1]->findChild<ClickableLabel *>(QLatin1String(swatches()[i].name));
        swatch->setAutoFillBackground(true);
        QPalette p = swatch->palette();
        p.setColor(QPalette::Window, swatches()[i].colour);
        swatch->setPalette(p);
        connect(swatch, &ClickableLabel::clicked, this, [this, i] { chooseSwatch(i); });
    }
}

void OptionsDialog::connectControls() {
    // A check box set from code counts as a change, as a click does.
    for (QCheckBox *box : {musicOnBox, noMusicAtStartBox, defaultColourBox, showTodayBox})
        connect(box, &QCheckBox::toggled, this, &OptionsDialog::markChanged);
    connect(songBox, &ChoiceBox::itemChosen, this, &OptionsDialog::markChanged);
    connect(firstDayBox, &ChoiceBox::itemChosen, this, &OptionsDialog::markChanged);
    connect(tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        tabs->setCurrentIndex(index);
        showChosenPage();
    });
    connect(applyButton, &QPushButton::clicked, this, &OptionsDialog::apply);
    connect(okButton, &QPushButton::clicked, this, &OptionsDialog::acceptAndClose);
    connect(cancelButton, &QPushButton::clicked, this, &OptionsDialog::cancel);
}

void OptionsDialog::load(int startSong) {
    applyButton->setEnabled(false);
    musicOnBox->setChecked(m_settings.musicOn);
    noMusicAtStartBox->setChecked(m_settings.noMusicAtNextStart);
    for (int i = 1; i <= 10; ++i)
        songBox->addItem(QString::number(i));
    songBox->setCurrentIndex(-1);
    if (startSong > 0)
        startSongBox->setText(QString::number(startSong));
    songBox->setEditText(startSongBox->text());
    pages[0]->show();
    pages[1]->hide();
    pages[2]->hide();
    defaultColourBox->setChecked(m_settings.colour == Settings::DefaultColour);
    showTodayBox->setChecked(m_settings.showToday);
    firstDayBox->addItems(dayNames());
    firstDayBox->setCurrentIndex(-1);
    firstDayBox->setEditText(dayOfStartOfWeek(m_settings.startOfWeek));
}

void OptionsDialog::markChanged() {
    applyButton->setEnabled(true);
}

void OptionsDialog::showChosenPage() {
    const QString key = tabs->tabData(tabs->currentIndex()).toString();
    pages[0]->setVisible(key == QLatin1String("backmusic"));
    pages[1]->setVisible(key == QLatin1String("backset"));
    pages[2]->setVisible(key == QLatin1String("monthset"));
}

void OptionsDialog::chooseSwatch(int index) {
    defaultColourBox->setChecked(false);
    m_settings.colour = swatches()[index].colour;
    Q_EMIT colourPicked(m_settings.colour);
}

void OptionsDialog::apply() {
    m_settings.musicOn = musicOnBox->isChecked();
    songBox->setEnabled(m_settings.musicOn);
    // A box naming no song replays the one last asked for.
    if (const int song = Settings::songNumber(songBox->currentText()))
        m_settings.song = song;
    m_settings.noMusicAtNextStart = noMusicAtStartBox->isChecked();
    if (defaultColourBox->isChecked())
        m_settings.colour = Settings::DefaultColour;
    m_settings.showToday = showTodayBox->checkState() != Qt::Unchecked;
    if (const int start = startOfWeekOf(firstDayBox->currentText()))
        m_settings.startOfWeek = start;
    applyButton->setEnabled(false);
    Q_EMIT applied(m_settings);
}

// OK applies whether or not anything changed.
void OptionsDialog::acceptAndClose() {
    apply();
    close();
}

void OptionsDialog::cancel() {
    close();
}

#include "options/optionsdialog.h"

#include "widgets/choicebox.h"
#include "widgets/clickablelabel.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

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
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("选项"));
    setFixedSize(420, 300);

    tabs = new QTabBar(this);
    tabs->setObjectName(QStringLiteral("tbsOptions"));
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
    tabs->setGeometry(12, 10, 396, 30);
    for (int i = 0; i < 3; ++i) {
        auto *page = new QFrame(this);
        page->setObjectName(QStringLiteral("Frame%1").arg(i));
        page->setFrameShape(QFrame::StyledPanel);
        page->setGeometry(12, 40, 396, 196);
        pages << page;
    }

    // Music.
    songLabel = new QLabel(QStringLiteral("Mid背景音乐"), pages[0]);
    songLabel->setObjectName(QStringLiteral("midset"));
    songLabel->setGeometry(20, 16, 200, 24);
    songBox = new ChoiceBox(pages[0]);
    songBox->setObjectName(QStringLiteral("Combomid"));
    songBox->setGeometry(20, 44, 120, 28);
    startSongBox = new QLineEdit(pages[0]);
    startSongBox->setObjectName(QStringLiteral("Textrandom"));
    startSongBox->hide();
    musicOnBox = new QCheckBox(QStringLiteral("使用背景音乐"), pages[0]);
    musicOnBox->setObjectName(QStringLiteral("Checkmid"));
    musicOnBox->setChecked(true);
    musicOnBox->setGeometry(20, 90, 300, 26);
    noMusicAtStartBox = new QCheckBox(QStringLiteral("下次启动不要背景音乐"), pages[0]);
    noMusicAtStartBox->setObjectName(QStringLiteral("Checksmid"));
    noMusicAtStartBox->setGeometry(20, 124, 300, 26);

    // Colour.
    pages[1]->setToolTip(QStringLiteral("单击色块就可改变背景颜色"));
    colourLabel = new QLabel(QStringLiteral("背景颜色"), pages[1]);
    colourLabel->setObjectName(QStringLiteral("Label4"));
    colourLabel->setGeometry(20, 12, 200, 24);
    for (int i = 0; i < swatches().size(); ++i) {
        auto *s = new ClickableLabel(QString::fromLatin1(swatches()[i].name), pages[1]);
        s->setAutoFillBackground(true);
        QPalette p = s->palette();
        p.setColor(QPalette::Window, swatches()[i].colour);
        s->setPalette(p);
        s->setFrameShape(QFrame::Box);
        s->setCursor(Qt::PointingHandCursor);
        s->setGeometry(20 + (i % 6) * 58, 44 + (i / 6) * 50, 50, 40);
        connect(s, &ClickableLabel::clicked, this, [this, i] { chooseSwatch(i); });
        swatchLabels << s;
    }
    defaultColourBox = new QCheckBox(QStringLiteral("  缺省背景颜色"), pages[1]);
    defaultColourBox->setObjectName(QStringLiteral("Checkcolor"));
    defaultColourBox->setChecked(true);
    defaultColourBox->setGeometry(20, 150, 300, 26);

    // Calendar.
    firstDayLabel = new QLabel(QStringLiteral("first day of week"), pages[2]);
    firstDayLabel->setObjectName(QStringLiteral("Label2"));
    firstDayLabel->setGeometry(20, 30, 140, 28);
    firstDayBox = new ChoiceBox(pages[2]);
    firstDayBox->setObjectName(QStringLiteral("Comboweek"));
    firstDayBox->setGeometry(170, 30, 160, 28);
    showTodayBox = new QCheckBox(QStringLiteral(" show today"), pages[2]);
    showTodayBox->setObjectName(QStringLiteral("Checktoday"));
    showTodayBox->setChecked(true);
    showTodayBox->setGeometry(20, 80, 300, 26);

    okButton = new QPushButton(QStringLiteral("确  定"), this);
    okButton->setObjectName(QStringLiteral("Cmdok"));
    cancelButton = new QPushButton(QStringLiteral("取  消"), this);
    cancelButton->setObjectName(QStringLiteral("Cmdcancel"));
    applyButton = new QPushButton(QStringLiteral("应  用"), this);
    applyButton->setObjectName(QStringLiteral("cmdApply"));
    okButton->setGeometry(140, 250, 80, 32);
    cancelButton->setGeometry(230, 250, 80, 32);
    applyButton->setGeometry(320, 250, 80, 32);

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

    load(startSong);
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

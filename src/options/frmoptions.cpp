#include "options/frmoptions.h"

#include "journal/journalpanel.h"
#include "shell/clickablelabel.h"
#include "shell/interaction.h"
#include "shell/picturebutton.h"
#include "shell/diary.h"
#include "shell/modummc.h"
#include "shell/musicplayer.h"
#include "store/apppaths.h"
#include "store/settingsfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QUrl>

const QList<FrmOptions::Swatch> &FrmOptions::swatches() {
    static const QList<Swatch> list = {
        {"lred", QColor(255, 192, 192)},   {"hred", QColor(255, 0, 0)},
        {"lyellow", QColor(255, 224, 192)}, {"hyellow", QColor(255, 255, 0)},
        {"lgreen", QColor(192, 255, 192)}, {"hgreen", QColor(0, 255, 0)},
        {"lblue", QColor(192, 192, 255)},  {"hblue", QColor(0, 0, 255)},
        {"lzise", QColor(255, 192, 255)},  {"hzise", QColor(255, 0, 255)},
        {"lgray", QColor(192, 192, 192)},  {"hgray", QColor(128, 128, 128)},
    };
    return list;
}

const QStringList &FrmOptions::dayNames() {
    static const QStringList names = {QStringLiteral("Monday"),   QStringLiteral("Tuesday"),
                                      QStringLiteral("Wednesday"), QStringLiteral("Thursday"),
                                      QStringLiteral("Friday"),   QStringLiteral("Saturday"),
                                      QStringLiteral("Sunday")};
    return names;
}

namespace {
// StartOfWeek runs from 1 (Sunday) to 7 (Saturday).
int startOfWeekOf(const QString &day) {
    static const QStringList order = {QStringLiteral("Sunday"),   QStringLiteral("Monday"),
                                      QStringLiteral("Tuesday"),  QStringLiteral("Wednesday"),
                                      QStringLiteral("Thursday"), QStringLiteral("Friday"),
                                      QStringLiteral("Saturday")};
    const int i = order.indexOf(day);
    return i < 0 ? 0 : i + 1;
}
QString dayOfStartOfWeek(int value) {
    static const QStringList order = {QStringLiteral("Sunday"),   QStringLiteral("Monday"),
                                      QStringLiteral("Tuesday"),  QStringLiteral("Wednesday"),
                                      QStringLiteral("Thursday"), QStringLiteral("Friday"),
                                      QStringLiteral("Saturday")};
    return value >= 1 && value <= 7 ? order[value - 1] : QString();
}
} // namespace

FrmOptions::FrmOptions(Diary *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_diary(owner) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("选项"));
    setFixedSize(420, 300);

    tbsOptions = new QTabBar(this);
    tbsOptions->setObjectName(QStringLiteral("tbsOptions"));
    const struct {
        const char *caption, *key, *tip;
    } tabs[] = {{"背景音乐", "backmusic", "设置背景音乐"},
                {"背景颜色", "backset", "设置背景颜色"},
                {"日历设置", "monthset", "日里外观设置"}};
    for (const auto &t : tabs) {
        const int i = tbsOptions->addTab(QString::fromUtf8(t.caption));
        tbsOptions->setTabData(i, QString::fromLatin1(t.key));
        tbsOptions->setTabToolTip(i, QString::fromUtf8(t.tip));
    }
    tbsOptions->setGeometry(12, 10, 396, 30);
    for (int i = 0; i < 3; ++i) {
        auto *page = new QFrame(this);
        page->setObjectName(QStringLiteral("Frame%1").arg(i));
        page->setFrameShape(QFrame::StyledPanel);
        page->setGeometry(12, 40, 396, 196);
        Frame << page;
    }

    // Music.
    midset = new QLabel(QStringLiteral("Mid背景音乐"), Frame[0]);
    midset->setGeometry(20, 16, 200, 24);
    Combomid = new QComboBox(Frame[0]);
    Combomid->setObjectName(QStringLiteral("Combomid"));
    Combomid->setEditable(true);
    Combomid->setInsertPolicy(QComboBox::NoInsert);
    Combomid->setGeometry(20, 44, 120, 28);
    Textrandom = new QLineEdit(Frame[0]);
    Textrandom->setObjectName(QStringLiteral("Textrandom"));
    Textrandom->hide();
    Checkmid = new QCheckBox(QStringLiteral("使用背景音乐"), Frame[0]);
    Checkmid->setObjectName(QStringLiteral("Checkmid"));
    Checkmid->setChecked(true);
    Checkmid->setGeometry(20, 90, 300, 26);
    Checksmid = new QCheckBox(QStringLiteral("下次启动不要背景音乐"), Frame[0]);
    Checksmid->setObjectName(QStringLiteral("Checksmid"));
    Checksmid->setGeometry(20, 124, 300, 26);

    // Colour.
    Frame[1]->setToolTip(QStringLiteral("单击色块就可改变背景颜色"));
    Label4 = new QLabel(QStringLiteral("背景颜色"), Frame[1]);
    Label4->setGeometry(20, 12, 200, 24);
    for (int i = 0; i < swatches().size(); ++i) {
        auto *s = new ClickableLabel(QString::fromLatin1(swatches()[i].name), Frame[1]);
        s->setAutoFillBackground(true);
        QPalette p = s->palette();
        p.setColor(QPalette::Window, swatches()[i].colour);
        s->setPalette(p);
        s->setFrameShape(QFrame::Box);
        s->setCursor(Qt::PointingHandCursor);
        s->setGeometry(20 + (i % 6) * 58, 44 + (i / 6) * 50, 50, 40);
        connect(s, &ClickableLabel::clicked, this, [this, i] { swatch_Click(i); });
        swatchLabels << s;
    }
    Checkcolor = new QCheckBox(QStringLiteral("  缺省背景颜色"), Frame[1]);
    Checkcolor->setObjectName(QStringLiteral("Checkcolor"));
    Checkcolor->setChecked(true);
    Checkcolor->setGeometry(20, 150, 300, 26);

    // Calendar.
    Label2 = new QLabel(QStringLiteral("first day of week"), Frame[2]);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(20, 30, 140, 28);
    Comboweek = new QComboBox(Frame[2]);
    Comboweek->setObjectName(QStringLiteral("Comboweek"));
    Comboweek->setEditable(true);
    Comboweek->setInsertPolicy(QComboBox::NoInsert);
    Comboweek->setGeometry(170, 30, 160, 28);
    Checktoday = new QCheckBox(QStringLiteral(" show today"), Frame[2]);
    Checktoday->setObjectName(QStringLiteral("Checktoday"));
    Checktoday->setChecked(true);
    Checktoday->setGeometry(20, 80, 300, 26);

    Cmdok = new QPushButton(QStringLiteral("确  定"), this);
    Cmdok->setObjectName(QStringLiteral("Cmdok"));
    Cmdcancel = new QPushButton(QStringLiteral("取  消"), this);
    Cmdcancel->setObjectName(QStringLiteral("Cmdcancel"));
    cmdApply = new QPushButton(QStringLiteral("应  用"), this);
    cmdApply->setObjectName(QStringLiteral("cmdApply"));
    Cmdok->setGeometry(140, 250, 80, 32);
    Cmdcancel->setGeometry(230, 250, 80, 32);
    cmdApply->setGeometry(320, 250, 80, 32);

    // A check box set from code counts as a change, as a click does.
    for (QCheckBox *box : {Checkmid, Checksmid, Checkcolor, Checktoday})
        connect(box, &QCheckBox::toggled, this, &FrmOptions::changed);
    connect(Combomid, &QComboBox::activated, this, &FrmOptions::changed);
    connect(Comboweek, &QComboBox::activated, this, &FrmOptions::changed);
    connect(tbsOptions, &QTabBar::tabBarClicked, this, [this](int index) {
        tbsOptions->setCurrentIndex(index);
        tbsOptions_Click();
    });
    connect(cmdApply, &QPushButton::clicked, this, &FrmOptions::cmdApply_Click);
    connect(Cmdok, &QPushButton::clicked, this, &FrmOptions::Cmdok_Click);
    connect(Cmdcancel, &QPushButton::clicked, this, &FrmOptions::Cmdcancel_Click);

    buildMenu();
    Form_Load();
}

// Page entries press the page buttons, as a click on them would.
void FrmOptions::buildMenu() {
    menufile = new QMenu(QStringLiteral("XX"), this);
    menufile->setObjectName(QStringLiteral("menufile"));
    auto entry = [this](const char *name, const char *caption, auto action) {
        QAction *a = menufile->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, m_diary, action);
        return a;
    };
    menudiary = entry("menudiary", "日历(&D)", [this] { m_diary->Command1->click(); });
    menuphoto = entry("menuphoto", "照片(&P)", [this] { m_diary->Command2->click(); });
    menustory = entry("menustory", "小说(&S)", [this] { m_diary->Command3->click(); });
    menuadd = entry("menuadd", "地址(&A)", [this] { m_diary->Command4->click(); });
    menufile->addSeparator()->setObjectName(QStringLiteral("line1"));
    menuoption = entry("menuoption", "选项(&O)", [this] { m_diary->opitions_Click(); });
    menufile->addSeparator()->setObjectName(QStringLiteral("line2"));
    menuabout = entry("menuabout", "关于(&H)", [this] { m_diary->aboutfrm_Click(); });
    menuhelp = entry("menuhelp", "使用方法(&Q)", [this] { m_diary->helps_Click(); });
}

void FrmOptions::Form_Load() {
    cmdApply->setEnabled(false);
    Checkmid->setChecked(m_diary->MMControl1->musicOn());
    // A missing or unreadable file reads as "no music at the next start".
    Checksmid->setChecked(SettingsFile::readFlag(AppPaths::startIni()) == 0);
    for (int i = 1; i <= 10; ++i)
        Combomid->addItem(QString::number(i));
    Combomid->setCurrentIndex(-1);
    Combomid->setEditText(Textrandom->text());
    Frame[0]->show();
    Frame[1]->hide();
    Frame[2]->hide();
    Checkcolor->setChecked(m_diary->backgroundColour() == Diary::DefaultColour);
    Checktoday->setChecked(m_diary->journal->ShowToday());
    Comboweek->addItems(dayNames());
    Comboweek->setCurrentIndex(-1);
    Comboweek->setEditText(dayOfStartOfWeek(m_diary->journal->StartOfWeek()));
}

void FrmOptions::changed() { cmdApply->setEnabled(true); }

void FrmOptions::tbsOptions_Click() {
    const QString key = tbsOptions->tabData(tbsOptions->currentIndex()).toString();
    Frame[0]->setVisible(key == QLatin1String("backmusic"));
    Frame[1]->setVisible(key == QLatin1String("backset"));
    Frame[2]->setVisible(key == QLatin1String("monthset"));
}

void FrmOptions::swatch_Click(int index) {
    Checkcolor->setChecked(false);
    m_diary->setBackgroundColour(swatches()[index].colour);
}

void FrmOptions::cmdApply_Click() {
    MusicPlayer &player = *m_diary->MMControl1;
    if (Checkmid->isChecked()) {
        Combomid->setEnabled(true);
        Modummc::startmusic(player, m_diary->options);
        player.setMusicOn(true);
    } else {
        player.stop();
        player.setMusicOn(false);
        Combomid->setEnabled(false);
    }
    SettingsFile::writeFlag(AppPaths::startIni(), Checksmid->isChecked());
    if (Checkcolor->isChecked())
        m_diary->setBackgroundColour(Diary::DefaultColour);
    m_diary->journal->setShowToday(Checktoday->checkState() != Qt::Unchecked);
    if (const int start = startOfWeekOf(Comboweek->currentText()))
        m_diary->journal->setStartOfWeek(start);
    cmdApply->setEnabled(false);
}

// OK applies whether or not anything changed.
void FrmOptions::Cmdok_Click() {
    cmdApply_Click();
    close();
}

void FrmOptions::Cmdcancel_Click() { close(); }

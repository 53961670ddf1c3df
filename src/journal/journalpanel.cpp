#include "journal/journalpanel.h"

#include "shell/labelbutton.h"
#include "shell/panelframe.h"

#include <QCalendarWidget>
#include <QDate>
#include <QListWidget>
#include <QTextEdit>

JournalPanel::JournalPanel(QWidget *window) : QObject(window) {
    Frame1 = new PanelFrame(QStringLiteral("Frame1"), window);
    Frame2 = new PanelFrame(QStringLiteral("Frame2"), window);

    MonthView1 = new QCalendarWidget(Frame1);
    MonthView1->setObjectName(QStringLiteral("MonthView1"));
    MonthView1->setToolTip(QStringLiteral("单击今天显示今天日期"));
    MonthView1->setGridVisible(false);
    MonthView1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthView1->setGeometry(10, 10, 290, 210);

    List1 = new QListWidget(Frame1);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setUniformItemSizes(true);
    List1->setGeometry(10, 230, 290, 200);

    aboutfrm = new LabelButton(QStringLiteral("aboutfrm"), QStringLiteral("关于"), Frame1);
    opitions = new LabelButton(QStringLiteral("opitions"), QStringLiteral("选项"), Frame1);
    aboutfrm->setGeometry(10, 440, 60, 28);
    opitions->setGeometry(80, 440, 60, 28);

    fontpor = new LabelButton(QStringLiteral("fontpor"), QStringLiteral("字体"), Frame2);
    fontadd = new LabelButton(QStringLiteral("fontadd"), QStringLiteral("+"), Frame2);
    fontminus = new LabelButton(QStringLiteral("fontminus"), QStringLiteral("-"), Frame2);
    underline = new LabelButton(QStringLiteral("underline"), QStringLiteral("下划线"), Frame2);
    color = new LabelButton(QStringLiteral("color"), QStringLiteral("颜色"), Frame2);
    save = new LabelButton(QStringLiteral("save"), QStringLiteral("保存"), Frame2);
    deldata = new LabelButton(QStringLiteral("deldata"), QStringLiteral("删除"), Frame2);
    const struct {
        LabelButton *label;
        int x, width;
    } bar[] = {{fontpor, 10, 48}, {fontadd, 60, 28},  {fontminus, 90, 28}, {underline, 120, 60},
               {color, 182, 48},  {save, 330, 56},    {deldata, 390, 56}};
    for (const auto &b : bar)
        b.label->setGeometry(b.x, 8, b.width, 28);

    RTBox = new QTextEdit(Frame2);
    RTBox->setObjectName(QStringLiteral("RTBox"));
    RTBox->setAcceptRichText(false);
    RTBox->setGeometry(10, 44, 438, 426);

    connect(Frame1, &PanelFrame::backgroundHovered, this, &JournalPanel::resetEmphasis);
    connect(Frame2, &PanelFrame::backgroundHovered, this, &JournalPanel::resetEmphasis);
}

QList<LabelButton *> JournalPanel::labelButtons() const {
    return {fontpor, fontadd, fontminus, underline, color, save, deldata, opitions, aboutfrm};
}

void JournalPanel::showToday() {
    const QDate today = QDate::currentDate();
    MonthView1->setSelectedDate(today);
    MonthView1->setCurrentPage(today.year(), today.month());
}

void JournalPanel::resetEmphasis() {
    for (LabelButton *label : labelButtons())
        label->setBold(false);
}

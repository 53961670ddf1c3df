#include "journal/journalpanel.h"

#include "journal/entrylistmodel.h"
#include "shell/selectionformat.h"
#include "shell/interaction.h"
#include "shell/labelbutton.h"
#include "shell/panelframe.h"
#include "store/daykey.h"
#include "store/recordset.h"

#include <QCalendarWidget>
#include <QDate>
#include <QListView>
#include <QTextEdit>

namespace {
// The rich-text box refuses sizes beyond this.
constexpr qreal LargestFontSize = 1638;

// The leading integer of a text, as a date field is read from a list line;
// 0 when there is none.
int leadingNumber(const QString &text) {
    const QString t = text.trimmed();
    int value = 0, digits = 0;
    for (QChar c : t) {
        if (!c.isDigit() || c.unicode() > 0x7f || digits >= 9)
            break;
        value = value * 10 + c.digitValue();
        ++digits;
    }
    return value;
}
} // namespace

JournalPanel::JournalPanel(QWidget *window, RecordSet *records)
    : QObject(window), m_records(records) {
    Frame1 = new PanelFrame(QStringLiteral("Frame1"), window);
    Frame2 = new PanelFrame(QStringLiteral("Frame2"), window);

    MonthView1 = new QCalendarWidget(Frame1);
    MonthView1->setObjectName(QStringLiteral("MonthView1"));
    MonthView1->setToolTip(QStringLiteral("单击今天显示今天日期"));
    MonthView1->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    MonthView1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthView1->setGeometry(10, 10, 290, 210);
    MonthView1->setFirstDayOfWeek(Qt::Sunday);
    setShowToday(true);

    entries = new EntryListModel(records->store(), this);
    List1 = new QListView(Frame1);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setUniformItemSizes(true);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setTextElideMode(Qt::ElideRight);
    List1->setModel(entries);
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
    } bar[] = {{fontpor, 10, 48}, {fontadd, 60, 28}, {fontminus, 90, 28}, {underline, 120, 60},
               {color, 182, 48},  {save, 330, 56},   {deldata, 390, 56}};
    for (const auto &b : bar)
        b.label->setGeometry(b.x, 8, b.width, 28);

    RTBox = new QTextEdit(Frame2);
    RTBox->setObjectName(QStringLiteral("RTBox"));
    RTBox->setAcceptRichText(false);
    RTBox->setGeometry(10, 44, 438, 426);

    connect(Frame1, &PanelFrame::backgroundHovered, this, &JournalPanel::resetEmphasis);
    connect(Frame2, &PanelFrame::backgroundHovered, this, &JournalPanel::resetEmphasis);
    connect(MonthView1, &QCalendarWidget::clicked, this, [this] {
        if (m_showToday && m_markedDay != QDate::currentDate())
            setShowToday(true); // the day turned over while running
    });
    connect(MonthView1, &QCalendarWidget::clicked, this, &JournalPanel::MonthView1_DateClick);
    connect(List1, &QListView::clicked, this, &JournalPanel::List1_Click);
    connect(RTBox, &QTextEdit::textChanged, this, &JournalPanel::RTBox_Change);
    connect(save, &LabelButton::clicked, this, &JournalPanel::save_Click);
    connect(deldata, &LabelButton::clicked, this, &JournalPanel::deldata_Click);
    connect(fontpor, &LabelButton::clicked, this, &JournalPanel::fontpor_Click);
    connect(fontadd, &LabelButton::clicked, this, &JournalPanel::fontadd_Click);
    connect(fontminus, &LabelButton::clicked, this, &JournalPanel::fontminus_Click);
    connect(underline, &LabelButton::clicked, this, &JournalPanel::underline_Click);
    connect(color, &LabelButton::clicked, this, &JournalPanel::color_Click);
}

QList<LabelButton *> JournalPanel::labelButtons() const {
    return {fontpor, fontadd, fontminus, underline, color, save, deldata, opitions, aboutfrm};
}

void JournalPanel::setShowToday(bool show) {
    m_showToday = show;
    if (m_markedDay.isValid())
        MonthView1->setDateTextFormat(m_markedDay, QTextCharFormat());
    m_markedDay = QDate();
    if (!show)
        return;
    m_markedDay = QDate::currentDate();
    QTextCharFormat today;
    today.setFontWeight(QFont::Bold);
    today.setForeground(QColor(200, 30, 30));
    today.setFontUnderline(true);
    MonthView1->setDateTextFormat(m_markedDay, today);
}

int JournalPanel::StartOfWeek() const {
    const int day = MonthView1->firstDayOfWeek(); // Monday 1 .. Sunday 7
    return day % 7 + 1;
}

void JournalPanel::setStartOfWeek(int value) {
    if (value < 1 || value > 7)
        return;
    MonthView1->setFirstDayOfWeek(Qt::DayOfWeek(value == 1 ? 7 : value - 1));
}

void JournalPanel::goToToday() {
    const QDate today = QDate::currentDate();
    MonthView1->setSelectedDate(today);
    MonthView1->setCurrentPage(today.year(), today.month());
}

QString JournalPanel::calendarKey() const {
    const QDate d = MonthView1->selectedDate();
    return dayKey(d.year(), d.month(), d.day());
}

void JournalPanel::resetEmphasis() {
    for (LabelButton *label : labelButtons())
        label->setBold(false);
}

// Replacing the text drops every character format, that of the text typed
// next included.
void JournalPanel::setEditorText(const QString &text) {
    RTBox->setCurrentCharFormat(QTextCharFormat());
    RTBox->setPlainText(text);
}

// Where the walk over every entry leaves the record set.
void JournalPanel::moveToEnd() {
    if (m_records->moveLast())
        m_records->moveNext();
}

void JournalPanel::loaddata() {
    entries->clear();
    if (!m_records->moveFirst() || m_records->eof())
        return;
    entries->setKeys(m_records->keys());
    moveToEnd();
}

void JournalPanel::MonthView1_DateClick() {
    const QString key = calendarKey();
    if (!m_records->moveFirst() || m_records->eof())
        return;
    const qint64 found = m_records->findFirst(QStringLiteral("dates"), key);
    if (found >= 0 && m_records->moveToKey(found)) {
        setEditorText(m_records->text(QStringLiteral("things")));
        deldata->setEnabled(true);
    } else {
        setEditorText(QString());
        moveToEnd();
    }
}

void JournalPanel::save_Click() {
    const QString key = calendarKey();
    if (!Interaction::current().confirm(RTBox->window(), QStringLiteral("保存日记吗？"),
                                        QStringLiteral("save")))
        return;
    // Only a row that really is new may receive the key and the text.
    if (m_records->addNew()) {
        m_records->setField(QStringLiteral("dates"), key);
        m_records->setField(QStringLiteral("things"), RTBox->toPlainText());
        if (!m_records->update())
            m_records->cancelUpdate();
    }
    loaddata();
}

void JournalPanel::deldata_Click() {
    const QString key = calendarKey();
    if (!m_records->moveFirst() || m_records->eof())
        return;
    const qint64 found = m_records->findFirstWithPrefix(QStringLiteral("dates"), key);
    if (found >= 0)
        m_records->moveToKey(found);
    else
        moveToEnd();
    if (!Interaction::current().confirm(RTBox->window(), QStringLiteral("是否删除真的当前记录?"),
                                        QString()))
        return;
    if (found < 0 || !m_records->deleteCurrent())
        return;
    m_records->moveNext();
    setEditorText(QString());
    if (m_records->eof())
        m_records->movePrevious();
    m_records->update();
    loaddata();
    List1->viewport()->update();
}

void JournalPanel::List1_Click(const QModelIndex &index) {
    const QString line = entries->fullLine(index.row());
    setEditorText(line.mid(9));
    const int year = leadingNumber(line.mid(0, 4));
    const int month = leadingNumber(line.mid(4, 2));
    const int day = leadingNumber(line.mid(6, 2));
    // Set as one date when it is one: setting the year alone first could
    // fail on 29 February and leave the calendar on a wrong day.
    if (QDate(year, month, day).isValid()) {
        MonthView1->setSelectedDate(QDate(year, month, day));
        return;
    }
    // Otherwise each part that makes a valid date is applied, in order.
    QDate d = MonthView1->selectedDate();
    if (QDate(year, d.month(), d.day()).isValid())
        d = QDate(year, d.month(), d.day());
    if (QDate(d.year(), month, d.day()).isValid())
        d = QDate(d.year(), month, d.day());
    if (QDate(d.year(), d.month(), day).isValid())
        d = QDate(d.year(), d.month(), day);
    MonthView1->setSelectedDate(d);
}

void JournalPanel::RTBox_Change() {
    const bool hasText = !RTBox->document()->isEmpty();
    deldata->setEnabled(hasText);
    save->setEnabled(hasText);
}

void JournalPanel::fontpor_Click() {
    const SelectionFormat sel = SelectionFormat::of(RTBox);
    if (sel.colour)
        m_dialogColour = *sel.colour;
    if (!RTBox->isVisible())
        return; // the dialog's values go back unchanged
    // A mixed attribute starts the dialog from the insertion point's value
    // and is applied only if the user changes it.
    const SelectionFormat start = [&] {
        SelectionFormat s = sel;
        const QFont f = RTBox->currentCharFormat().font().resolve(RTBox->document()->defaultFont());
        if (!s.fontName)
            s.fontName = f.family();
        if (!s.fontSize)
            s.fontSize = f.pointSizeF();
        if (!s.bold)
            s.bold = f.bold();
        if (!s.italic)
            s.italic = f.italic();
        if (!s.underline)
            s.underline = f.underline();
        return s;
    }();
    QFont initial(*start.fontName);
    if (*start.fontSize > 0)
        initial.setPointSizeF(*start.fontSize);
    initial.setBold(*start.bold);
    initial.setItalic(*start.italic);
    initial.setUnderline(*start.underline);

    const std::optional<QFont> chosen = Interaction::current().chooseFont(RTBox->window(), initial);
    if (!chosen)
        return; // Cancel writes back what was read: nothing changes
    auto wanted = [](const auto &was, const auto &shown, const auto &now) {
        return was.has_value() || !(shown == now);
    };
    if (wanted(sel.fontName, *start.fontName, chosen->family()))
        setSelFontName(RTBox, chosen->family());
    if (chosen->pointSizeF() > 0 && wanted(sel.fontSize, *start.fontSize, chosen->pointSizeF()))
        setSelFontSize(RTBox, chosen->pointSizeF());
    if (wanted(sel.bold, *start.bold, chosen->bold()))
        setSelBold(RTBox, chosen->bold());
    if (wanted(sel.italic, *start.italic, chosen->italic()))
        setSelItalic(RTBox, chosen->italic());
    if (wanted(sel.underline, *start.underline, chosen->underline()))
        setSelUnderline(RTBox, chosen->underline());
}

void JournalPanel::fontadd_Click() {
    const SelectionFormat sel = SelectionFormat::of(RTBox);
    if (!sel.fontSize || *sel.fontSize + 1 > LargestFontSize)
        return;
    setSelFontSize(RTBox, *sel.fontSize + 1);
}

void JournalPanel::fontminus_Click() {
    const SelectionFormat sel = SelectionFormat::of(RTBox);
    if (!sel.fontSize || *sel.fontSize - 1 < 1)
        return;
    setSelFontSize(RTBox, *sel.fontSize - 1);
}

void JournalPanel::underline_Click() {
    const SelectionFormat sel = SelectionFormat::of(RTBox);
    setSelUnderline(RTBox, sel.underline.has_value() && !*sel.underline);
}

void JournalPanel::color_Click() {
    if (const std::optional<QColor> chosen =
            Interaction::current().chooseColor(RTBox->window(), m_dialogColour))
        m_dialogColour = *chosen;
    setSelColour(RTBox, m_dialogColour);
}

#pragma once

#include <QColor>
#include <QDate>
#include <QList>
#include <QObject>

class EntryListModel;
class LabelButton;
class PanelFrame;
class QCalendarWidget;
class QListView;
class QModelIndex;
class QTextEdit;
class QWidget;
class RecordSet;

// The journal page: Frame1 (calendar, entry list, About and Options) and
// Frame2 (editor, save and delete, formatting tools). Entries are kept by
// day key in the diary table through the record set Adodc1.
class JournalPanel : public QObject {
    Q_OBJECT
public:
    JournalPanel(QWidget *window, RecordSet *records);

    PanelFrame *Frame1;
    PanelFrame *Frame2;
    QCalendarWidget *MonthView1;
    QListView *List1;
    EntryListModel *entries;
    QTextEdit *RTBox;

    LabelButton *fontpor;
    LabelButton *fontadd;
    LabelButton *fontminus;
    LabelButton *underline;
    LabelButton *color;
    LabelButton *save;
    LabelButton *deldata;
    LabelButton *opitions;
    LabelButton *aboutfrm;

    // The nine label buttons in the order their emphasis is reset.
    QList<LabelButton *> labelButtons() const;

    // Sets the calendar to today, year then month then day.
    void goToToday();
    // The calendar's today marker and first day of the week (1 Sunday .. 7 Saturday).
    bool ShowToday() const { return m_showToday; }
    void setShowToday(bool show);
    int StartOfWeek() const;
    void setStartOfWeek(int value);
    // The day key of the calendar's selected day.
    QString calendarKey() const;
    // The colour the common dialog holds between uses (black at first).
    QColor dialogColour() const { return m_dialogColour; }

    // Refills the entry list from the table.
    void loaddata();

public Q_SLOTS:
    // The mouse crossed the background of Frame1 or Frame2.
    void resetEmphasis();

    void MonthView1_DateClick();
    void save_Click();
    void deldata_Click();
    void List1_Click(const QModelIndex &index);
    void RTBox_Change();

    void fontpor_Click();
    void fontadd_Click();
    void fontminus_Click();
    void underline_Click();
    void color_Click();

private:
    void setEditorText(const QString &text);
    void moveToEnd();

    RecordSet *m_records;
    QColor m_dialogColour = Qt::black;
    bool m_showToday = true;
    QDate m_markedDay;
};

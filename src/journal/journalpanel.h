#pragma once

#include <QList>
#include <QObject>

class LabelButton;
class PanelFrame;
class QCalendarWidget;
class QListWidget;
class QTextEdit;
class QWidget;

// The journal page: Frame1 (calendar, entry list, About and Options) and
// Frame2 (editor and its label buttons).
class JournalPanel : public QObject {
    Q_OBJECT
public:
    explicit JournalPanel(QWidget *window);

    PanelFrame *Frame1;
    PanelFrame *Frame2;
    QCalendarWidget *MonthView1;
    QListWidget *List1;
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
    void showToday();

public Q_SLOTS:
    // The mouse crossed the background of Frame1 or Frame2.
    void resetEmphasis();
};

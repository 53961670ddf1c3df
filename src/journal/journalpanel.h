// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDate>
#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>

#include "core/drafts.h"
#include "widgets/pagepanel.h"
#include "widgets/textwindow.h"

class DraftBar;
class EntryListModel;
class LabelButton;
class PanelFrame;
class QCalendarWidget;
class QLabel;
class QListView;
class QModelIndex;
class QTextEdit;
class QWidget;
class RecordSet;
class Result;
class StoredText;

namespace Ui {
class JournalPanel;
}

// The journal page: a calendar frame (calendar, entry list, About and
// Options) and an editor frame (editor, save and delete, formatting tools).
// Entries are kept by day key in the diary table.
class JournalPanel : public PagePanel {
    Q_OBJECT
public:
    // Without drafts, what is typed lives only in the editor.
    JournalPanel(QWidget *window, RecordSet *records, Drafts *drafts = nullptr);
    ~JournalPanel() override;

    // Sets the calendar to today, year then month then day.
    void goToToday();
    // At start-up: today, the whole list, and nothing to save yet.
    void showStartState();
    // The calendar's today marker and first day of the week (1 Sunday .. 7 Saturday).
    bool showToday() const { return m_showToday; }
    void setShowToday(bool show);
    int startOfWeek() const;
    void setStartOfWeek(int value);
    // The day key of the calendar's selected day.
    QString calendarKey() const;
    // The colour the common dialog holds between uses (black at first).
    QColor dialogColour() const { return m_dialogColour; }

    // Refills the entry list from the table, and the marks of the days shown.
    void reloadList();
    // Hands what was typed since the last time to the drafts at once, rather
    // than after the typing pause.
    void keepDraftNow();

Q_SIGNALS:
    void optionsRequested();
    void aboutRequested();

public Q_SLOTS:
    // Ctrl+S: what pressing the save button does, when it can be pressed.
    void save();
    // The mouse crossed the background of calendarFrame or editorFrame.
    void resetEmphasis();

    void showEntryOfSelectedDay();
    void saveEntry();
    void deleteEntry();
    void showListedEntry(const QModelIndex &index);
    // A search result: its day selected in the calendar and that very entry
    // shown, as a click on the day shows the day's first.
    // The words of the query it was found by are marked, the cursor at the first.
    void showFoundEntry(qint64 key, const QString &query = QString());
    void editorChanged();
    void restoreDraft();
    void discardDraft();

    void chooseFont();
    void growFont();
    void shrinkFont();
    void toggleUnderline();
    void chooseColour();

private:
    void takeControls(const Ui::JournalPanel &form);
    void setUpEntryList();
    void connectControls();
    // The nine label buttons in the order their emphasis is reset.
    QList<LabelButton *> labelButtons() const;
    // Shows text the journal holds: what a draft is compared with.
    void setEditorText(const QString &text);
    void typed();
    // The day is shown: its draft is offered when it differs from what is shown.
    void dayShown();
    void offerDraft();
    void showDraft(QString text);
    void draftRestored(bool wait);
    void showDayEntry();
    // Bold days with entries, italic days with drafts, and today's marker.
    void refreshMarks();
    // The record to delete: the one shown, or the day's first.
    qint64 entryToDelete(const QString &day);
    // A click on save: the day and the text as they were then.
    struct Save {
        QString day;
        TextWindow::Pieces text;
        quint64 shown;                    // m_editorVersion at the click
        std::shared_ptr<StoredText> rest; // of a long entry still being read
    };
    // Writes one beside the window, whose events (another save's click
    // among them) go on meanwhile.
    void writeEntry(Save save);
    void entrySaved(const Save &save, QString text);
    // A save the store refused, said with its reason.
    void tellNotSaved(const Result &why);
    QLabel *waitNote();
    std::optional<QString> showLongText(qint64 key, const QString &before = {}, qsizetype from = 0);
    void readMoreText();
    void readRestAside(bool shownEndsInCr);
    void restRead(quint64 id, std::optional<QString> whole, qsizetype from);
    void moveToEnd();

    // Entries past this are read in slices of the second size.
    static constexpr qint64 LongTextBytes = 1024 * 1024;
    static constexpr int LongTextSlice = 512 * 1024;
    std::unique_ptr<StoredText> m_unreadText; // what is still to read of the entry shown
    QTimer m_reading;        // slices between events, where it cannot be read aside
    quint64 m_readingId = 0; // of the reading aside whose text is wanted
    QFutureWatcher<std::optional<Drafts::Draft>> *m_restoring; // a long draft, read aside
    bool m_restoringLong = false;

    PanelFrame *calendarFrame;
    PanelFrame *editorFrame;
    QCalendarWidget *calendar;
    QListView *entryList;
    EntryListModel *entries;
    QTextEdit *editor;
    TextWindow *editorText;       // what the editor shows and what a save stores
    QLabel *m_waitNote = nullptr; // while a save waits for a busy store

    LabelButton *fontButton;
    LabelButton *growFontButton;
    LabelButton *shrinkFontButton;
    LabelButton *underlineButton;
    LabelButton *colourButton;
    LabelButton *saveButton;
    LabelButton *deleteButton;
    LabelButton *optionsButton;
    LabelButton *aboutButton;

    RecordSet *m_records;
    QColor m_dialogColour = Qt::black;
    bool m_showToday = true;
    QDate m_markedDay; // today, as marked

    Drafts *m_drafts;
    DraftBar *m_draftBar;
    QTimer m_draftPause; // from the first key typed to the draft handed over
    QString m_draftDay;
    QString m_shownText;       // the day's text as the journal holds it
    bool m_shownWhole = false; // m_shownText is whole while the editor's text is still read
    bool m_kept = false;       // the drafts hold what was typed since the day was shown
    bool m_typed = false;
    // Saves clicked while one is written follow it, in their order.
    std::deque<Save> m_saves;
    bool m_saving = false;
    // Goes up with each change of the editor's text, typed or shown; and
    // the value of each day's last key, while saves are under way.
    quint64 m_editorVersion = 0;
    QHash<QString, quint64> m_typedAt;
    qint64 m_shownKey = -1; // the record shown through the list or a search
    QList<QDate> m_marked;
    quint32 m_draftDays = 0; // in the month shown
    // Typing is kept as a draft at most this long after the key that began it.
    static constexpr int DraftPauseMs = 300;
};

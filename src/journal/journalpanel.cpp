// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journalpanel.h"

#include "core/daykey.h"
#include "core/drafts.h"
#include "core/journalmonth.h"
#include "core/records.h"
#include "core/recordset.h"
#include "core/result.h"
#include "core/store.h"
#include "core/storedtext.h"
#include "journal/draftbar.h"
#include "journal/entrylistmodel.h"
#include "ui_journalpanel.h"
#include "widgets/interaction.h"
#include "widgets/labelbutton.h"
#include "widgets/panelframe.h"
#include "widgets/selectionformat.h"
#include "widgets/textwindow.h"

#include <QCalendarWidget>
#include <QDate>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QTextEdit>
#include <QThreadPool>

namespace {
// Lines laid out per slice of the entry list's layout.
constexpr int ListLayoutSlice = 50000;
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

// Giving back the memory of tens of megabytes takes the system milliseconds:
// done beside the window.
void releaseAside(QString text) {
    if (text.size() > 1024 * 1024 && text.isDetached())
        QThreadPool::globalInstance()->start([text = std::move(text)] {});
}

// Line ends as the editor gives them back.
QString unifiedLineEnds(QString text) {
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
    }
    return text;
}
} // namespace

JournalPanel::JournalPanel(QWidget *window, RecordSet *records, Drafts *drafts)
    : PagePanel(window), m_records(records), m_drafts(drafts) {
    Ui::JournalPanel form;
    form.setupUi(this);
    takeControls(form);
    adoptFrames({calendarFrame, editorFrame});
    setShowToday(true);
    setUpEntryList();
    editorText = new TextWindow(editor);
    m_draftBar = new DraftBar(editorFrame);
    m_draftPause.setSingleShot(true);
    m_draftPause.setInterval(DraftPauseMs);
    m_reading.setInterval(0);
    connectControls();
}

// The form names the controls as tools find them; here they are called by
// what they are.
void JournalPanel::takeControls(const Ui::JournalPanel &form) {
    calendarFrame = form.Frame1;
    editorFrame = form.Frame2;
    calendar = form.MonthView1;
    entryList = form.List1;
    editor = form.RTBox;
    fontButton = form.fontpor;
    growFontButton = form.fontadd;
    shrinkFontButton = form.fontminus;
    underlineButton = form.underline;
    colourButton = form.color;
    saveButton = form.save;
    deleteButton = form.deldata;
    optionsButton = form.opitions;
    aboutButton = form.aboutfrm;
}

void JournalPanel::setUpEntryList() {
    entries = new EntryListModel(m_records->store(), this);
    entryList->setUniformItemSizes(true);
    // Laying out a million lines takes tens of milliseconds even so: it is
    // done in slices between events, so a save or a delete returns at once.
    entryList->setLayoutMode(QListView::Batched);
    entryList->setBatchSize(ListLayoutSlice);
    entryList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    entryList->setTextElideMode(Qt::ElideRight);
    entryList->setModel(entries);
}

void JournalPanel::connectControls() {
    connect(&m_reading, &QTimer::timeout, this, &JournalPanel::readMoreText);
    connect(calendarFrame, &PanelFrame::backgroundHovered, this, &JournalPanel::resetEmphasis);
    connect(editorFrame, &PanelFrame::backgroundHovered, this, &JournalPanel::resetEmphasis);
    connect(calendar, &QCalendarWidget::clicked, this, [this] {
        if (m_showToday && m_markedDay != QDate::currentDate())
            setShowToday(true); // the day turned over while running
    });
    connect(calendar, &QCalendarWidget::clicked, this, &JournalPanel::showEntryOfSelectedDay);
    connect(entryList, &QListView::clicked, this, &JournalPanel::showListedEntry);
    connect(editor, &QTextEdit::textChanged, this, &JournalPanel::editorChanged);
    connect(editorText, &TextWindow::edited, this, &JournalPanel::typed);
    connect(editorText, &TextWindow::wholeTextWanted, this, [this] {
        while (m_unreadText)
            readMoreText();
    });
    connect(&m_draftPause, &QTimer::timeout, this, [this] {
        if (m_unreadText)
            m_draftPause.start(); // a draft is the whole text: once it is read
        else
            keepDraftNow();
    });
    connect(calendar, &QCalendarWidget::selectionChanged, this, [this] {
        keepDraftNow(); // what was typed belongs to the day it was typed on
        m_draftDay = calendarKey();
    });
    connect(calendar, &QCalendarWidget::currentPageChanged, this, &JournalPanel::refreshMarks);
    connect(m_draftBar, &DraftBar::restoreRequested, this, &JournalPanel::restoreDraft);
    m_restoring = new QFutureWatcher<std::optional<Drafts::Draft>>(this);
    connect(m_restoring, &QFutureWatcherBase::finished, this, [this] { draftRestored(false); });
    connect(m_draftBar, &DraftBar::discardRequested, this, &JournalPanel::discardDraft);
    connect(optionsButton, &LabelButton::clicked, this, &JournalPanel::optionsRequested);
    connect(aboutButton, &LabelButton::clicked, this, &JournalPanel::aboutRequested);
    const struct {
        LabelButton *button;
        void (JournalPanel::*action)();
    } actions[] = {{saveButton, &JournalPanel::saveEntry},
                   {deleteButton, &JournalPanel::deleteEntry},
                   {fontButton, &JournalPanel::chooseFont},
                   {growFontButton, &JournalPanel::growFont},
                   {shrinkFontButton, &JournalPanel::shrinkFont},
                   {underlineButton, &JournalPanel::toggleUnderline},
                   {colourButton, &JournalPanel::chooseColour}};
    for (const auto &a : actions)
        connect(a.button, &LabelButton::clicked, this, a.action);
}

void JournalPanel::save() {
    saveButton->click();
}

JournalPanel::~JournalPanel() = default;

QList<LabelButton *> JournalPanel::labelButtons() const {
    return {fontButton, growFontButton, shrinkFontButton, underlineButton, colourButton,
            saveButton, deleteButton,   optionsButton,    aboutButton};
}

void JournalPanel::setShowToday(bool show) {
    m_showToday = show;
    refreshMarks();
}

void JournalPanel::refreshMarks() {
    for (const QDate &day : std::as_const(m_marked))
        calendar->setDateTextFormat(day, QTextCharFormat());
    m_marked.clear();
    const int year = calendar->yearShown(), month = calendar->monthShown();
    const quint32 entryDays =
        m_records->isOpen() ? journalDaysInMonth(m_records->store()->nativeHandle(), year, month)
                            : 0;
    m_draftDays = m_drafts ? m_drafts->daysInMonth(year, month) : 0;
    m_markedDay = m_showToday ? QDate::currentDate() : QDate();
    QList<QDate> days{m_markedDay};
    for (int day = 1; day <= 31; ++day)
        if (((entryDays | m_draftDays) >> day) & 1u)
            days << QDate(year, month, day);
    for (const QDate &day : days) {
        if (!day.isValid())
            continue;
        QTextCharFormat format = calendar->dateTextFormat(day);
        const bool inMonth = day.year() == year && day.month() == month;
        if (inMonth && ((entryDays >> day.day()) & 1u))
            format.setFontWeight(QFont::Bold);
        if (inMonth && ((m_draftDays >> day.day()) & 1u))
            format.setFontItalic(true);
        if (day == m_markedDay) {
            format.setFontWeight(QFont::Bold);
            format.setForeground(QColor(200, 30, 30));
            format.setFontUnderline(true);
        }
        calendar->setDateTextFormat(day, format);
        m_marked << day;
    }
}

int JournalPanel::startOfWeek() const {
    const int day = calendar->firstDayOfWeek(); // Monday 1 .. Sunday 7
    return day % 7 + 1;
}

void JournalPanel::setStartOfWeek(int value) {
    if (value < 1 || value > 7)
        return;
    calendar->setFirstDayOfWeek(Qt::DayOfWeek(value == 1 ? 7 : value - 1));
}

void JournalPanel::goToToday() {
    const QDate today = QDate::currentDate();
    calendar->setSelectedDate(today);
    calendar->setCurrentPage(today.year(), today.month());
}

void JournalPanel::showStartState() {
    goToToday();
    reloadList();
    saveButton->setEnabled(false);
    dayShown();
}

QString JournalPanel::calendarKey() const {
    const QDate d = calendar->selectedDate();
    return dayKey(d.year(), d.month(), d.day());
}

void JournalPanel::resetEmphasis() {
    for (LabelButton *label : labelButtons())
        label->setBold(false);
}

// Replacing the text drops every character format, that of the text typed
// next included.
void JournalPanel::setEditorText(const QString &text) {
    m_restoringLong = false; // a draft still being read was of what went
    m_unreadText.reset();
    m_reading.stop();
    ++m_editorVersion;
    // What the editor held goes first, so the old text is let go of aside.
    QString old = std::exchange(m_shownText, unifiedLineEnds(text));
    m_shownWhole = false;
    editorText->setText(text);
    releaseAside(std::move(old));
}

// Typing goes to the drafts a moment after the key that began it, and then
// as often while it goes on: one copy of the text per pause, not per key.
void JournalPanel::typed() {
    m_typed = true;
    ++m_editorVersion;
    if (m_saving)
        m_typedAt[m_draftDay] = m_editorVersion;
    if (!m_draftPause.isActive())
        m_draftPause.start();
}

void JournalPanel::keepDraftNow() {
    m_draftPause.stop();
    if (!m_typed || !m_drafts)
        return;
    while (m_unreadText) // a draft is the whole text
        readMoreText();
    m_typed = false;
    // The text is put together on the drafts' thread: here it is only
    // compared, and piece by piece, so a long entry is not copied per pause.
    TextWindow::Pieces text = editorText->pieces();
    // What the journal holds already, or nothing at all, is no draft.
    const bool isDraft = text.size() > 0 && !text.equals(m_shownText);
    if (!isDraft && !m_kept)
        return; // a format changed, or the text came back to what is shown
    m_kept = isDraft;
    if (isDraft)
        m_drafts->keep(m_draftDay,
                       [text = std::move(text)]() mutable { return std::move(text).joined(); });
    else
        m_drafts->remove(m_draftDay);
    m_draftBar->hide(); // the offer was of the draft just replaced
    const QDate day = QDate::fromString(m_draftDay, QStringLiteral("yyyyMMdd"));
    if (day.year() == calendar->yearShown() && day.month() == calendar->monthShown() &&
        bool((m_draftDays >> day.day()) & 1u) != isDraft)
        refreshMarks();
}

void JournalPanel::dayShown() {
    m_draftPause.stop();
    m_typed = false;
    m_kept = false;
    m_draftDay = calendarKey();
    offerDraft();
}

void JournalPanel::offerDraft() {
    m_draftBar->hide();
    if (!m_drafts || m_unreadText)
        return; // a long entry is offered against once it is read whole
    // Offered by its sizes: only one as long as what is shown is read.
    const std::optional<Drafts::Summary> draft = m_drafts->summary(m_draftDay);
    if (!draft)
        return;
    if (draft->size == 0 ||
        (draft->size == m_shownText.size() && m_drafts->draft(m_draftDay)->text == m_shownText)) {
        m_drafts->remove(m_draftDay); // saved after all
        refreshMarks();
        return;
    }
    m_draftBar->offer(draft->characters, draft->written, editor);
}

void JournalPanel::restoreDraft() {
    m_draftBar->hide();
    const std::optional<Drafts::Summary> sizes =
        m_drafts ? m_drafts->summary(m_draftDay) : std::nullopt;
    if (!sizes)
        return;
    m_restoringLong = sizes->size >= LongTextBytes;
    if (!m_restoringLong) {
        if (std::optional<Drafts::Draft> draft = m_drafts->draft(m_draftDay))
            showDraft(std::move(draft->text));
        return;
    }
    // A long one is read and decoded aside; an entry shown meanwhile drops it.
    m_restoring->setFuture(m_drafts->draftAside(m_draftDay));
}

// The long draft asked back, unless something else was shown since. A save
// waits for it (wait), so that it saves that.
void JournalPanel::draftRestored(bool wait) {
    QFuture<std::optional<Drafts::Draft>> restoring = m_restoring->future();
    if (!m_restoringLong || (!wait && !restoring.isFinished()))
        return; // or the last word of one that was dropped
    m_restoringLong = false;
    restoring.waitForFinished();
    if (restoring.resultCount() > 0)
        if (std::optional<Drafts::Draft> draft = restoring.result())
            showDraft(std::move(draft->text));
}

void JournalPanel::showDraft(QString text) {
    m_unreadText.reset();
    m_reading.stop();
    ++m_editorVersion;
    editorText->setText(std::move(text));
    m_kept = true;
    m_typed = false;
    editor->moveCursor(QTextCursor::End);
    editor->setFocus();
}

void JournalPanel::discardDraft() {
    m_draftBar->hide();
    if (!m_drafts)
        return;
    m_drafts->remove(m_draftDay);
    m_kept = false;
    refreshMarks();
}

// An entry of megabytes (a store edited elsewhere) shows its start at once and
// the rest as it is read between events. Shows before + the text from
// character `from` on, and gives back the start it showed; nothing for an
// entry short enough to read at once.
std::optional<QString> JournalPanel::showLongText(qint64 key, const QString &before,
                                                  qsizetype from) {
    std::unique_ptr<StoredText> text = StoredText::open(
        *m_records->store(), JournalEntry::Table, JournalEntry::TextField, key, LongTextBytes);
    if (!text)
        return std::nullopt;
    const std::optional<QString> head = text->read(LongTextSlice);
    if (!head)
        return std::nullopt;
    const QString start = before + *head;
    setEditorText(start.mid(from));
    m_unreadText = std::move(text);
    readRestAside(head->endsWith(u'\r'));
    return start;
}

// The rest of a long entry is read, decoded and put after what is shown on a
// pool thread; the window's thread only hands it to the editor. Where it
// cannot be read there, it is read here in slices between events.
void JournalPanel::readRestAside(bool shownEndsInCr) {
    std::shared_ptr<StoredText> rest = m_unreadText->unread();
    if (!rest)
        return m_reading.start();
    const quint64 id = ++m_readingId;
    QPointer<JournalPanel> self(this);
    QThreadPool::globalInstance()->start(
        [self, id, rest, shown = m_shownText, shownEndsInCr]() mutable {
            std::optional<QString> more = rest->readAll();
            rest.reset();
            if (more && shownEndsInCr && more->startsWith(u'\n'))
                more->remove(0, 1); // the second half of a CR LF pair cut in two
            if (more)
                more = shown + unifiedLineEnds(std::move(*more));
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, id, from = shown.size(), whole = std::move(more)]() mutable {
                    if (self)
                        self->restRead(id, std::move(whole), from);
                    else
                        releaseAside(std::move(whole).value_or(QString()));
                },
                Qt::QueuedConnection);
        });
}

// The whole text, of which what is shown holds up to `from`.
void JournalPanel::restRead(quint64 id, std::optional<QString> whole, qsizetype from) {
    if (id != m_readingId || !m_unreadText)
        return releaseAside(std::move(whole).value_or(QString())); // shown otherwise since
    if (!whole)
        return m_reading.start();
    m_unreadText.reset();
    editorText->appendText(*whole, from);
    if (!m_shownWhole)
        releaseAside(std::exchange(m_shownText, std::move(*whole)));
    if (!m_typed)
        offerDraft();
}

void JournalPanel::readMoreText() {
    if (!m_unreadText)
        return m_reading.stop();
    const std::optional<QString> more = m_unreadText->read(LongTextSlice);
    if (more) {
        editorText->appendText(*more);
        if (!m_shownWhole)
            m_shownText += unifiedLineEnds(*more);
    } else {
        qWarning("a long entry could not be read to its end");
    }
    if (!more || m_unreadText->atEnd()) {
        m_unreadText.reset();
        m_reading.stop();
        if (!m_typed)
            offerDraft();
    }
}

// Where the walk over every entry leaves the record set.
void JournalPanel::moveToEnd() {
    if (m_records->moveLast())
        skipFailure(m_records->moveNext(), "stepping past the last entry");
}

void JournalPanel::reloadList() {
    refreshMarks();
    entries->clear();
    if (!m_records->moveFirst() || m_records->eof())
        return;
    entries->setKeys(m_records->keys());
    moveToEnd();
}

void JournalPanel::showEntryOfSelectedDay() {
    keepDraftNow();
    m_shownKey = -1;
    showDayEntry();
    dayShown();
}

void JournalPanel::showDayEntry() {
    const QString key = calendarKey();
    // A journal that cannot be read shows no day's text, so nothing typed
    // under one day seems to belong to another.
    if (!m_records->isOpen())
        setEditorText(QString());
    if (!m_records->moveFirst() || m_records->eof())
        return;
    const qint64 found = m_records->findFirst(QLatin1String(JournalEntry::DayField), key);
    if (found >= 0 && m_records->moveToKey(found)) {
        if (!showLongText(found))
            setEditorText(m_records->text(QLatin1String(JournalEntry::TextField)));
        deleteButton->setEnabled(true);
    } else {
        setEditorText(QString());
        moveToEnd();
    }
}

// Made when a save first has to wait: measuring its text loads a font the
// window's first sight does without.
QLabel *JournalPanel::waitNote() {
    if (m_waitNote)
        return m_waitNote;
    m_waitNote = new QLabel(QStringLiteral("正在保存日记，请稍候…"), editorFrame);
    m_waitNote->setObjectName(QStringLiteral("savingNote"));
    m_waitNote->setStyleSheet(QStringLiteral("background: #fff8c0; padding: 2px;"));
    m_waitNote->adjustSize();
    m_waitNote->move(editor->geometry().bottomLeft() - QPoint(-4, m_waitNote->height() + 4));
    return m_waitNote;
}

void JournalPanel::saveEntry() {
    const QString key = calendarKey();
    if (!Interaction::current().confirm(editor->window(), QStringLiteral("保存日记吗？"),
                                        QStringLiteral("save")))
        return;
    draftRestored(true);
    // Only a row that really is new may receive the key and the text. Of a
    // long entry still being read, the rest is read again on the worker while
    // the editor goes on reading it here.
    std::shared_ptr<StoredText> rest = m_unreadText ? m_unreadText->unread() : nullptr;
    while (m_unreadText && !rest) // all of it, however little has been read
        readMoreText();
    m_saves.push_back({key, editorText->pieces(), m_editorVersion, std::move(rest)});
    if (m_saving)
        return; // the save under way writes this one next
    m_saving = true;
    while (!m_saves.empty()) {
        Save next = std::move(m_saves.front());
        m_saves.pop_front();
        writeEntry(std::move(next));
    }
    m_saving = false;
    m_typedAt.clear();
    reloadList();
}

// A long text is put together and converted on the worker, and let go there:
// the window's thread only hands over what it holds.
void JournalPanel::writeEntry(Save save) {
    auto whole = std::make_shared<QString>();
    const Result saved = m_records->appendAside(
        {QLatin1String(JournalEntry::DayField), QLatin1String(JournalEntry::TextField)},
        [day = save.day, text = std::move(save.text), rest = std::move(save.rest),
         whole]() mutable {
            *whole = std::move(text).joined();
            const std::optional<QString> more = rest ? rest->readAll() : QString();
            rest.reset();
            if (!more)
                return QVariantList(); // never a part of the text for the whole
            whole->append(*more);
            return QVariantList{day, *whole};
        },
        [this] { waitNote()->show(); });
    if (m_waitNote)
        m_waitNote->hide();
    if (!saved)
        return tellNotSaved(saved); // the draft stays
    entrySaved(save, std::move(*whole));
}

// The day's draft goes unless a key was typed on that day since the click;
// the editor is known to show the saved text if nothing changed it since.
void JournalPanel::entrySaved(const Save &save, QString text) {
    if (!m_drafts)
        return;
    if (m_typedAt.value(save.day) <= save.shown)
        m_drafts->remove(save.day);
    if (m_editorVersion != save.shown)
        return;
    m_draftPause.stop();
    m_typed = false;
    releaseAside(std::exchange(m_shownText, std::move(text)));
    m_shownWhole = true; // what is still being read of it is in it already
    m_kept = false;
    m_draftBar->hide();
}

void JournalPanel::tellNotSaved(const Result &why) {
    QString reason;
    switch (why.code()) {
    case Result::Code::ReadOnly:
        reason = QStringLiteral("日记本以只读方式打开，不能写入。");
        break;
    case Result::Code::Unavailable:
        reason = QStringLiteral("日记本文件无法读取。");
        break;
    case Result::Code::Busy:
        reason = QStringLiteral("日记本一直被其他程序占用，等了%1秒仍无法写入。请稍后再保存。")
                     .arg(Store::WriteWaitMs / 1000);
        break;
    default:
        reason = QStringLiteral("写入日记本时出错（%1）。").arg(why.message());
    }
    Interaction::current().inform(editor->window(),
                                  QStringLiteral("这篇日记没有保存：%1").arg(reason),
                                  QStringLiteral("日记没有保存"));
}

// A record reached through the list or a search is the one the user sees;
// after a click on a day it is the day's first.
qint64 JournalPanel::entryToDelete(const QString &day) {
    if (m_shownKey >= 0 && m_records->moveToKey(m_shownKey))
        return m_shownKey;
    return m_records->findFirstWithPrefix(QLatin1String(JournalEntry::DayField), day);
}

void JournalPanel::deleteEntry() {
    if (m_records->isWriting())
        return;
    const QString key = calendarKey();
    if (!m_records->moveFirst() || m_records->eof())
        return;
    const qint64 found = entryToDelete(key);
    if (found >= 0)
        skipFailure(m_records->moveToKey(found), "going to the entry to delete");
    else
        moveToEnd();
    if (!Interaction::current().confirm(editor->window(), QStringLiteral("是否删除真的当前记录?"),
                                        QString()))
        return;
    if (found < 0 || !m_records->deleteCurrent())
        return;
    skipFailure(m_records->moveNext(), "stepping past a deleted entry");
    m_shownKey = -1;
    setEditorText(QString());
    if (m_records->eof())
        skipFailure(m_records->movePrevious(), "stepping back to the last entry");
    skipFailure(m_records->update(), "writing after a delete");
    reloadList();
    entryList->viewport()->update();
}

void JournalPanel::showFoundEntry(qint64 key, const QString &query) {
    keepDraftNow();
    if (!m_records->moveToKey(key))
        return;
    m_shownKey = key;
    const QDate day = QDate::fromString(m_records->text(QLatin1String(JournalEntry::DayField)),
                                        QStringLiteral("yyyyMMdd"));
    if (day.isValid()) {
        calendar->setSelectedDate(day);
        calendar->setCurrentPage(day.year(), day.month());
    }
    if (!showLongText(key))
        setEditorText(m_records->text(QLatin1String(JournalEntry::TextField)));
    deleteButton->setEnabled(true);
    dayShown();
    QStringList words = QString(query).remove(u'"').split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    while (m_unreadText) // the first hit may lie anywhere in it
        readMoreText();
    editorText->markWords(words);
}

void JournalPanel::showListedEntry(const QModelIndex &index) {
    // The list line is the day key, a space and the text; the editor shows
    // it from its tenth character.
    keepDraftNow();
    const qint64 key = index.data(EntryListModel::KeyRole).toLongLong();
    m_shownKey = key;
    const std::vector<Store::EntryHead> head = m_records->store()->journalHeads(key, key, 0);
    std::optional<QString> line;
    if (head.size() == 1)
        line = showLongText(key, head.front().dates + QLatin1Char(' '), 9);
    if (!line) {
        line = entries->fullLine(index.row());
        setEditorText(line->mid(9));
    }
    const int year = leadingNumber(line->mid(0, 4));
    const int month = leadingNumber(line->mid(4, 2));
    const int day = leadingNumber(line->mid(6, 2));
    // Set as one date when it is one: setting the year alone first could
    // fail on 29 February and leave the calendar on a wrong day.
    if (QDate(year, month, day).isValid()) {
        calendar->setSelectedDate(QDate(year, month, day));
        dayShown();
        return;
    }
    // Otherwise each part that makes a valid date is applied, in order.
    QDate d = calendar->selectedDate();
    if (QDate(year, d.month(), d.day()).isValid())
        d = QDate(year, d.month(), d.day());
    if (QDate(d.year(), month, d.day()).isValid())
        d = QDate(d.year(), month, d.day());
    if (QDate(d.year(), d.month(), day).isValid())
        d = QDate(d.year(), d.month(), day);
    calendar->setSelectedDate(d);
    dayShown();
}

void JournalPanel::editorChanged() {
    const bool hasText = !editor->document()->isEmpty();
    deleteButton->setEnabled(hasText);
    saveButton->setEnabled(hasText);
}

void JournalPanel::chooseFont() {
    const SelectionFormat sel = SelectionFormat::of(editor);
    if (sel.colour)
        m_dialogColour = *sel.colour;
    if (!editor->isVisible())
        return; // the dialog's values go back unchanged
    // A mixed attribute starts the dialog from the insertion point's value
    // and is applied only if the user changes it.
    const SelectionFormat start = [&] {
        SelectionFormat s = sel;
        const QFont f =
            editor->currentCharFormat().font().resolve(editor->document()->defaultFont());
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

    const std::optional<QFont> chosen =
        Interaction::current().chooseFont(editor->window(), initial);
    if (!chosen)
        return; // Cancel writes back what was read: nothing changes
    // An attribute is applied where the selection had one value, or where
    // the user changed the value the dialog started from.
    SelectionFormat change;
    auto take = [](auto &into, const auto &was, const auto &shown, const auto &now) {
        if (was.has_value() || !(shown == now))
            into = now;
    };
    take(change.fontName, sel.fontName, *start.fontName, chosen->family());
    if (chosen->pointSizeF() > 0)
        take(change.fontSize, sel.fontSize, *start.fontSize, chosen->pointSizeF());
    take(change.bold, sel.bold, *start.bold, chosen->bold());
    take(change.italic, sel.italic, *start.italic, chosen->italic());
    take(change.underline, sel.underline, *start.underline, chosen->underline());
    applyToSelection(editor, change);
}

void JournalPanel::growFont() {
    const SelectionFormat sel = SelectionFormat::of(editor);
    if (!sel.fontSize || *sel.fontSize + 1 > LargestFontSize)
        return;
    applyToSelection(editor, {.fontSize = *sel.fontSize + 1});
}

void JournalPanel::shrinkFont() {
    const SelectionFormat sel = SelectionFormat::of(editor);
    if (!sel.fontSize || *sel.fontSize - 1 < 1)
        return;
    applyToSelection(editor, {.fontSize = *sel.fontSize - 1});
}

void JournalPanel::toggleUnderline() {
    const SelectionFormat sel = SelectionFormat::of(editor);
    applyToSelection(editor, {.underline = sel.underline.has_value() && !*sel.underline});
}

void JournalPanel::chooseColour() {
    if (const std::optional<QColor> chosen =
            Interaction::current().chooseColor(editor->window(), m_dialogColour))
        m_dialogColour = *chosen;
    applyToSelection(editor, {.colour = m_dialogColour});
}

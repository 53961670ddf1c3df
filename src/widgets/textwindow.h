// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QKeyEvent;
class QTextBlock;
class WholeTextBar;
class QTextEdit;

// Puts a text of any length into an editor without holding up the interface.
//
// A text editor lays out a block in one go and cannot lay out more than some
// eight million pixels of height at all, so a chapter of tens of megabytes or
// an entry of millions of characters on one line would freeze the window. Here
// the first screen is shown at once and the rest follows in slices between
// events; the editor's document only ever holds a window of the text, which
// slides as the user scrolls; and a line too long to lay out quickly is shown
// as several blocks joined by soft breaks, which text() leaves out again. The
// scroll bar shows where the view is in the whole text. Select-all takes the
// whole text, not only the part in the document, and what is typed over it
// replaces the whole text.
class TextWindow : public QObject {
    Q_OBJECT
public:
    explicit TextWindow(QTextEdit *editor);

    // Shows text from its top, or from the line holding offset `at` of the
    // text as text() gives it; an offset past the end shows the top. Line
    // ends of any kind become '\n'.
    void setText(QString text, qsizetype at = 0);
    // Adds text that was not at hand when setText() was called; a CR LF pair
    // may be cut between the two.
    void appendText(QString more);
    // Adds text from offset `from` on, its line ends already '\n': a text
    // that holds what is shown already goes in without being copied.
    void appendText(QString text, qsizetype from);
    // The whole text as the user has it now: soft breaks joined, line ends '\n'.
    QString text() const;
    // text() in pieces, put together by joined() on any thread: a long text
    // need not be copied on the window's.
    struct Pieces {
        QString before, shown, after;
        qsizetype afterAt = 0;
        QString joined() &&;
        qsizetype size() const { return before.size() + shown.size() + after.size() - afterAt; }
        // Whether joined() would give that text, without putting it together.
        bool equals(QStringView whole) const;
    };
    Pieces pieces() const;
    // Whether all of the text is in the editor's document.
    bool holdsEverything() const { return m_before.isEmpty() && afterText().isEmpty(); }
    // The length of text() without building it.
    qsizetype size() const;

    // The offset in text() of the first character of the line seen at y in
    // the editor's viewport: a place that outlives a change of font or width.
    qsizetype offsetAt(int y) const;
    // Scrolls the line holding that offset to the top, bringing that part of
    // the text into the document first if it is not there.
    void showOffset(qsizetype offset);

    // Puts the cursor at the first place any of the words occurs (case
    // aside), scrolled into view, and marks where they occur in what the
    // document holds; the marks are no part of the text and go with the next
    // edit or click. False when none occurs.
    bool markWords(const QStringList &words);
    void clearMarks();

Q_SIGNALS:
    // The user changed the text (typing, deleting, pasting, replacing the
    // whole); not sent for what setText() and the sliding window do.
    void edited();
    // Select-all is about to take the whole text: what is still to come
    // should be appended first.
    void wholeTextWanted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

public:
    // A line longer than this is shown in blocks of at most this size.
    static constexpr qsizetype LongestBlock = 8192;
    // What goes into or out of the document in one step.
    static constexpr qsizetype Slice = 32768;
    static constexpr int SliceLines = 2000;
    // What the document holds once the text is fed; scrolling may take it to
    // twice this while what is on screen still needs it.
    static constexpr qsizetype WindowChars = 10 * Slice;
    static constexpr int WindowBlocks = 30000;

private:
    bool takeKey(const QKeyEvent *key);
    void replaceWhole(const QString &with);
    void documentChanged(int from, int removed, int added);
    void fill(QString text, qsizetype start);
    qsizetype documentOffset(int position) const;
    int documentPosition(qsizetype offset) const;
    void scrollToPosition(int position);
    void step();
    void showPlaceOnBar();
    QStringView afterText() const;
    int viewHeight() const;
    qreal top(const QTextBlock &block) const;
    bool nearBottom() const;
    bool nearTop() const;
    bool full(int times) const;
    void appendSlice();
    void prependSlice();
    void dropTop();
    void dropBottom();

    QTextEdit *m_editor;
    QString m_before; // text above the document's first block, ending in '\n' unless that block
                      // continues it
    QString m_after;  // from m_afterAt: text below the last block, starting with '\n' unless that
                      // block continues into it
    qsizetype m_afterAt = 0;
    bool m_endsInCr = false; // the text given so far ends in a CR
    QTimer m_steps;
    WholeTextBar *m_bar;
    QTimer m_barUpdate;
    int m_ownEdits = 0;           // above 0 while the window itself changes the document
    bool m_wholeSelected = false; // select-all took the whole text, not just the document
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/textwindow.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

namespace {

// Marks a block that continues the line of the block before it. Splitting a
// block keeps the mark on its first half, so a break the user types inside a
// marked block is a real one; joining two blocks drops the second's mark.
class SoftBreak : public QTextBlockUserData {};

bool isSoft(const QTextBlock &block) {
    return dynamic_cast<SoftBreak *>(block.userData()) != nullptr;
}

bool isSentenceEnd(QChar c) {
    switch (c.unicode()) {
    case u'。':
    case u'！':
    case u'？':
    case u'；':
    case u'，':
    case u'、':
    case u'.':
    case u'!':
    case u'?':
    case u';':
    case u',':
    case u' ':
    case u'\t':
        return true;
    default:
        return false;
    }
}

// Where to cut a line that must be cut within limit characters: after a
// punctuation mark or a space near the limit when there is one, and never
// between the halves of a surrogate pair.
qsizetype softCut(QStringView line, qsizetype limit) {
    if (line.size() <= limit)
        return line.size();
    for (qsizetype i = limit; i > limit - limit / 8; --i)
        if (isSentenceEnd(line[i - 1]))
            return i;
    return line[limit - 1].isHighSurrogate() ? limit - 1 : limit;
}

// The length of the slice at the front of text: up to a line end where one is
// near, so what remains starts with '\n'. A '\n' at the very front is the
// slice's own first line end.
qsizetype frontSlice(QStringView text, qsizetype most = TextWindow::Slice,
                     int mostLines = TextWindow::SliceLines) {
    const qsizetype limit = std::min(text.size(), most);
    if (limit == text.size() && text.count(u'\n') <= mostLines)
        return limit;
    qsizetype lastEnd = 0;
    int lines = 0;
    for (qsizetype i = 1; i < limit; ++i) {
        if (text[i] != u'\n')
            continue;
        lastEnd = i;
        if (++lines >= mostLines)
            return i;
    }
    return lastEnd > limit / 2 ? lastEnd : softCut(text, limit);
}

// Where the slice at the back of text starts: just after a line end where one
// is near, so what remains ends with '\n'.
qsizetype backSlice(QStringView text) {
    const qsizetype size = text.size();
    const qsizetype floor = std::max<qsizetype>(0, size - TextWindow::Slice);
    if (floor == 0 && text.count(u'\n') <= TextWindow::SliceLines)
        return 0;
    qsizetype firstStart = size;
    int lines = 0;
    for (qsizetype i = size - 2; i >= floor; --i) {
        if (text[i] != u'\n')
            continue;
        firstStart = i + 1;
        if (++lines >= TextWindow::SliceLines)
            return firstStart;
    }
    if (firstStart < size - TextWindow::Slice / 2)
        return firstStart;
    const qsizetype cut = size - TextWindow::Slice;
    return text[cut].isLowSurrogate() ? cut - 1 : cut;
}

void markSoft(QTextCursor &c) {
    c.block().setUserData(new SoftBreak);
}

// Inserts text at the cursor: '\n' starts a block, and a line too long to lay
// out in one go goes in as soft-joined blocks.
void insertLines(QTextCursor &c, QStringView text) {
    const QTextCharFormat plain;
    qsizetype runStart = 0;
    qsizetype lineStart = 0;
    auto flush = [&](qsizetype end) {
        if (end > runStart)
            c.insertText(text.mid(runStart, end - runStart).toString(), plain);
    };
    while (lineStart <= text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        if (lineEnd - lineStart > TextWindow::LongestBlock) {
            flush(lineStart);
            QStringView rest = text.mid(lineStart, lineEnd - lineStart);
            for (bool first = true; !rest.isEmpty(); first = false) {
                if (!first) {
                    c.insertBlock();
                    markSoft(c);
                }
                const qsizetype piece = softCut(rest, TextWindow::LongestBlock);
                c.insertText(rest.left(piece).toString(), plain);
                rest = rest.mid(piece);
            }
            if (lineEnd < text.size())
                c.insertBlock();
            runStart = lineEnd + 1;
        }
        lineStart = lineEnd + 1;
    }
    flush(text.size());
}

bool hasLongLine(QStringView text) {
    qsizetype start = 0;
    for (qsizetype end; (end = text.indexOf(u'\n', start)) >= 0; start = end + 1)
        if (end - start > TextWindow::LongestBlock)
            return true;
    return text.size() - start > TextWindow::LongestBlock;
}

// The text of the blocks from first up to (not including) end, joined as the
// user wrote it.
QString blockText(QTextBlock block, const QTextBlock &end) {
    QString out;
    for (bool first = true; block.isValid() && block != end; block = block.next(), first = false) {
        if (!first && !isSoft(block))
            out += u'\n';
        out += block.text();
    }
    return out;
}

void unifyLineEnds(QString &text) {
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
    }
}

// Where a document that is to show offset `at` starts: at the start of its
// line when that is near, so the line wraps as it does in the whole text.
qsizetype lineStartNear(QStringView text, qsizetype at) {
    const qsizetype lineStart = text.left(at).lastIndexOf(u'\n') + 1;
    if (at - lineStart <= TextWindow::Slice / 4)
        return lineStart;
    return at < text.size() && text[at].isLowSurrogate() ? at - 1 : at;
}

// Edits the document without leaving steps in the user's undo history.
template <typename F> void quietly(QTextDocument *doc, F edit) {
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    edit();
    doc->setUndoRedoEnabled(undo);
}

} // namespace

// The editor's scroll bar, drawn for where the view is in the whole text
// rather than in the part of it the document holds; its handle, dragged,
// takes the view anywhere in the whole text.
class WholeTextBar : public QScrollBar {
public:
    explicit WholeTextBar(std::function<void(qsizetype)> jump)
        : QScrollBar(Qt::Vertical), m_jump(std::move(jump)) {}

    // The whole text's length, how much of it is seen and from where; a
    // length of 0 leaves the bar to the document.
    void setWhole(qsizetype size, qsizetype seen, qsizetype at) {
        auto fit = [](qsizetype n) { return int(std::clamp<qsizetype>(n, 0, INT_MAX)); };
        if (fit(size) == m_size && fit(seen) == m_seen && fit(at) == m_at)
            return;
        m_size = fit(size);
        m_seen = fit(seen);
        m_at = fit(at);
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override {
        if (m_size == 0) {
            QScrollBar::paintEvent(event);
            return;
        }
        QPainter p(this);
        const QStyleOptionSlider opt = wholeOption();
        style()->drawComplexControl(QStyle::CC_ScrollBar, &opt, &p, this);
    }
    void mousePressEvent(QMouseEvent *event) override {
        if (m_size == 0 || event->button() != Qt::LeftButton) {
            QScrollBar::mousePressEvent(event);
            return;
        }
        const QStyleOptionSlider opt = wholeOption();
        const QPoint at = event->position().toPoint();
        switch (style()->hitTestComplexControl(QStyle::CC_ScrollBar, &opt, at, this)) {
        case QStyle::SC_ScrollBarSlider:
            m_grab = at.y() - part(opt, QStyle::SC_ScrollBarSlider).top();
            update();
            break;
        case QStyle::SC_ScrollBarAddLine:
            triggerAction(SliderSingleStepAdd);
            break;
        case QStyle::SC_ScrollBarSubLine:
            triggerAction(SliderSingleStepSub);
            break;
        case QStyle::SC_ScrollBarAddPage:
            triggerAction(SliderPageStepAdd);
            break;
        case QStyle::SC_ScrollBarSubPage:
            triggerAction(SliderPageStepSub);
            break;
        default:
            break;
        }
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent *event) override {
        if (m_grab < 0) {
            QScrollBar::mouseMoveEvent(event);
            return;
        }
        const QStyleOptionSlider opt = wholeOption();
        const QRect groove = part(opt, QStyle::SC_ScrollBarGroove);
        const int span =
            std::max(1, groove.height() - part(opt, QStyle::SC_ScrollBarSlider).height());
        const int y = event->position().toPoint().y() - m_grab - groove.top();
        m_jump(QStyle::sliderValueFromPosition(0, opt.maximum, y, span));
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent *event) override {
        if (m_grab < 0) {
            QScrollBar::mouseReleaseEvent(event);
            return;
        }
        m_grab = -1;
        update();
        event->accept();
    }

private:
    QStyleOptionSlider wholeOption() const {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        opt.subControls = QStyle::SC_All; // as the bar's own painting asks for
        opt.minimum = 0;
        opt.maximum = std::max(0, m_size - m_seen);
        opt.pageStep = std::max(1, m_seen);
        opt.sliderPosition = opt.sliderValue = std::min(m_at, opt.maximum);
        if (m_grab >= 0) {
            opt.activeSubControls = QStyle::SC_ScrollBarSlider;
            opt.state |= QStyle::State_Sunken;
        }
        return opt;
    }
    QRect part(const QStyleOptionSlider &opt, QStyle::SubControl which) const {
        return style()->subControlRect(QStyle::CC_ScrollBar, &opt, which, this);
    }

    std::function<void(qsizetype)> m_jump;
    int m_size = 0, m_seen = 0, m_at = 0;
    int m_grab = -1; // where in the handle it was taken, while dragged
};

TextWindow::TextWindow(QTextEdit *editor)
    : QObject(editor), m_editor(editor),
      m_bar(new WholeTextBar([this](qsizetype at) { showOffset(at); })) {
    editor->setVerticalScrollBar(m_bar);
    m_steps.setInterval(0);
    connect(&m_steps, &QTimer::timeout, this, &TextWindow::step);
    // Once for all that changed between two events.
    m_barUpdate.setSingleShot(true);
    m_barUpdate.setInterval(0);
    connect(&m_barUpdate, &QTimer::timeout, this, &TextWindow::showPlaceOnBar);
    auto follow = [this] {
        if (!holdsEverything())
            m_steps.start();
        m_barUpdate.start();
    };
    QScrollBar *bar = editor->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, follow);
    connect(bar, &QScrollBar::rangeChanged, this, follow);
    connect(editor->document(), &QTextDocument::contentsChange, this, &TextWindow::documentChanged);
    editor->installEventFilter(this);
    editor->viewport()->installEventFilter(this);
}

void TextWindow::documentChanged(int, int removed, int added) {
    if (m_ownEdits > 0 || (removed == 0 && added == 0))
        return;
    m_wholeSelected = false;
    clearMarks();
    Q_EMIT edited();
}

bool TextWindow::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        return watched == m_editor && takeKey(static_cast<QKeyEvent *>(event));
    case QEvent::InputMethod:
        if (const auto *im = static_cast<QInputMethodEvent *>(event);
            m_wholeSelected && !im->commitString().isEmpty()) {
            replaceWhole(im->commitString());
            return true;
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_wholeSelected = false;
        clearMarks();
        return false;
    default:
        return false;
    }
}

// Keys that act on a selection of the whole text act on the whole text; any
// other key ends that selection and does what it always does.
bool TextWindow::takeKey(const QKeyEvent *key) {
    if (key->matches(QKeySequence::SelectAll)) {
        Q_EMIT wholeTextWanted();
        m_editor->selectAll();
        m_wholeSelected = !holdsEverything();
        return true;
    }
    if (!m_wholeSelected)
        return false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut)) {
        clipboard->setText(text());
        if (key->matches(QKeySequence::Cut) && !m_editor->isReadOnly())
            replaceWhole(QString());
        return true;
    }
    if (m_editor->isReadOnly())
        return false;
    if (key->matches(QKeySequence::Paste)) {
        replaceWhole(clipboard->text());
        return true;
    }
    const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) {
        replaceWhole(QString());
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        replaceWhole(QStringLiteral("\n"));
        return true;
    }
    if (!command && !key->text().isEmpty() && key->text().front().isPrint()) {
        replaceWhole(key->text());
        return true;
    }
    const bool modifierOnly = key->key() == Qt::Key_Shift || key->key() == Qt::Key_Control ||
                              key->key() == Qt::Key_Alt || key->key() == Qt::Key_Meta;
    m_wholeSelected = m_wholeSelected && modifierOnly;
    return false;
}

void TextWindow::replaceWhole(const QString &with) {
    m_wholeSelected = false;
    setText(with);
    m_editor->moveCursor(QTextCursor::End);
    Q_EMIT edited();
}

bool TextWindow::markWords(const QStringList &words) {
    qsizetype first = -1;
    const QString whole = text();
    for (const QString &word : words)
        if (const qsizetype at = word.isEmpty() ? -1 : whole.indexOf(word, 0, Qt::CaseInsensitive);
            at >= 0 && (first < 0 || at < first))
            first = at;
    if (first < 0)
        return false;
    showOffset(first);
    QTextDocument *doc = m_editor->document();
    QTextCursor cursor(doc);
    cursor.setPosition(std::max(0, documentPosition(first)));
    m_editor->setTextCursor(cursor);
    m_editor->ensureCursorVisible();
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat marked;
    marked.setBackground(QColor(255, 220, 90));
    for (const QString &word : words)
        for (QTextCursor c = doc->find(word); !word.isEmpty() && !c.isNull() && marks.size() < 5000;
             c = doc->find(word, c))
            marks.append({c, marked});
    m_editor->setExtraSelections(marks);
    return true;
}

void TextWindow::clearMarks() {
    if (!m_editor->extraSelections().isEmpty())
        m_editor->setExtraSelections({});
}

void TextWindow::setText(QString text, qsizetype at) {
    m_steps.stop();
    m_wholeSelected = false;
    clearMarks();
    m_endsInCr = text.endsWith(u'\r');
    unifyLineEnds(text);
    if (at <= 0 || at > text.size()) {
        fill(std::move(text), 0);
        return;
    }
    const qsizetype start = lineStartNear(text, at);
    fill(std::move(text), start);
    showOffset(at);
}

// The document holds the text from start on; what is above it waits in
// m_before.
void TextWindow::fill(QString text, qsizetype start) {
    ++m_ownEdits;
    const auto owned = qScopeGuard([this] { --m_ownEdits; });
    m_before = text.left(start);
    const QStringView rest = QStringView(text).mid(start);
    // Short lines cost little until the editor lays them out, which it does
    // in steps of its own: most texts go in whole at once. A place further
    // down starts with less, as the user sees only a screen of it at first.
    qsizetype first = start == 0 ? frontSlice(rest, 4 * Slice, 4 * SliceLines)
                                 : frontSlice(rest, Slice / 4, SliceLines / 4);
    QStringView head = rest.left(first);
    const bool longLines = hasLongLine(head);
    if (longLines && start == 0) {
        first = frontSlice(rest);
        head = head.left(first);
    }
    m_editor->setCurrentCharFormat(QTextCharFormat());
    if (!longLines) {
        m_editor->setPlainText(head.toString());
    } else {
        m_editor->setPlainText(QString());
        QTextDocument *doc = m_editor->document();
        quietly(doc, [&] {
            QTextCursor c(doc);
            insertLines(c, head);
        });
        m_editor->moveCursor(QTextCursor::Start);
    }
    if (start + first < text.size()) {
        m_after = std::move(text);
        m_afterAt = start + first;
    } else {
        m_after.clear();
        m_afterAt = 0;
    }
    if (!holdsEverything())
        m_steps.start();
    m_barUpdate.start();
}

void TextWindow::appendText(QString more) {
    if (m_endsInCr && more.startsWith(u'\n'))
        more.remove(0, 1); // the second half of a CR LF pair cut in two
    if (!more.isEmpty())
        m_endsInCr = more.endsWith(u'\r');
    unifyLineEnds(more);
    if (more.isEmpty())
        return;
    if (afterText().isEmpty()) {
        m_after = std::move(more);
        m_afterAt = 0;
    } else {
        m_after += more;
    }
    m_steps.start();
}

void TextWindow::appendText(QString text, qsizetype from) {
    m_endsInCr = false;
    if (from >= text.size())
        return;
    if (afterText().isEmpty()) {
        m_after = std::move(text);
        m_afterAt = from;
    } else {
        m_after += QStringView(text).mid(from);
    }
    m_steps.start();
}

QString TextWindow::text() const {
    return pieces().joined();
}

TextWindow::Pieces TextWindow::pieces() const {
    const QTextDocument *doc = m_editor->document();
    return {m_before, blockText(doc->begin(), doc->end()), m_after, m_afterAt};
}

QString TextWindow::Pieces::joined() && {
    const QStringView rest = QStringView(after).mid(afterAt);
    if (before.isEmpty() && rest.isEmpty())
        return std::move(shown);
    QString whole;
    whole.reserve(before.size() + shown.size() + rest.size());
    whole.append(before).append(shown).append(rest);
    *this = {};
    return whole;
}

// Pieces that share their text with it (as what was shown shares it with
// the editor's) compare without reading it.
bool TextWindow::Pieces::equals(QStringView whole) const {
    if (size() != whole.size())
        return false;
    auto same = [](QStringView a, QStringView b) {
        return a.size() == b.size() && (a.data() == b.data() || a == b);
    };
    const QStringView rest = QStringView(after).mid(afterAt);
    return same(whole.left(before.size()), before) &&
           same(whole.mid(before.size(), shown.size()), shown) &&
           same(whole.right(rest.size()), rest);
}

// A soft break joins two blocks without a character of the text between them.
qsizetype TextWindow::documentOffset(int position) const {
    const QTextDocument *doc = m_editor->document();
    qsizetype soft = 0;
    for (QTextBlock b = doc->begin().next(); b.isValid() && b.position() <= position; b = b.next())
        soft += isSoft(b) ? 1 : 0;
    return m_before.size() + position - soft;
}

// The document position of an offset of text(); -1 when it lies outside.
int TextWindow::documentPosition(qsizetype offset) const {
    qsizetype rest = offset - m_before.size();
    if (rest < 0)
        return -1;
    for (QTextBlock b = m_editor->document()->begin(); b.isValid(); b = b.next()) {
        const qsizetype length = b.length() - 1;
        if (rest <= length)
            return b.position() + int(rest);
        rest -= length + (b.next().isValid() && isSoft(b.next()) ? 0 : 1);
    }
    return -1;
}

qsizetype TextWindow::size() const {
    return documentOffset(m_editor->document()->characterCount() - 1) + afterText().size();
}

qsizetype TextWindow::offsetAt(int y) const {
    QTextDocument *doc = m_editor->document();
    // A pixel into the line, so the line just above its top is not taken.
    const QPointF at(0, m_editor->verticalScrollBar()->value() + y + 1);
    QTextCursor c(doc);
    c.setPosition(std::max(0, doc->documentLayout()->hitTest(at, Qt::FuzzyHit)));
    c.movePosition(QTextCursor::StartOfLine);
    return documentOffset(c.position());
}

void TextWindow::showOffset(qsizetype offset) {
    offset = std::clamp<qsizetype>(offset, 0, size());
    int position = documentPosition(offset);
    if (position < 0) {
        m_steps.stop();
        QString all = text();
        const qsizetype start = lineStartNear(all, offset);
        fill(std::move(all), start);
        position = documentPosition(offset);
    }
    if (position >= 0)
        scrollToPosition(position);
}

void TextWindow::scrollToPosition(int position) {
    QTextDocument *doc = m_editor->document();
    const QTextBlock block = doc->findBlock(position);
    qreal y = top(block);
    if (const QTextLayout *layout = block.layout(); layout && layout->lineCount() > 0) {
        const QTextLine line = layout->lineForTextPosition(position - block.position());
        if (line.isValid())
            y += line.y();
    }
    // The editor lays out lazily: what lies a screen or two below must be
    // laid out for the scroll range to reach the line.
    QTextBlock below = block;
    while (below.isValid() && top(below) < y + 2 * viewHeight())
        below = below.next();
    QScrollBar *bar = m_editor->verticalScrollBar();
    const int value = int(std::floor(y));
    bar->setMaximum(std::max(bar->maximum(), value));
    bar->setValue(value);
}

QStringView TextWindow::afterText() const {
    return QStringView(m_after).mid(m_afterAt);
}

void TextWindow::showPlaceOnBar() {
    if (holdsEverything()) {
        m_bar->setWhole(0, 0, 0);
        return;
    }
    const qsizetype at = offsetAt(0);
    m_bar->setWhole(size(), offsetAt(viewHeight()) - at, at);
}

void TextWindow::step() {
    m_barUpdate.start();
    if (!afterText().isEmpty() && (!full(1) || (nearBottom() && !full(2)))) {
        appendSlice();
        if (full(1))
            dropTop();
    } else if (!m_before.isEmpty() && nearTop() && !full(2)) {
        prependSlice();
        if (full(1))
            dropBottom();
    } else {
        m_steps.stop();
    }
}

int TextWindow::viewHeight() const {
    return std::max(1, m_editor->viewport()->height());
}

bool TextWindow::nearBottom() const {
    const QScrollBar *bar = m_editor->verticalScrollBar();
    return bar->value() >= bar->maximum() - 2 * viewHeight();
}

bool TextWindow::nearTop() const {
    return m_editor->verticalScrollBar()->value() <= 2 * viewHeight();
}

bool TextWindow::full(int times) const {
    const QTextDocument *doc = m_editor->document();
    return doc->characterCount() > times * WindowChars || doc->blockCount() > times * WindowBlocks;
}

qreal TextWindow::top(const QTextBlock &block) const {
    return m_editor->document()->documentLayout()->blockBoundingRect(block).top();
}

void TextWindow::appendSlice() {
    ++m_ownEdits;
    const auto owned = qScopeGuard([this] { --m_ownEdits; });
    const QStringView rest = afterText();
    const qsizetype size = frontSlice(rest);
    const QStringView slice = rest.left(size);
    QTextDocument *doc = m_editor->document();
    quietly(doc, [&] {
        QTextCursor c(doc);
        c.movePosition(QTextCursor::End);
        if (slice.startsWith(u'\n')) {
            c.insertBlock();
            insertLines(c, slice.mid(1));
        } else {
            if (!c.block().text().isEmpty()) {
                c.insertBlock();
                markSoft(c);
            }
            insertLines(c, slice);
        }
    });
    m_afterAt += size;
    if (m_afterAt == m_after.size()) {
        m_after.clear();
        m_afterAt = 0;
    }
}

void TextWindow::prependSlice() {
    ++m_ownEdits;
    const auto owned = qScopeGuard([this] { --m_ownEdits; });
    const qsizetype start = backSlice(m_before);
    QStringView slice = QStringView(m_before).mid(start);
    const bool hardJoin = slice.endsWith(u'\n');
    if (hardJoin)
        slice.chop(1);
    QTextDocument *doc = m_editor->document();
    const qreal oldTop = top(doc->begin());
    qreal grown = 0;
    quietly(doc, [&] {
        QTextCursor c(doc);
        insertLines(c, slice);
        c.insertBlock();
        if (!hardJoin)
            markSoft(c);
        grown = top(c.block()) - oldTop;
    });
    m_before.truncate(start);
    QScrollBar *bar = m_editor->verticalScrollBar();
    const int value = bar->value() + qRound(grown);
    bar->setMaximum(std::max(bar->maximum(), value));
    bar->setValue(value);
}

// Moves a slice of blocks from the top of the document into the text above
// it, when they are well above what the user sees.
void TextWindow::dropTop() {
    ++m_ownEdits;
    const auto owned = qScopeGuard([this] { --m_ownEdits; });
    QTextDocument *doc = m_editor->document();
    QTextBlock keep = doc->begin();
    int blocks = 0;
    while (keep.isValid() && keep.position() < Slice && blocks < SliceLines) {
        keep = keep.next();
        ++blocks;
    }
    const QScrollBar *bar = m_editor->verticalScrollBar();
    if (!keep.isValid() || top(keep) - top(doc->begin()) > bar->value() - 3 * viewHeight())
        return;
    const qreal removedHeight = top(keep) - top(doc->begin());
    m_before += blockText(doc->begin(), keep);
    if (!isSoft(keep))
        m_before += u'\n';
    quietly(doc, [&] {
        QTextCursor c(doc);
        c.setPosition(keep.position(), QTextCursor::KeepAnchor);
        c.removeSelectedText();
        doc->begin().setUserData(nullptr); // its join now lies in the text above
    });
    QScrollBar *scroll = m_editor->verticalScrollBar();
    scroll->setValue(scroll->value() - qRound(removedHeight));
}

// Moves a slice of blocks from the bottom of the document into the text below
// it, when they are well below what the user sees.
void TextWindow::dropBottom() {
    ++m_ownEdits;
    const auto owned = qScopeGuard([this] { --m_ownEdits; });
    QTextDocument *doc = m_editor->document();
    QTextBlock from = doc->lastBlock();
    int blocks = 0;
    const int end = doc->characterCount();
    while (from.isValid() && from != doc->begin() && end - from.position() < Slice &&
           blocks < SliceLines) {
        from = from.previous();
        ++blocks;
    }
    const QScrollBar *bar = m_editor->verticalScrollBar();
    if (from == doc->begin() || top(from) < bar->value() + 4 * viewHeight())
        return;
    QString removed = (isSoft(from) ? QString() : QStringLiteral("\n")) +
                      blockText(from, doc->end()) + afterText();
    quietly(doc, [&] {
        QTextCursor c(doc);
        c.setPosition(from.position() - 1);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    });
    m_after = std::move(removed);
    m_afterAt = 0;
}

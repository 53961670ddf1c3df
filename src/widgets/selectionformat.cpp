// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/selectionformat.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// Collapses a run of values into one, or none once two differ.
template <typename T> struct Agreement {
    T first{};
    int state = 0; // 0 nothing seen, 1 all equal, 2 mixed
    void add(const T &v) {
        if (state == 0) {
            first = v;
            state = 1;
        } else if (state == 1 && !(first == v)) {
            state = 2;
        }
    }
    std::optional<T> value() const { return state == 1 ? std::optional<T>(first) : std::nullopt; }
};

struct Effective {
    QString name;
    qreal size;
    bool bold, italic, underline;
    QColor colour;
};

Effective effective(const QTextCharFormat &fmt, const QTextEdit *editor) {
    const QFont font = fmt.font().resolve(editor->document()->defaultFont());
    QColor colour = editor->palette().color(QPalette::Text);
    if (fmt.hasProperty(QTextFormat::ForegroundBrush))
        colour = fmt.foreground().color();
    return {font.family(), font.pointSizeF(), font.bold(), font.italic(), font.underline(), colour};
}

void merge(QTextEdit *editor, const QTextCharFormat &fmt) {
    editor->mergeCurrentCharFormat(fmt);
}

} // namespace

SelectionFormat SelectionFormat::of(const QTextEdit *editor) {
    const QTextCursor cursor = editor->textCursor();
    if (!cursor.hasSelection()) {
        const Effective e = effective(editor->currentCharFormat(), editor);
        return {e.name, e.size, e.bold, e.italic, e.underline, e.colour};
    }
    Agreement<QString> name;
    Agreement<qreal> size;
    Agreement<bool> bold, italic, underline;
    Agreement<QRgb> colour;
    const int start = cursor.selectionStart(), end = cursor.selectionEnd();
    const QTextDocument *doc = editor->document();
    for (QTextBlock block = doc->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() >= end || fragment.position() + fragment.length() <= start)
                continue;
            const Effective e = effective(fragment.charFormat(), editor);
            name.add(e.name);
            size.add(e.size);
            bold.add(e.bold);
            italic.add(e.italic);
            underline.add(e.underline);
            colour.add(e.colour.rgb());
        }
    }
    SelectionFormat f{name.value(),   size.value(),      bold.value(),
                      italic.value(), underline.value(), {}};
    if (const auto rgb = colour.value())
        f.colour = QColor::fromRgb(*rgb);
    return f;
}

void applyToSelection(QTextEdit *editor, const SelectionFormat &change) {
    QTextCharFormat fmt;
    if (change.fontName)
        fmt.setFontFamilies({*change.fontName});
    if (change.fontSize)
        fmt.setFontPointSize(*change.fontSize);
    if (change.bold)
        fmt.setFontWeight(*change.bold ? QFont::Bold : QFont::Normal);
    if (change.italic)
        fmt.setFontItalic(*change.italic);
    if (change.underline)
        fmt.setFontUnderline(*change.underline);
    if (change.colour)
        fmt.setForeground(*change.colour);
    merge(editor, fmt);
}

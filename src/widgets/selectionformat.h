#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QTextEdit;

// The character format of an editor's selection (or of its insertion point),
// attribute by attribute; an attribute that varies over the selection has no
// value, as a rich-text box reports it.
struct SelectionFormat {
    std::optional<QString> fontName;
    std::optional<qreal> fontSize;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<QColor> colour;

    static SelectionFormat of(const QTextEdit *editor);
};

// Each applies one attribute to the selection, or to text typed next.
void setSelFontName(QTextEdit *editor, const QString &name);
void setSelFontSize(QTextEdit *editor, qreal points);
void setSelBold(QTextEdit *editor, bool on);
void setSelItalic(QTextEdit *editor, bool on);
void setSelUnderline(QTextEdit *editor, bool on);
void setSelColour(QTextEdit *editor, const QColor &colour);

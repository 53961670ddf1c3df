// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QTextEdit;

// The character format of an editor's selection (or of its insertion point),
// attribute by attribute; an attribute that varies over the selection has no
// value, as a rich-text box reports it.
struct SelectionFormat {
    std::optional<QString> fontName = {};
    std::optional<qreal> fontSize = {};
    std::optional<bool> bold = {};
    std::optional<bool> italic = {};
    std::optional<bool> underline = {};
    std::optional<QColor> colour = {};

    static SelectionFormat of(const QTextEdit *editor);
};

// Applies each attribute that has a value to the selection, or to the text
// typed next; the others stay as they are.
void applyToSelection(QTextEdit *editor, const SelectionFormat &change);

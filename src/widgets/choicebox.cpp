// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/choicebox.h"

#include <QCompleter>
#include <QKeyEvent>
#include <QScopedValueRollback>

ChoiceBox::ChoiceBox(QWidget *parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // A completer that knows no words: nothing is completed, and the box
    // matches typed text against its items case-sensitively.
    auto *exact = new QCompleter(QStringList(), this);
    exact->setCaseSensitivity(Qt::CaseSensitive);
    setCompleter(exact);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!m_typing)
            Q_EMIT itemChosen(index);
    });
}

// Enter and leaving the box end the editing, which may select the item the
// text names; that is still typing.
void ChoiceBox::keyPressEvent(QKeyEvent *event) {
    const bool ends = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QScopedValueRollback typing(m_typing, m_typing || ends);
    QComboBox::keyPressEvent(event);
}

void ChoiceBox::focusOutEvent(QFocusEvent *event) {
    QScopedValueRollback typing(m_typing, true);
    QComboBox::focusOutEvent(event);
}

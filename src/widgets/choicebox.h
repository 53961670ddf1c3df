// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

// An editable combo box that tells a choice from its list apart from typing.
// What is typed stays as typed: nothing completes it, and Enter or leaving
// the box selects a listed item only when the text matches it exactly, and
// even then it is no choice.
class ChoiceBox : public QComboBox {
    Q_OBJECT
public:
    explicit ChoiceBox(QWidget *parent = nullptr);

Q_SIGNALS:
    // An item was picked from the list, by mouse or by the arrow keys.
    void itemChosen(int index);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool m_typing = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QValidator>

class QLineEdit;

// Limits what can be typed into a box without cutting a longer value that is
// already there: such a value shows whole and can still be shortened.
class TypingLimit : public QValidator {
    Q_OBJECT
public:
    TypingLimit(int limit, QLineEdit *box);
    State validate(QString &input, int &pos) const override;

private:
    int m_limit;
    qsizetype m_accepted = 0; // characters of the text the box holds
};

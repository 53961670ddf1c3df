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
    int m_accepted = 0; // length of the text the box holds
};

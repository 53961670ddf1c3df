#include "widgets/typinglimit.h"

#include <QLineEdit>

TypingLimit::TypingLimit(int limit, QLineEdit *box) : QValidator(box), m_limit(limit) {
    connect(box, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_accepted = int(text.size()); });
    box->setValidator(this);
}

QValidator::State TypingLimit::validate(QString &input, int &) const {
    return input.size() <= m_limit || input.size() <= m_accepted ? Acceptable : Invalid;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/typinglimit.h"

#include <QLineEdit>

namespace {
// Characters as a person counts them: a surrogate pair is one.
qsizetype characters(const QString &text) {
    qsizetype count = text.size();
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate()) {
            --count;
            ++i;
        }
    return count;
}
} // namespace

TypingLimit::TypingLimit(int limit, QLineEdit *box) : QValidator(box), m_limit(limit) {
    connect(box, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_accepted = characters(text); });
    box->setValidator(this);
}

// Text over the limit is refused whole, so a character is never cut in half.
QValidator::State TypingLimit::validate(QString &input, int &) const {
    const qsizetype length = characters(input);
    return length <= m_limit || length <= m_accepted ? Acceptable : Invalid;
}

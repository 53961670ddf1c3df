// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/labelbutton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

LabelButton::LabelButton(QWidget *parent) : ClickableLabel(parent) {
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignCenter);
    // By Tab only: a click must leave the focus where the user is typing.
    setFocusPolicy(Qt::TabFocus);
}

LabelButton::LabelButton(const QString &name, const QString &caption, QWidget *parent)
    : LabelButton(parent) {
    setObjectName(name);
    setText(caption);
}

void LabelButton::click() {
    if (isVisible() && isEnabled())
        Q_EMIT clicked();
}

void LabelButton::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        click();
        return;
    default:
        ClickableLabel::keyPressEvent(event);
    }
}

void LabelButton::paintEvent(QPaintEvent *event) {
    ClickableLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void LabelButton::setBold(bool bold) {
    if (font().bold() == bold)
        return;
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}

void LabelButton::mouseMoveEvent(QMouseEvent *event) {
    setBold(true);
    event->accept();
}

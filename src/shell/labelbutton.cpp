#include "shell/labelbutton.h"

#include <QMouseEvent>

LabelButton::LabelButton(const QString &name, const QString &caption, QWidget *parent)
    : QLabel(caption, parent) {
    setObjectName(name);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignCenter);
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

void LabelButton::mousePressEvent(QMouseEvent *event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void LabelButton::mouseReleaseEvent(QMouseEvent *event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click && isEnabled())
        Q_EMIT clicked();
}

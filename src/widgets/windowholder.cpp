// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/windowholder.h"

#include <QCoreApplication>
#include <QEvent>

CloseWatcher::CloseWatcher(QWidget *form, std::function<void()> closed)
    : QObject(form), m_closed(std::move(closed)) {
    form->installEventFilter(this);
}

// Lets the window handle its close first, so a close it refuses keeps it.
bool CloseWatcher::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::Close)
        return false;
    watched->removeEventFilter(this);
    QCoreApplication::sendEvent(watched, event);
    watched->installEventFilter(this);
    if (event->isAccepted())
        m_closed();
    return true;
}

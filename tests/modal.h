// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

// A modal window blocks the test until it closes: this acts on the top-level
// window of the given name once it is up, then closes it if still open. A
// window that never comes ends the test run with its name, rather than a
// hang until the runner's timeout.
inline void whenShown(QObject *context, const QString &name,
                      const std::function<void(QWidget *)> &act, int timeoutMs = 10000) {
    auto *poll = new QTimer(context);
    QElapsedTimer waited;
    waited.start();
    QObject::connect(poll, &QTimer::timeout, context, [name, act, poll, waited, timeoutMs] {
        if (waited.elapsed() > timeoutMs)
            qFatal("window %s did not come up", qPrintable(name));
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible()) {
                poll->stop();
                poll->deleteLater();
                act(w);
                if (w->isVisible())
                    w->close();
                return;
            }
    });
    poll->start(5);
}

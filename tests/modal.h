#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// A modal window blocks the test until it closes: this acts on the top-level
// window of the given name once it is up, then closes it if still open.
inline void whenShown(QObject *context, const QString &name,
                      const std::function<void(QWidget *)> &act) {
    auto *poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [name, act, poll] {
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

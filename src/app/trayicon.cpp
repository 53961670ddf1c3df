// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/trayicon.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

namespace TrayIcon {

namespace {
QPointer<QSystemTrayIcon> tray;
std::function<bool()> &availability() {
    static std::function<bool()> check = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return check;
}
} // namespace

bool addIcon(QWidget *window) {
    if (!availability()())
        return false;
    removeIcon();
    tray = new QSystemTrayIcon(window->windowIcon(), window);
    tray->setToolTip(QStringLiteral("Quillary"));
    QPointer<QWidget> target(window);
    QObject::connect(tray, &QSystemTrayIcon::activated, window,
                     [target](QSystemTrayIcon::ActivationReason reason) {
                         // A press of either button; the rest of a double click,
                         // the middle button and moves do nothing.
                         if (reason != QSystemTrayIcon::Trigger &&
                             reason != QSystemTrayIcon::Context)
                             return;
                         removeIcon();
                         if (target)
                             target->show();
                     });
    tray->show();
    return true;
}

void removeIcon() {
    if (!tray)
        return;
    // The icon may be handling the very press that removes it, with the
    // right button's menu event still to come: hiding it destroys the
    // window that receives them, so it goes once the press is over.
    QSystemTrayIcon *icon = tray;
    tray = nullptr;
    QMetaObject::invokeMethod(
        icon,
        [icon] {
            icon->hide();
            delete icon;
        },
        Qt::QueuedConnection);
}

QSystemTrayIcon *current() {
    return tray;
}

void setAvailabilityCheck(std::function<bool()> check) {
    availability() = std::move(check);
}

} // namespace TrayIcon

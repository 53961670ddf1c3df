// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QSystemTrayIcon;
class QWidget;

// The program's icon in the notification area, while the main window hides.
namespace TrayIcon {

// Puts the program icon, tip "Quillary", in the notification area; a left or
// right press on it removes it and shows the window again. False, and no
// icon, where the desktop has no notification area.
bool addIcon(QWidget *window);
// Takes the icon away.
void removeIcon();

// The icon while it is shown, else nullptr.
QSystemTrayIcon *current();
// Whether the desktop has a notification area; tests answer for it.
void setAvailabilityCheck(std::function<bool()> check);

} // namespace TrayIcon

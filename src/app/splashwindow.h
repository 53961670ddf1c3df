// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

class MainWindow;
class Store;

// The splash window: painted while the main window loads, then gone.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    SplashWindow();

    // Shows the splash, opens the main window on the store and closes the splash.
    static MainWindow *start(Store *store);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture; // drawn ahead, when it fits the screen
};

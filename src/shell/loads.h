#pragma once

#include <QWidget>

class Diary;
class Store;

// The splash window: painted while the main window loads, then gone.
class Loads : public QWidget {
    Q_OBJECT
public:
    Loads();

    // Shows the splash, opens the main window on the store and closes the splash.
    static Diary *start(Store *store);

protected:
    void paintEvent(QPaintEvent *event) override;
};

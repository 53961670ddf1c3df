#pragma once

#include <QToolButton>

// A button that shows only a picture; its tool tip doubles as its
// accessible name.
class PictureButton : public QToolButton {
    Q_OBJECT
public:
    PictureButton(const QString &name, const QString &artwork, const QString &toolTip, int size,
                  QWidget *parent = nullptr);
};

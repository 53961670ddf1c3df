// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QToolButton>

// A button that shows only a picture; its tool tip doubles as its
// accessible name.
class PictureButton : public QToolButton {
    Q_OBJECT
    // The name of the picture in the program's artwork ("open", "delete").
    Q_PROPERTY(QString artwork READ artwork WRITE setArtwork)
public:
    explicit PictureButton(QWidget *parent = nullptr);
    PictureButton(const QString &name, const QString &artwork, const QString &toolTip, int size,
                  QWidget *parent = nullptr);

    QString artwork() const { return m_artwork; }
    void setArtwork(const QString &artwork);

protected:
    bool event(QEvent *event) override;

private:
    QString m_artwork;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/clickablelabel.h"

// A caption that works as a button: a click runs its action, it greys out
// while disabled and shows its caption bold under the mouse.
class LabelButton : public ClickableLabel {
    Q_OBJECT
public:
    explicit LabelButton(QWidget *parent = nullptr);
    LabelButton(const QString &name, const QString &caption, QWidget *parent = nullptr);

    bool isBold() const { return font().bold(); }
    void setBold(bool bold);

    // What a click does, for the keyboard: nothing while hidden or disabled.
    void click();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    // Space and Enter click it when it has the keyboard focus.
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

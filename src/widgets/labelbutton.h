#pragma once

#include "widgets/clickablelabel.h"

// A caption that works as a button: a click runs its action, it greys out
// while disabled and shows its caption bold under the mouse.
class LabelButton : public ClickableLabel {
    Q_OBJECT
public:
    LabelButton(const QString &name, const QString &caption, QWidget *parent = nullptr);

    bool isBold() const { return font().bold(); }
    void setBold(bool bold);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
};

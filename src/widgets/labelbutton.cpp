#include "widgets/labelbutton.h"

#include <QMouseEvent>

LabelButton::LabelButton(const QString &name, const QString &caption, QWidget *parent)
    : ClickableLabel(name, parent) {
    setText(caption);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignCenter);
}

void LabelButton::setBold(bool bold) {
    if (font().bold() == bold)
        return;
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}

void LabelButton::mouseMoveEvent(QMouseEvent *event) {
    setBold(true);
    event->accept();
}

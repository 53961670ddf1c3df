#include "widgets/panelframe.h"

#include <QMouseEvent>

PanelFrame::PanelFrame(const QString &name, QWidget *parent) : QFrame(parent) {
    setObjectName(name);
    setMouseTracking(true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

bool PanelFrame::onBackground(const QMouseEvent *event) const {
    return childAt(event->position().toPoint()) == nullptr;
}

void PanelFrame::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (onBackground(event))
        Q_EMIT backgroundHovered();
}

void PanelFrame::mousePressEvent(QMouseEvent *event) {
    event->accept();
}

void PanelFrame::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() == Qt::RightButton && onBackground(event))
        Q_EMIT popupRequested(event->globalPosition().toPoint());
}

void paintSurface(QWidget *surface, const QColor &colour) {
    QPalette p = surface->palette();
    p.setColor(QPalette::Window, colour);
    surface->setPalette(p);
    surface->setAutoFillBackground(true);
}

QColor surfaceColour(const QWidget *surface) {
    return surface->palette().color(QPalette::Window);
}

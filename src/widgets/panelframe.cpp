// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/panelframe.h"

#include <QLabel>
#include <QMouseEvent>
#include <cmath>

PanelFrame::PanelFrame(QWidget *parent) : QFrame(parent) {
    setMouseTracking(true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

PanelFrame::PanelFrame(const QString &name, QWidget *parent) : PanelFrame(parent) {
    setObjectName(name);
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

namespace {
double luminance(const QColor &c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
} // namespace

double contrastRatio(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor captionColourOn(const QColor &background) {
    return contrastRatio(Qt::black, background) >= 4.5 ? QColor(Qt::black) : QColor(Qt::white);
}

void paintSurface(QWidget *surface, const QColor &colour) {
    QPalette p = surface->palette();
    p.setColor(QPalette::Window, colour);
    surface->setPalette(p);
    surface->setAutoFillBackground(true);
    // Only the captions lying on the surface itself: the controls inside it
    // draw on backgrounds of their own.
    const QColor text = captionColourOn(colour);
    for (QLabel *caption : surface->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (caption->autoFillBackground() || !caption->pixmap().isNull())
            continue;
        QPalette cp = caption->palette();
        cp.setColor(QPalette::Active, QPalette::WindowText, text);
        cp.setColor(QPalette::Inactive, QPalette::WindowText, text);
        caption->setPalette(cp);
    }
}

QColor surfaceColour(const QWidget *surface) {
    return surface->palette().color(QPalette::Window);
}

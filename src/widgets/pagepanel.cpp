// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/pagepanel.h"

#include "widgets/panelframe.h"

#include <QEvent>
#include <QRegion>

PagePanel::PagePanel(QWidget *window) : QWidget(window) {
    setGeometry(window->rect());
    window->installEventFilter(this);
}

bool PagePanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void PagePanel::adoptFrames(const QList<PanelFrame *> &frames) {
    // A form gives the page the size it was drawn at; the page covers the
    // window as it is.
    setGeometry(parentWidget()->rect());
    m_frames = frames;
    QRegion shape;
    for (PanelFrame *frame : frames) {
        shape += frame->geometry();
        connect(frame, &PanelFrame::popupRequested, this, &PagePanel::popupRequested);
    }
    setMask(shape);
}

void PagePanel::setPageShown(bool shown) {
    if (shown)
        show();
    for (PanelFrame *frame : std::as_const(m_frames))
        frame->setVisible(shown);
    if (!shown)
        hide();
}

bool PagePanel::isPageShown() const {
    return !isHidden();
}

QList<QWidget *> PagePanel::surfaces() const {
    return {m_frames.cbegin(), m_frames.cend()};
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/picturebutton.h"

#include "widgets/artwork.h"

#include <QEvent>

PictureButton::PictureButton(QWidget *parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

PictureButton::PictureButton(const QString &name, const QString &artwork, const QString &toolTip,
                             int size, QWidget *parent)
    : PictureButton(parent) {
    setObjectName(name);
    setArtwork(artwork);
    setIconSize(QSize(size, size));
    setToolTip(toolTip);
}

void PictureButton::setArtwork(const QString &artwork) {
    m_artwork = artwork;
    setIcon(Artwork::icon(artwork));
}

// A screen reader has nothing else to call a picture by; a button without a
// tip keeps the name it was given.
bool PictureButton::event(QEvent *event) {
    if (event->type() == QEvent::ToolTipChange && !toolTip().isEmpty())
        setAccessibleName(toolTip());
    return QToolButton::event(event);
}

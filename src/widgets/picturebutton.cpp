#include "widgets/picturebutton.h"

#include "widgets/artwork.h"

PictureButton::PictureButton(const QString &name, const QString &artwork, const QString &toolTip,
                             int size, QWidget *parent)
    : QToolButton(parent) {
    setObjectName(name);
    setIcon(Artwork::icon(artwork));
    setIconSize(QSize(size, size));
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    if (!toolTip.isEmpty()) {
        setToolTip(toolTip);
        setAccessibleName(toolTip);
    }
}

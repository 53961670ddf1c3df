// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/style.h"

#include "widgets/artwork.h"

Style::Style() = default;

QIcon Style::standardIcon(StandardPixmap icon, const QStyleOption *option,
                          const QWidget *widget) const {
    switch (icon) {
    case SP_ArrowLeft:
    case SP_ArrowBack:
        return Artwork::icon(QStringLiteral("previous"));
    case SP_ArrowRight:
    case SP_ArrowForward:
        return Artwork::icon(QStringLiteral("next"));
    default:
        return QProxyStyle::standardIcon(icon, option, widget);
    }
}

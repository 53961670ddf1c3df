// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProxyStyle>

// The platform style with the program's own navigation arrows: looking them
// up in the desktop's icon theme costs more at start-up than building the
// whole journal panel.
class Style : public QProxyStyle {
    Q_OBJECT
public:
    Style();
    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};

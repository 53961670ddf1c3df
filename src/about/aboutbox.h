// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// The About box: name, version and what the program is for.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget *owner);

Q_SIGNALS:
    // The author page is wanted: modal over this box, or on its own.
    void authorPageRequested(bool modal);
};

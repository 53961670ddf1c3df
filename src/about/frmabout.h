#pragma once

#include <QDialog>

class ClickableLabel;
class QLabel;
class QPushButton;

// The About box: name, version and what the program is for.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget *owner);

    QLabel *picIcon;
    QLabel *lblTitle;
    ClickableLabel *lblVersion;
    QLabel *Label1;
    QLabel *lblDisclaimer;
    QPushButton *Command1;
    QPushButton *Cmdok;

Q_SIGNALS:
    // The author page is wanted: modal over this box, or on its own.
    void authorPageRequested(bool modal);
};

#pragma once

#include <QDialog>

class ClickableLabel;
class QLabel;
class QPushButton;

// The About box: name, version and what the program is for.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget *owner);

    QLabel *iconLabel;
    QLabel *titleLabel;
    ClickableLabel *versionLabel;
    QLabel *descriptionLabel;
    QLabel *disclaimerLabel;
    QPushButton *authorButton;
    QPushButton *okButton;

Q_SIGNALS:
    // The author page is wanted: modal over this box, or on its own.
    void authorPageRequested(bool modal);
};

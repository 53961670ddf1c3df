#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class RecordSet;

// The search window: finds a friend by exact name in the contact records
// and leaves them current.
class FindContactDialog : public QDialog {
    Q_OBJECT
public:
    FindContactDialog(RecordSet *records, QWidget *owner);

    QLabel *promptLabel;
    QLineEdit *nameBox;
    QPushButton *okButton;
    QPushButton *cancelButton;

public Q_SLOTS:
    void find();
    void cancel();
    // Esc hides the window, keeping what was typed.
    void reject() override;

private:
    RecordSet *m_records;
};

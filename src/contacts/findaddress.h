#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class RecordSet;

// The search window: finds a friend by exact name in the contact records
// and leaves them current.
class FindAddress : public QDialog {
    Q_OBJECT
public:
    FindAddress(RecordSet *records, QWidget *owner);

    QLabel *Label1;
    QLineEdit *Textname;
    QPushButton *Cmdok;
    QPushButton *cannel;

public Q_SLOTS:
    void Cmdok_Click();
    void cannel_Click();
    // Esc hides the window, keeping what was typed.
    void reject() override;

private:
    RecordSet *m_records;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLineEdit;
class RecordSet;

// The search window: finds a friend by exact name in the contact records
// and leaves them current.
class FindContactDialog : public QDialog {
    Q_OBJECT
public:
    FindContactDialog(RecordSet *records, QWidget *owner);

public Q_SLOTS:
    void find();
    void cancel();
    // Esc hides the window, keeping what was typed.
    void reject() override;

private:
    QLineEdit *nameBox;
    RecordSet *m_records;
};

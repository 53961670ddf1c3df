// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/importplan.h"
#include "transfer/backgroundjob.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class Store;

// The import dialog ("importdialog"): a file of the journal's own export, a
// folder of daily notes, or a vCard file. The file is read and compared with
// the notebook on a thread of its own and what will come in is shown first;
// the rows are then written on another thread, a short transaction at a
// time, while the window shows how far it got, and the result is shown.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    ImportDialog(Store *store, QWidget *owner);
    ~ImportDialog() override;

    // Writing is stopped between two transactions: whole rows only.
    void done(int result) override;

    // One transaction's time: a save from the window waits no longer.
    static constexpr int WriteBudgetMs = 25;

Q_SIGNALS:
    // Rows came in; the pages showing the table read it again.
    void journalImported();
    void contactsImported();

public Q_SLOTS:
    // Reads the chosen file or folder and says what would come in.
    void preview();
    void startImport();

private:
    ImportPlan::Kind kind() const;
    void browse();
    void planned();
    void written();
    void setBusy(bool busy);

    QComboBox *whatBox;
    QLineEdit *pathEdit;
    QPushButton *browseButton;
    QPushButton *importButton;
    QPushButton *closeButton;
    QProgressBar *progressBar;
    QLabel *statusLabel;

    Store *m_store;
    BackgroundJob m_job;
    BackgroundJob m_writing;
    std::shared_ptr<ImportPlan> m_plan;
    // What the writing thread leaves for the window once it ended.
    struct Outcome {
        Result result;
        qsizetype written = 0;
    };
    std::shared_ptr<Outcome> m_outcome;
    bool m_readAgain = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "transfer/backgroundjob.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class Store;

// The export dialog ("exportdialog"): the journal or the address book, in
// which format, to which file; written on a thread of its own from a reading
// connection, so the window answers throughout and a read-only notebook
// exports as well as any.
class ExportDialog : public QDialog {
    Q_OBJECT
public:
    ExportDialog(Store *store, QWidget *owner);
    ~ExportDialog() override;

public Q_SLOTS:
    void startExport();

private:
    bool journalChosen() const;
    void offerFormats();
    // The file name's suffix follows the format; a name the user typed stays.
    void suggestPath();
    void browse();
    void showProgress(qint64 done, qint64 total);
    void exported();
    void setBusy(bool busy);

    QComboBox *whatBox;
    QComboBox *formatBox;
    QLineEdit *pathEdit;
    QPushButton *browseButton;
    QPushButton *exportButton;
    QPushButton *closeButton;
    QProgressBar *progressBar;
    QLabel *statusLabel;

    Store *m_store;
    BackgroundJob m_job;
    struct Outcome {
        Result result;
        qsizetype count = 0;
    };
    std::shared_ptr<Outcome> m_outcome;
};

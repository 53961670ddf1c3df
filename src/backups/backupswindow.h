// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "backups/backupkeeper.h"

#include <QWidget>

class LabelButton;
class QElapsedTimer;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// The backup window ("backups"): every snapshot with its counts, the folder
// they are in, and back up now, restore and merge. What a restore or merge
// does to the open notebook is the main window's to do: this window asks
// the questions and says what was chosen.
class BackupsWindow : public QWidget {
    Q_OBJECT
public:
    BackupsWindow(BackupKeeper *keeper, QWidget *owner);

    // One line under the list: what happened, or why nothing did.
    void tell(const QString &line);

public Q_SLOTS:
    // Reads the folder again (on the keeper's worker).
    void refresh();
    void backUpNow();
    void restoreChosen();
    void mergeOther();

Q_SIGNALS:
    // The user confirmed restoring this snapshot.
    void restoreRequested(const QString &snapshot);
    // The user picked this file to merge.
    void mergeRequested(const QString &file);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void fill(const std::vector<BackupKeeper::Listed> &rows);
    void setWorking(bool working);
    void showProgress(int percent);

    BackupKeeper *m_keeper;
    QTreeWidget *list;          // backuplist
    QLabel *folderLabel;        // backupfolder
    LabelButton *openFolder;    // backupopenfolder
    QLabel *status;             // backupstatus
    QProgressBar *progressBar;  // backupprogress
    QPushButton *nowButton;     // backupnow
    QPushButton *restoreButton; // backuprestore
    QPushButton *mergeButton;   // backupmerge
    std::vector<BackupKeeper::Listed> m_rows;
    qint64 m_progressSince = -1; // ms since the epoch when the snapshot began
};

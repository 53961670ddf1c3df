// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/windowholder.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace Snapshots {
struct Snapshot;
}
class BackupKeeper;
class BackupsWindow;
class MainWindow;
class QTimer;
class Store;

// The notebook's snapshots as the running program keeps them: one at
// start-up (the state before this session's changes), one every 30 minutes
// in which something was written, none at the end. Restores, merges and
// salvage go through here, and the open notebook is then reopened.
class BackupCoordinator : public QObject {
    Q_OBJECT
public:
    BackupCoordinator(MainWindow *owner, Store *store);
    ~BackupCoordinator() override;

    static constexpr int IntervalMinutes = 30;
    // How much earlier than the copy's own time a file time may be and the
    // write still count as after the copy: a file's time is the kernel's
    // clock at its last tick, or a file server's clock.
    static constexpr int FileClockSlackMs = 1000;

    // The start-up snapshot, then the timer.
    void startSchedule();
    // Made on first use: the worker is only started when needed.
    BackupKeeper *keeper();
    // The backup window, shown and raised.
    BackupsWindow *openWindow();
    // The notice for a damaged notebook, with the newest sound snapshot and
    // salvage offered in the same box.
    void offerRescue(const QString &text, const QString &title);

    WindowHolder<BackupsWindow> backupsWindow;

public Q_SLOTS:
    void restore(const QString &snapshot);
    void merge(const QString &file);
    void salvage();
    // The timer: a snapshot when the store has been written since the last.
    void snapshotIfWritten();

private:
    void tell(const QString &line, bool boxToo);
    QByteArray storeFingerprint() const;
    bool writtenSince(const Snapshots::Snapshot &copy) const;

    MainWindow *m_window;
    Store *m_store;
    BackupKeeper *m_keeper = nullptr;
    QTimer *m_timer;
    QByteArray m_fingerprintAtSnapshot;
};

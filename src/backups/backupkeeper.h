// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/notebookmerge.h"
#include "core/snapshots.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Does the slow work on the notebook file (snapshots, their counts, merges,
// salvage) one job at a time on a worker at idle priority, and answers on
// the thread it lives on, so the window never waits for the disk.
class BackupKeeper : public QObject {
    Q_OBJECT
public:
    BackupKeeper(const QString &notebook, const QString &folder, QObject *parent = nullptr);
    ~BackupKeeper() override;

    QString notebook() const { return m_notebook; }
    QString folder() const { return m_folder; }
    // Busy writing a snapshot, merging or salvaging.
    bool isWorking() const { return m_working > 0; }
    // Why the last snapshot was skipped for want of room, said once per run;
    // empty while there is room.
    QString roomLine() const { return m_roomLine; }

    // Cleans up what a snapshot cut short left, checks for room, writes one
    // and lets go of those no longer kept. done gets the outcome (a skip for
    // room fails).
    // Unless told not to: one about to be restored must stay.
    void snapshot(std::function<void(const Snapshots::Outcome &)> done = {}, bool prune = true);
    struct Listed {
        Snapshots::Snapshot snapshot;
        NotebookCounts counts;
    };
    // Every snapshot with its counts, newest first.
    void list(std::function<void(const std::vector<Listed> &)> done);
    void merge(const QString &other, std::function<void(const NotebookMerge::Outcome &)> done);
    void salvage(const QString &into, std::function<void(const NotebookMerge::Outcome &)> done);

Q_SIGNALS:
    // 0..100 while a snapshot is written.
    void progress(int percent);
    void workingChanged(bool working);
    // A snapshot was written or let go of.
    void snapshotsChanged();

private:
    // One worker and its queue. Writing and reading have one each, so the
    // list is read while a long snapshot is still being written.
    struct Lane {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> jobs;
        std::thread thread;
    };
    // Runs work on a worker (the writing one when it counts as work), then
    // its answer here.
    void post(std::function<std::function<void()>()> work, bool counts = true);
    void run(Lane &lane);
    Snapshots::Outcome writeSnapshot(bool prune);

    QString m_notebook, m_folder, m_roomLine;
    bool m_roomTold = false;
    int m_working = 0;
    std::atomic_bool m_stop{false};
    Lane m_writing, m_reading;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "backups/backupkeeper.h"

#include <QDateTime>
#include <QMetaObject>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Behind everything else for the processor and the disk: the user's own
// work comes first. Not the idle class: on a busy machine such a thread may
// never run again to see that it should stop, and the program's end waits.
void yieldToEverything() {
    setpriority(PRIO_PROCESS, id_t(gettid()), 19);
    constexpr int IoprioWhoProcess = 1, IoprioClassIdle = 3, IoprioClassShift = 13;
    syscall(SYS_ioprio_set, IoprioWhoProcess, gettid(), IoprioClassIdle << IoprioClassShift);
}

} // namespace

BackupKeeper::BackupKeeper(const QString &notebook, const QString &folder, QObject *parent)
    : QObject(parent), m_notebook(notebook), m_folder(folder) {
    for (Lane *lane : {&m_writing, &m_reading})
        lane->thread = std::thread([this, lane] { run(*lane); });
}

BackupKeeper::~BackupKeeper() {
    m_stop = true;
    for (Lane *lane : {&m_writing, &m_reading}) {
        {
            std::lock_guard lock(lane->mutex);
            lane->jobs.clear();
        }
        lane->wake.notify_all();
        lane->thread.join();
    }
}

void BackupKeeper::run(Lane &lane) {
    yieldToEverything();
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(lane.mutex);
            lane.wake.wait(lock, [this, &lane] { return m_stop || !lane.jobs.empty(); });
            if (m_stop)
                return;
            job = std::move(lane.jobs.front());
            lane.jobs.pop_front();
        }
        job();
    }
}

void BackupKeeper::post(std::function<std::function<void()>()> work, bool counts) {
    if (counts && m_working++ == 0)
        Q_EMIT workingChanged(true);
    Lane &lane = counts ? m_writing : m_reading;
    {
        std::lock_guard lock(lane.mutex);
        lane.jobs.push_back([this, work = std::move(work), counts] {
            std::function<void()> answer = work();
            // Queued to this object: dropped should it be gone by then.
            QMetaObject::invokeMethod(this, [this, answer = std::move(answer), counts] {
                if (counts && --m_working == 0)
                    Q_EMIT workingChanged(false);
                answer();
            });
        });
    }
    lane.wake.notify_one();
}

Snapshots::Outcome BackupKeeper::writeSnapshot(bool prune) {
    Snapshots::Progress watch;
    watch.stop = &m_stop;
    int told = -1;
    watch.percent = [this, &told](int percent) {
        if (percent == told)
            return;
        told = percent;
        QMetaObject::invokeMethod(this, [this, percent] { Q_EMIT progress(percent); });
    };
    return Snapshots::backUp(m_notebook, m_folder, watch, prune);
}

void BackupKeeper::snapshot(std::function<void(const Snapshots::Outcome &)> done, bool prune) {
    post([this, done = std::move(done), prune]() -> std::function<void()> {
        const Snapshots::Outcome out = writeSnapshot(prune);
        return [this, out, done] {
            if (out.noRoom && !m_roomTold) {
                m_roomTold = true;
                m_roomLine = out.result.message();
            }
            if (out.result)
                m_roomLine.clear();
            Q_EMIT snapshotsChanged();
            if (done)
                done(out);
        };
    });
}

void BackupKeeper::list(std::function<void(const std::vector<Listed> &)> done) {
    post(
        [this, done = std::move(done)]() -> std::function<void()> {
            std::vector<Listed> rows;
            for (const Snapshots::Snapshot &s : Snapshots::list(m_folder))
                rows.push_back({s, NotebookCounts::ofFile(s.path)});
            return [rows, done] { done(rows); };
        },
        false);
}

void BackupKeeper::merge(const QString &other,
                         std::function<void(const NotebookMerge::Outcome &)> done) {
    post([this, other, done = std::move(done)]() -> std::function<void()> {
        const NotebookMerge::Outcome out = NotebookMerge::merge(m_notebook, other);
        return [out, done] { done(out); };
    });
}

void BackupKeeper::salvage(const QString &into,
                           std::function<void(const NotebookMerge::Outcome &)> done) {
    post([this, into, done = std::move(done)]() -> std::function<void()> {
        const NotebookMerge::Outcome out = NotebookMerge::salvage(m_notebook, into);
        return [out, done] { done(out); };
    });
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"

#include <QDateTime>
#include <QString>
#include <atomic>
#include <functional>
#include <vector>

struct sqlite3;

// How many journal entries, contacts and photos a notebook holds; -1 where a
// table could not be read.
struct NotebookCounts {
    qint64 entries = -1, contacts = -1, photos = -1;

    bool operator==(const NotebookCounts &) const = default;
    // A table that is missing counts none.
    static NotebookCounts of(sqlite3 *db, const char *schema = "main");
    static NotebookCounts ofFile(const QString &path);
};

// Complete copies of the notebook, each a notebook itself, kept in a folder
// of their own as work-YYYYMMDD-HHMMSS.db. A copy of a store whose pages did
// not check out is kept too (it may be all there is) but named -damaged and
// never offered as a sound one.
namespace Snapshots {

// A connection to a store file that writes nothing to it, not even a
// write-ahead index where its folder is read-only; nullptr when the file is
// not a database that can be read.
sqlite3 *openForReading(const QString &path);

// The backups folder beside the notebook: for the user's own,
// $XDG_DATA_HOME/quillary/backups.
QString folderFor(const QString &notebook);

struct Snapshot {
    QString path;
    QDateTime time;
    bool verified = true; // false: a faithful copy of a damaged store
    qint64 bytes = 0;
};
// Every finished snapshot in the folder, newest first.
std::vector<Snapshot> list(const QString &folder);
// The newest one that checked out, or an empty path.
Snapshot newestVerified(const QString &folder);
// A file name in folder for a snapshot taken at time, not yet taken.
QString nameFor(const QString &folder, const QDateTime &time, bool verified = true);

struct Progress {
    // Called from the writing thread with 0..100.
    std::function<void(int)> percent;
    // Set from elsewhere to give up; the half-written file goes.
    const std::atomic_bool *stop = nullptr;
};

struct Outcome {
    Result result;
    QString path; // where the snapshot now lies
    NotebookCounts counts;
    bool verified = false;
    qint64 bytes = 0;
    bool noRoom = false; // skipped: the disk would be left too full
};
// Copies the store at source into target (a file name; in the folder, use
// nameFor) through a read connection of its own, so the store goes on being
// written meanwhile. The copy holds every save begun before the call; one
// after it shows in the store's file times. The copy is made under a
// temporary name, checked (its pages, and its row counts against the
// source's at the moment of copying), synced, and only then renamed into
// place. The source is never written.
Outcome write(const QString &source, const QString &target, const Progress &progress = {});
// write() into the folder under a fresh name.
Outcome take(const QString &source, const QString &folder, const Progress &progress = {});

// What is done every time: cleans up, makes sure of the room, takes a
// snapshot into the folder and, when asked to, lets go of those no longer
// kept.
Outcome backUp(const QString &source, const QString &folder, const Progress &progress = {},
               bool prune = true);

// Removes what snapshots cut short by a kill or a full disk left behind:
// temporary files of processes that are no longer running.
void cleanUp(const QString &folder);

// Whether the disk keeps twice the store's size and 100 MB more free once a
// snapshot of it is written. freeBytes receives what is free now.
bool roomFor(const QString &source, const QString &folder, qint64 *freeBytes = nullptr);
// The store file and its write-ahead log, as they take up room.
qint64 storeBytes(const QString &source);

struct Stamp {
    QDateTime time;
    bool verified = true;
};
// Which snapshots to keep, by index into stamps: the 10 newest, the newest of
// each of the last 14 days, 8 weeks and 12 months (counted back from now),
// and the newest that checked out.
std::vector<bool> toKeep(const std::vector<Stamp> &stamps, const QDateTime &now);
// Deletes those toKeep() lets go; returns how many went.
int prune(const QString &folder, const QDateTime &now);

// Puts a notebook file in place of the store at notebook, which must be
// closed. What stood there goes, or is kept as keepOldAs when given (with its
// write-ahead log beside it). fresh is consumed.
Result putInPlace(const QString &fresh, const QString &notebook, const QString &keepOldAs = {});
// Copies the snapshot over the (closed) store, after checking it.
Result restore(const QString &snapshot, const QString &notebook);

} // namespace Snapshots

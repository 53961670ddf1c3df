// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

struct sqlite3;

// What the user typed into the journal and has not saved, one text per day
// key, in a small database of its own: a notebook that cannot be written
// (read-only, foreign, damaged) still keeps what is typed, and the notebook's
// file is never touched. Writes go to a thread of their own, so typing never
// waits for the disk; each is on disk (synced) as soon as it is written.
class Drafts {
public:
    struct Draft {
        QString text;
        QDateTime written; // local time of the last change
    };

    // Opens or creates the file; without it, nothing is kept (isOpen false).
    explicit Drafts(const QString &path);
    // Writes what is still pending first.
    ~Drafts();
    Drafts(const Drafts &) = delete;
    Drafts &operator=(const Drafts &) = delete;

    bool isOpen() const { return m_read != nullptr; }
    QString path() const { return m_path; }

    // Keeps text as the day's draft; returns at once, the writer takes it soon
    // after. A newer call for the same day replaces one not yet written.
    void keep(const QString &day, QString text);
    void remove(const QString &day);
    // Returns once everything handed over is written (or has failed).
    void flush();

    // The day's draft as last handed over, written or not.
    std::optional<Draft> draft(const QString &day) const;
    // The days of a month (1..31) that have a draft, as bits (1 << day).
    quint32 daysInMonth(int year, int month) const;

    // Where the drafts of a notebook file live: beside it.
    static QString pathBeside(const QString &storePath);

private:
    using Change = std::optional<Draft>; // nothing: the draft goes
    void writeLoop();
    bool write(const std::map<QString, Change> &changes);

    QString m_path;
    sqlite3 *m_read = nullptr;  // this thread's reads
    sqlite3 *m_write = nullptr; // the writer's
    mutable std::mutex m_lock;
    std::condition_variable m_wake, m_written;
    std::map<QString, Change> m_pending, m_writing;
    bool m_stop = false;
    std::thread m_writer;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QFuture>
#include <QString>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
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
    // What a draft is, without its text.
    struct Summary {
        qsizetype characters = 0; // as a reader counts them: a surrogate pair is one
        qsizetype size = 0;       // as QString::size() counts them
        QDateTime written;
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
    // The same with the text made by `make` on the writer's thread, so a long
    // text is put together, measured and converted there.
    void keep(const QString &day, std::function<QString()> make);
    void remove(const QString &day);
    // Returns once everything handed over is written (or has failed).
    void flush();

    // The day's draft as last handed over, written or not.
    std::optional<Draft> draft(const QString &day) const;
    // The same read and decoded on a pool thread, for a text long enough to
    // hold the window up.
    QFuture<std::optional<Draft>> draftAside(const QString &day) const;
    // The same without reading the text, when it has been written.
    std::optional<Summary> summary(const QString &day) const;
    // The days of a month (1..31) that have a draft, as bits (1 << day).
    quint32 daysInMonth(int year, int month) const;

    // Where the drafts of a notebook file live: beside it.
    static QString pathBeside(const QString &storePath);

private:
    // A text made once, by whichever thread wants it first.
    class Text {
    public:
        explicit Text(std::function<QString()> make) : m_make(std::move(make)) {}
        QString get();
        qsizetype characters();

    private:
        std::mutex m_lock;
        std::function<QString()> m_make;
        QString m_text;
        qsizetype m_characters = -1;
    };
    struct Kept {
        std::shared_ptr<Text> text;
        QDateTime written;
    };
    using Change = std::optional<Kept>; // nothing: the draft goes
    const Change *pending(const QString &day) const;
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

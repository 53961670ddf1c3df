// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QObject>
#include <memory>

class QSocketNotifier;

// One program per user: the first start holds a lock beside the store and
// listens; a later start asks it to show its window and then ends, so two
// copies never hold the same store.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: where the lock and the socket name are kept (the data folder).
    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True for the first start; false when another copy runs and has been
    // asked to show itself. A lock whose owner does not answer is taken over.
    bool claim();
    // After a false claim: whether the running copy answered, having shown
    // its window. One that takes the request but never answers is hung.
    bool runningCopyAnswered() const { return m_answered; }
    // The process of a running copy that did not answer; 0 when unknown.
    qint64 unansweringProcess() const { return m_answered ? 0 : m_owner; }
    // After a false claim: a hung copy is named to the user, who may end it
    // and run this one in its place. True when this start is to go on.
    bool replaceUnansweringCopy();

    // Without a claim: tells the copy that runs, if any, that this process
    // added rows to table, and does not wait for it. False when none listens.
    bool tellRowsAdded(const QString &table) const;

Q_SIGNALS:
    // Another start asked this one to come forward.
    void showRequested();
    // Another process (an import from the command line) added rows to table.
    void rowsAdded(const QString &table);

private:
    void listen();
    void acceptRequests();
    void heard(const QByteArray &word, int fd);
    bool takeOver(const QString &lockPath);
    enum class Asked { NoOne, Answered, NoAnswer };
    // Whether a copy listens, and answered the request to show its window.
    Asked askRunningCopyToShow();

    QString m_folder;
    QByteArray m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    int m_listener = -1;
    QSocketNotifier *m_accepting = nullptr;
    bool m_answered = false;
    qint64 m_owner = 0;
};

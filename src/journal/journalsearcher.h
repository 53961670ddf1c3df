// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/journalindex.h"

#include <QByteArray>
#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

// Answers journal searches on a thread and a read-only connection of its
// own, so typing never waits for the store. A newer query stops an older one.
class JournalSearcher : public QObject {
    Q_OBJECT
public:
    JournalSearcher(const QByteArray &storeUri, int limit, QObject *parent = nullptr);
    ~JournalSearcher() override;

    void search(const QString &query);
    // Drops the search at work and any answer still to come.
    void stop();

Q_SIGNALS:
    // Only for the newest query: perhaps its newest hits first, then the
    // whole answer.
    void answered(const QString &query, const JournalIndex::Answer &answer);

private:
    class Worker;
    QThread m_thread;
    Worker *m_worker;
    std::shared_ptr<std::atomic_int> m_newest;
};

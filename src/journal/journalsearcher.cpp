// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journalsearcher.h"

#include "core/searchtext.h"

#include <QPointer>
#include <sqlite3.h>

class JournalSearcher::Worker : public QObject {
public:
    Worker(QByteArray uri, int limit, std::shared_ptr<std::atomic_int> newest)
        : m_uri(std::move(uri)), m_limit(limit), m_newest(std::move(newest)) {}
    ~Worker() override { sqlite3_close(m_db); }

    void run(const QString &query, int generation, const QPointer<JournalSearcher> &owner) {
        const auto stale = [this, generation] { return m_newest->load() != generation; };
        if (stale() || !open())
            return;
        const auto post = [&](JournalIndex::Answer answer) {
            QMetaObject::invokeMethod(
                owner.data(),
                [owner, query, generation, newest = m_newest, answer = std::move(answer)] {
                    if (owner && newest->load() == generation)
                        Q_EMIT owner->answered(query, answer);
                },
                Qt::QueuedConnection);
        };
        JournalIndex::Answer answer =
            JournalIndex::search(m_db, query, m_limit, stale, JournalIndex::Way::IndexWhenReady,
                                 [&](const JournalIndex::Answer &first) { post(first); });
        if (answer.cancelled || stale())
            return;
        post(std::move(answer));
    }

private:
    bool open() {
        if (m_db)
            return true;
        if (sqlite3_open_v2(m_uri.constData(), &m_db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
            return false;
        }
        sqlite3_busy_timeout(m_db, 1000);
        SearchText::registerTokenizer(m_db);
        return true;
    }

    QByteArray m_uri;
    int m_limit;
    std::shared_ptr<std::atomic_int> m_newest;
    sqlite3 *m_db = nullptr;
};

JournalSearcher::JournalSearcher(const QByteArray &storeUri, int limit, QObject *parent)
    : QObject(parent), m_newest(std::make_shared<std::atomic_int>(0)) {
    m_worker = new Worker(storeUri, limit, m_newest);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("journal search"));
    m_thread.start(QThread::LowPriority);
}

JournalSearcher::~JournalSearcher() {
    stop();
    m_thread.quit();
    m_thread.wait();
}

void JournalSearcher::stop() {
    m_newest->fetch_add(1);
}

void JournalSearcher::search(const QString &query) {
    const int generation = m_newest->fetch_add(1) + 1;
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, query, generation, owner = QPointer<JournalSearcher>(this)] {
            worker->run(query, generation, owner);
        },
        Qt::QueuedConnection);
}

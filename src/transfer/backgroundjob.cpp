// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/backgroundjob.h"

#include <QThread>
#include <sqlite3.h>
#include <utility>

BackgroundJob::BackgroundJob(QObject *parent) : QObject(parent) {
    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        if (m_control)
            Q_EMIT progressed(m_control->done, m_control->total);
    });
}

BackgroundJob::~BackgroundJob() {
    if (!m_thread)
        return;
    stop();
    m_thread->wait();
    delete m_thread;
}

void BackgroundJob::start(Work work) {
    if (m_thread)
        return;
    m_control = std::make_shared<Control>();
    m_thread = QThread::create([control = m_control, work = std::move(work)] { work(*control); });
    connect(m_thread, &QThread::finished, this, &BackgroundJob::ended, Qt::QueuedConnection);
    m_poll.start();
    m_thread->start();
}

void BackgroundJob::stop() {
    if (m_control)
        m_control->stop = true;
}

void BackgroundJob::abandon() {
    if (!m_thread)
        return;
    stop();
    m_poll.stop();
    m_thread->disconnect(this);
    QThread *thread = std::exchange(m_thread, nullptr);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // Ended already: its own deleteLater may never have been asked for.
    if (thread->isFinished()) {
        thread->wait();
        delete thread;
    }
}

void BackgroundJob::wait() {
    if (m_thread)
        m_thread->wait();
    ended();
}

void BackgroundJob::ended() {
    // The news of a thread wait() already saw end may come after a new one began.
    if (!m_thread || !m_thread->isFinished())
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_poll.stop();
    Q_EMIT progressed(m_control->done, m_control->total);
    Q_EMIT finished();
}

StoreReader::StoreReader(const QByteArray &uri) {
    if (uri.isEmpty())
        return;
    if (sqlite3_open_v2(uri.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        return;
    }
    sqlite3_busy_timeout(m_db, 2000);
}

StoreReader::~StoreReader() {
    sqlite3_close(m_db);
}

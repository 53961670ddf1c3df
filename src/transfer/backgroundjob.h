// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

class QThread;
struct sqlite3;

// Work of the export and import dialogs that takes long (reading, writing
// and comparing whole files), done on a thread of its own so the window
// keeps answering. Progress is polled, not sent, so a closed dialog never
// hears from a thread that outlived it.
class BackgroundJob : public QObject {
    Q_OBJECT
public:
    struct Control {
        std::atomic<qint64> done{0}, total{0};
        std::atomic_bool stop{false};
    };
    using Work = std::function<void(Control &)>;

    explicit BackgroundJob(QObject *parent = nullptr);
    // Asks the work to stop and waits for it.
    ~BackgroundJob() override;

    void start(Work work);
    bool isRunning() const { return m_thread != nullptr; }
    void stop();
    // Until the work is over; then progressed and finished are told at once.
    void wait();
    // Asks the work to stop and leaves it to end on its own, unheard of and
    // unwaited for: for work that holds nothing of its owner's and cannot
    // stop halfway (reading a whole file).
    void abandon();

Q_SIGNALS:
    void progressed(qint64 done, qint64 total);
    void finished();

private:
    void ended();

    QThread *m_thread = nullptr;
    std::shared_ptr<Control> m_control;
    QTimer m_poll;
};

// A reading connection of a job's own to the store, closed when it goes.
class StoreReader {
public:
    explicit StoreReader(const QByteArray &uri);
    ~StoreReader();
    StoreReader(const StoreReader &) = delete;
    StoreReader &operator=(const StoreReader &) = delete;
    sqlite3 *db() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

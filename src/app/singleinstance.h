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

Q_SIGNALS:
    // Another start asked this one to come forward.
    void showRequested();

private:
    void listen();
    void acceptRequests();
    // True when a running copy took the request to show its window.
    bool askRunningCopyToShow();

    QString m_folder;
    QByteArray m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    int m_listener = -1;
    QSocketNotifier *m_accepting = nullptr;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder) {
    // Socket names are short; the folder's hash keeps users and stores apart.
    const QByteArray hash =
        QCryptographicHash::hash(QDir(folder).absolutePath().toUtf8(), QCryptographicHash::Sha1);
    m_serverName = QStringLiteral("quillary-") + QString::fromLatin1(hash.toHex().left(16));
}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
}

bool SingleInstance::claim() {
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return true; // nowhere to coordinate: run, as before
    const QString lockPath = QDir(m_folder).filePath(QStringLiteral("quillary.lock"));
    m_lock = std::make_unique<QLockFile>(lockPath);
    m_lock->setStaleLockTime(0); // a lock whose process died is taken over
    if (m_lock->tryLock(0)) {
        listen();
        return true;
    }
    // A folder we cannot write (read-only media) holds no lock of anyone's.
    if (m_lock->error() != QLockFile::LockFailedError)
        return true;
    // A lock that names no process cannot be anyone's; any other may belong
    // to a copy still starting, which gets a moment to answer.
    qint64 pid = 0;
    QString host, application;
    if (m_lock->getLockInfo(&pid, &host, &application) && askRunningCopyToShow())
        return false;
    // Nobody answered: the lock is stale, whatever it holds. A start never
    // ends unseen, so without a lock of its own it still runs.
    if (QFileInfo(lockPath).isFile())
        QFile::remove(lockPath);
    if (m_lock->tryLock(0))
        listen();
    return true;
}

bool SingleInstance::askRunningCopyToShow() {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000) {
        QLocalSocket socket;
        socket.connectToServer(m_serverName);
        if (socket.waitForConnected(200)) {
            socket.write("show\n");
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

void SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_serverName); // a socket left by a crashed run
    if (!m_server->listen(m_serverName))
        return;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith("show"))
                    Q_EMIT showRequested();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

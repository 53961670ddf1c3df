// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/singleinstance.h"

#include "widgets/interaction.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>
#include <csignal>
#include <sys/types.h>

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
    if (m_lock->getLockInfo(&pid, &host, &application)) {
        const Asked asked = askRunningCopyToShow();
        m_answered = asked == Asked::Answered;
        m_owner = host == QSysInfo::machineHostName() ? pid : 0;
        if (asked != Asked::NoOne)
            return false;
    }
    // Nobody answered: the lock is stale, whatever it holds. A start never
    // ends unseen, so without a lock of its own it still runs.
    return takeOver(lockPath);
}

bool SingleInstance::takeOver(const QString &lockPath) {
    if (QFileInfo(lockPath).isFile())
        QFile::remove(lockPath);
    if (m_lock->tryLock(0))
        listen();
    return true;
}

SingleInstance::Asked SingleInstance::askRunningCopyToShow() {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000) {
        QLocalSocket socket;
        socket.connectToServer(m_serverName);
        if (socket.waitForConnected(200)) {
            // A copy whose interface hangs still has its socket taken by the
            // system; only its answer says it came forward.
            socket.write("show\n");
            while (socket.bytesAvailable() < 6 && waited.elapsed() < 3000 &&
                   socket.waitForReadyRead(int(3000 - waited.elapsed()))) {
            }
            return socket.readAll().startsWith("shown") ? Asked::Answered : Asked::NoAnswer;
        }
        QThread::msleep(100);
    }
    return Asked::NoOne;
}

bool SingleInstance::replaceUnansweringCopy() {
    if (m_answered)
        return false;
    Interaction &ask = Interaction::current();
    const QString title = QStringLiteral("Quillary");
    const QString which = m_owner > 0 ? QStringLiteral("（进程 %1）").arg(m_owner) : QString();
    if (m_owner <= 0 || m_owner == QCoreApplication::applicationPid()) {
        ask.inform(nullptr,
                   QStringLiteral("Quillary 已经在运行%1，但没有响应，无法显示它的窗口。"
                                  "请结束那个程序后再启动。")
                       .arg(which),
                   title);
        return false;
    }
    if (!ask.confirm(nullptr,
                     QStringLiteral("Quillary 已经在运行%1，但没有响应，无法显示它的窗口。"
                                    "结束它并在这里重新打开吗？")
                         .arg(which),
                     title))
        return false;
    ::kill(pid_t(m_owner), SIGKILL);
    QElapsedTimer waited;
    waited.start();
    while (::kill(pid_t(m_owner), 0) == 0 && waited.elapsed() < 5000)
        QThread::msleep(50);
    m_answered = false;
    m_owner = 0;
    return claim() || replaceUnansweringCopy();
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
                if (socket->readAll().startsWith("show")) {
                    Q_EMIT showRequested();
                    socket->write("shown\n");
                }
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

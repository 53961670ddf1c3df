// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/singleinstance.h"

#include "widgets/interaction.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

// A plain local socket: the network library and what it brings along would
// be loaded by every start for this one word.
namespace {
bool address(const QByteArray &path, sockaddr_un &to) {
    to = {};
    to.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(to.sun_path))
        return false;
    std::memcpy(to.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Waits, within the three seconds a start allows, for the word a copy
// writes back once its window came forward.
bool answered(int fd, const QElapsedTimer &waited) {
    QByteArray got;
    while (got.size() < 6 && waited.elapsed() < 3000) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, int(3000 - waited.elapsed())) <= 0)
            break;
        char word[16];
        const ssize_t n = ::read(fd, word, sizeof word);
        if (n <= 0)
            break;
        got.append(word, int(n));
    }
    return got.startsWith("shown");
}
} // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder) {
    // Socket names are short; the folder's hash keeps users and stores apart.
    const QByteArray hash =
        QCryptographicHash::hash(QDir(folder).absolutePath().toUtf8(), QCryptographicHash::Sha1);
    m_socketPath = QFile::encodeName(QDir::tempPath() + QStringLiteral("/quillary-") +
                                     QString::fromLatin1(hash.toHex().left(16)));
}

SingleInstance::~SingleInstance() {
    if (m_listener < 0)
        return;
    m_accepting->setEnabled(false);
    ::close(m_listener);
    ::unlink(m_socketPath.constData());
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
    sockaddr_un to;
    if (!address(m_socketPath, to))
        return Asked::NoOne;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0) {
            // A copy whose interface hangs still has its socket taken by the
            // system; only its answer says it came forward.
            const Asked asked = ::write(fd, "show\n", 5) == 5 && answered(fd, waited)
                                    ? Asked::Answered
                                    : Asked::NoAnswer;
            ::close(fd);
            return asked;
        }
        if (fd >= 0)
            ::close(fd);
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
    sockaddr_un at;
    if (!address(m_socketPath, at))
        return;
    ::unlink(m_socketPath.constData()); // a socket left by a crashed run
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0 ||
        ::chmod(m_socketPath.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    m_listener = fd;
    m_accepting = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_accepting, &QSocketNotifier::activated, this, &SingleInstance::acceptRequests);
}

// Each caller writes one word and leaves; it is read once it has come.
void SingleInstance::acceptRequests() {
    int fd;
    while ((fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
        auto *reading = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(reading, &QSocketNotifier::activated, this, [this, reading, fd] {
            char word[64];
            const ssize_t got = ::read(fd, word, sizeof word);
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            if (got > 0)
                heard(QByteArray(word, int(got)), fd);
            reading->setEnabled(false);
            reading->deleteLater();
            ::close(fd);
        });
    }
}

void SingleInstance::heard(const QByteArray &word, int fd) {
    if (word.startsWith("show")) {
        Q_EMIT showRequested();
        [[maybe_unused]] const ssize_t told = ::write(fd, "shown\n", 6);
    } else if (word.startsWith("added ")) {
        Q_EMIT rowsAdded(QString::fromUtf8(word.mid(6).trimmed()));
    }
}

bool SingleInstance::tellRowsAdded(const QString &table) const {
    sockaddr_un to;
    if (!address(m_socketPath, to))
        return false;
    // Never waits: a copy that hangs has the word kept by the system till it
    // reads it, or, with its queue full, goes without.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const QByteArray word = "added " + table.toUtf8() + "\n";
    const bool told = ::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0 &&
                      ::write(fd, word.constData(), size_t(word.size())) == word.size();
    ::close(fd);
    return told;
}

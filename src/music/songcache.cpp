// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/songcache.h"

#include "music/musiclog.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A new format renders every song again.
constexpr char Format[] = "Quillary rendered song 2";
constexpr qint64 MaxKeyBytes = 4096;
// Ten minutes of 16-bit stereo, as the renderer makes at most, before
// compression.
constexpr qint64 MaxAudioBytes = 44100LL * 4 * 600;

QByteArray songKey(const QByteArray &song) {
    return QCryptographicHash::hash(song, QCryptographicHash::Sha256).toHex();
}

QByteArray soundFontKey(const QString &soundFont) {
    const QFileInfo font(soundFont);
    return QCryptographicHash::hash(QStringLiteral("%1\n%2\n%3")
                                        .arg(font.canonicalFilePath())
                                        .arg(font.size())
                                        .arg(font.lastModified().toMSecsSinceEpoch())
                                        .toUtf8(),
                                    QCryptographicHash::Sha256)
        .toHex();
}

// What an entry's key says: the song and SoundFont it was made from, and
// the audio's checksum.
QByteArray keyText(const QByteArray &song, const QString &soundFont, const QByteArray &sum) {
    return QByteArray(Format) + '\n' + songKey(song) + '\n' + soundFontKey(soundFont) + '\n' + sum +
           '\n';
}

// An entry the cache does without; it says why.
SongCache::Audio unused(const char *why, const QString &path) {
    qCInfo(lcMusic).noquote() << why << path;
    return {};
}

// The file at path when it is a regular file of at most maxBytes, opened
// without following a link or waiting for a FIFO's writer; -1 otherwise,
// with errno ENOENT when there is nothing there.
int openRegular(const QString &path, qint64 maxBytes) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maxBytes)
        return fd;
    ::close(fd);
    errno = EINVAL;
    return -1;
}

// Reads the open file from its start: its bytes, or its checksum.
bool readFrom(int fd, const std::function<void(QByteArrayView)> &take) {
    char buffer[64 * 1024];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        take(QByteArrayView(buffer, n));
        at += n;
    }
}

// Another copy holds the lock only for a moment, unless it hangs; nobody
// waits on one that hangs.
bool lockBriefly(int fd) {
    for (int tries = 0; tries < 100; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        ::usleep(10000);
    }
    return false;
}

QByteArray checksum(int fd) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!readFrom(fd, [&](QByteArrayView bytes) { hash.addData(bytes); }))
        return {};
    return hash.result().toHex();
}
} // namespace

SongCache::Audio &SongCache::Audio::operator=(Audio &&other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

SongCache::Audio::~Audio() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SongCache::pathOf(int fd) {
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

QString SongCache::defaultFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/songs");
}

QString SongCache::entry(const QString &songPath, const char *suffix) const {
    return QDir(m_folder).filePath(QFileInfo(songPath).completeBaseName() + QLatin1String(suffix));
}

SongCache::Audio SongCache::find(const QString &songPath, const QByteArray &song,
                                 const QString &soundFont) const {
    if (!enabled())
        return {};
    const QString keyPath = entry(songPath, ".key");
    const Audio key(openRegular(keyPath, MaxKeyBytes));
    if (!key.isOpen() && errno == ENOENT)
        return {}; // never rendered
    QByteArray text;
    if (!key.isOpen() || !readFrom(key.fd(), [&](QByteArrayView b) { text += b; }))
        return unused("song cache key unreadable:", keyPath);
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 4 || lines[0] != Format)
        return unused("song cache key damaged:", keyPath);
    if (lines[1] != songKey(song) || lines[2] != soundFontKey(soundFont))
        return unused("song cache entry out of date:", keyPath);
    const QString audioPath = entry(songPath, ".flac");
    Audio audio(openRegular(audioPath, MaxAudioBytes));
    const QByteArray sum = audio.isOpen() ? checksum(audio.fd()) : QByteArray();
    if (sum.isEmpty() || lines[3] != sum)
        return unused("song cache audio damaged or missing:", audioPath);
    return audio;
}

std::unique_ptr<QTemporaryFile> SongCache::newPart(const QString &songPath) const {
    if (!enabled())
        return nullptr;
    if (!QDir().mkpath(m_folder)) {
        unused("song cache folder could not be made:", m_folder);
        return nullptr;
    }
    // A name no other rendering, of this copy or another, uses; locked
    // while it is written, so that only those of renderings that died go.
    // The folder's lock keeps any other copy from looking in between.
    const Audio folder(
        ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const bool alone = lockBriefly(folder.fd());
    auto part = std::make_unique<QTemporaryFile>(entry(songPath, ".XXXXXX.part"));
    if (part->open() && ::flock(part->handle(), LOCK_EX | LOCK_NB) == 0) {
        if (alone)
            removeDeadParts();
        return part;
    }
    unused("song cache could not make a file to render into:",
           part->fileTemplate() + " (" + part->errorString() + ')');
    return nullptr;
}

void SongCache::removeDeadParts() const {
    const QDir folder(m_folder);
    for (const QString &name :
         folder.entryList({QStringLiteral("*.part")}, QDir::System | QDir::Files | QDir::Hidden)) {
        const QString path = folder.filePath(name);
        const Audio part(openRegular(path, std::numeric_limits<qint64>::max()));
        if (part.isOpen() && ::flock(part.fd(), LOCK_EX | LOCK_NB) == 0) {
            qCInfo(lcMusic).noquote() << "song cache removes what a rendering left:" << path;
            QFile::remove(path);
        }
    }
}

SongCache::Audio SongCache::store(const QString &songPath, const QByteArray &song,
                                  const QString &soundFont, QTemporaryFile &part) const {
    const QString audioPath = entry(songPath, ".flac");
    const QString keyPath = entry(songPath, ".key");
    const QByteArray sum = checksum(part.handle());
    if (sum.isEmpty())
        return unused("song cache could not read the rendered song back:", part.fileName());
    // The old key stays until the new one replaces it: it does not match
    // the new audio, so nothing plays in between, and a rendering of
    // another copy keeps its entry whole.
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(audioPath).constData()))
        return unused("song cache could not take the rendered song:",
                      audioPath + " (" + qt_error_string(errno) + ')');
    part.setAutoRemove(false);
    Audio audio(::dup(part.handle()));
    QSaveFile key(keyPath);
    const QByteArray text = keyText(song, soundFont, sum);
    if (key.open(QIODevice::WriteOnly) && key.write(text) == text.size() && key.commit())
        return audio;
    return unused("song cache key could not be written:", keyPath + " (" + key.errorString() + ')');
}

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
#include <cerrno>
#include <cstdio>

namespace {
// A new format renders every song again.
constexpr char Format[] = "Quillary rendered song 1";
constexpr qint64 MaxKeyBytes = 4096;

QByteArray sourceKey(const QByteArray &song, const QString &soundFont) {
    const QFileInfo font(soundFont);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(song);
    hash.addData(QStringLiteral("\n%1\n%2\n%3")
                     .arg(font.canonicalFilePath())
                     .arg(font.size())
                     .arg(font.lastModified().toMSecsSinceEpoch())
                     .toUtf8());
    return hash.result().toHex();
}

// An entry the cache does without; it says why.
QString unused(const char *why, const QString &path) {
    qCInfo(lcMusic).noquote() << why << path;
    return {};
}

QByteArray checksum(const QString &path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex();
}
} // namespace

QString SongCache::defaultFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/songs");
}

QString SongCache::entry(const QString &songPath, const char *suffix) const {
    return QDir(m_folder).filePath(QFileInfo(songPath).completeBaseName() + QLatin1String(suffix));
}

QString SongCache::find(const QString &songPath, const QByteArray &song,
                        const QString &soundFont) const {
    if (!enabled())
        return {};
    QFile key(entry(songPath, ".key"));
    if (!key.exists())
        return {}; // never rendered
    if (!key.open(QIODevice::ReadOnly) || key.size() > MaxKeyBytes)
        return unused("song cache key unreadable:", key.fileName());
    const QList<QByteArray> lines = key.readAll().split('\n');
    if (lines.size() < 3 || lines[0] != Format)
        return unused("song cache key damaged:", key.fileName());
    if (lines[1] != sourceKey(song, soundFont))
        return unused("song cache entry out of date:", key.fileName());
    const QString audio = entry(songPath, ".flac");
    const QByteArray sum = checksum(audio);
    if (sum.isEmpty() || lines[2] != sum)
        return unused("song cache audio damaged or missing:", audio);
    return audio;
}

QString SongCache::partFile(const QString &songPath) const {
    if (!enabled())
        return {};
    if (!QDir().mkpath(m_folder))
        return unused("song cache folder could not be made:", m_folder);
    return entry(songPath, ".part");
}

QString SongCache::store(const QString &songPath, const QByteArray &song, const QString &soundFont,
                         const QString &partFile) const {
    const QString audio = entry(songPath, ".flac");
    const QString keyPath = entry(songPath, ".key");
    const QByteArray sum = checksum(partFile);
    // The old key goes first: audio without its key is never played.
    QFile::remove(keyPath);
    if (sum.isEmpty()) {
        QFile::remove(partFile);
        return unused("song cache could not read the rendered song back:", partFile);
    }
    if (std::rename(QFile::encodeName(partFile).constData(),
                    QFile::encodeName(audio).constData())) {
        const QString why = qt_error_string(errno);
        QFile::remove(partFile);
        return unused("song cache could not take the rendered song:", audio + " (" + why + ')');
    }
    QSaveFile key(keyPath);
    if (key.open(QIODevice::WriteOnly)) {
        key.write(QByteArray(Format) + '\n' + sourceKey(song, soundFont) + '\n' + sum + '\n');
        if (key.commit())
            return audio;
    }
    return unused("song cache key could not be written:", keyPath + " (" + key.errorString() + ')');
}

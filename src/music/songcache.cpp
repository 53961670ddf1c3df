#include "music/songcache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
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
    if (!key.open(QIODevice::ReadOnly) || key.size() > MaxKeyBytes)
        return {};
    const QList<QByteArray> lines = key.readAll().split('\n');
    if (lines.size() < 3 || lines[0] != Format || lines[1] != sourceKey(song, soundFont))
        return {};
    const QString audio = entry(songPath, ".flac");
    const QByteArray sum = checksum(audio);
    return !sum.isEmpty() && lines[2] == sum ? audio : QString();
}

QString SongCache::partFile(const QString &songPath) const {
    if (!enabled() || !QDir().mkpath(m_folder))
        return {};
    return entry(songPath, ".part");
}

QString SongCache::store(const QString &songPath, const QByteArray &song, const QString &soundFont,
                         const QString &partFile) const {
    const QString audio = entry(songPath, ".flac");
    const QString keyPath = entry(songPath, ".key");
    const QByteArray sum = checksum(partFile);
    // The old key goes first: audio without its key is never played.
    QFile::remove(keyPath);
    if (sum.isEmpty() || std::rename(QFile::encodeName(partFile).constData(),
                                     QFile::encodeName(audio).constData())) {
        QFile::remove(partFile);
        return {};
    }
    QSaveFile key(keyPath);
    if (!key.open(QIODevice::WriteOnly))
        return {};
    key.write(QByteArray(Format) + '\n' + sourceKey(song, soundFont) + '\n' + sum + '\n');
    return key.commit() ? audio : QString();
}

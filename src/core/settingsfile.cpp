// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace SettingsFile {

int parseFlag(const QByteArray &head) {
    if (head.isEmpty() || head[0] < '0' || head[0] > '9')
        return 0;
    return head[0] - '0';
}

int readFlag(const QString &path) {
    // Only a regular file: opening a FIFO or a device could block the start.
    if (!QFileInfo(path).isFile())
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return parseFlag(file.read(1));
}

bool writeFlag(const QString &path, bool noMusicAtStart) {
    const QFileInfo info(path);
    if (path.isEmpty() || !QDir().mkpath(info.path()))
        return false;
    // A link is replaced by the file, never written through: it might lead
    // to a device or to someone else's file. Anything else but a regular
    // file is refused.
    if (info.isSymLink()) {
        if (!QFile::remove(path))
            return false;
    } else if (info.exists() && !info.isFile()) {
        return false;
    }
    // Replaced whole, so a failed write never leaves a half file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(noMusicAtStart ? "0" : "1", 1);
    return file.commit();
}

} // namespace SettingsFile

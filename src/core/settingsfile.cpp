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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return parseFlag(file.read(1));
}

bool writeFlag(const QString &path, bool noMusicAtStart) {
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).path()))
        return false;
    // Replaced whole, so a failed write never leaves a half file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(noMusicAtStart ? "0" : "1", 1);
    return file.commit();
}

} // namespace SettingsFile

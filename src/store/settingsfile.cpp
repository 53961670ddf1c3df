#include "store/settingsfile.h"

#include <QFile>
#include <QSaveFile>

namespace SettingsFile {

int readFlag(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    char c = 0;
    if (file.read(&c, 1) != 1 || c < '0' || c > '9')
        return 0;
    return c - '0';
}

bool writeFlag(const QString &path, bool noMusicAtStart) {
    // Replaced whole, so a failed write never leaves a half file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(noMusicAtStart ? "0" : "1", 1);
    return file.commit();
}

} // namespace SettingsFile

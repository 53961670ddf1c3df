// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace AppPaths {

QString appDir() {
    QString dir = QCoreApplication::applicationDirPath();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

namespace {
// An installed copy keeps what every architecture shares in
// <prefix>/share/quillary, found from <prefix>/libexec/quillary so that the
// prefix can move; a build folder keeps it all beside the binary.
QString shareDir() {
    const QString app = appDir();
    if (app.endsWith(QLatin1String("/libexec/quillary"))) {
        const QString shared = QDir::cleanPath(app + QStringLiteral("/../../share/quillary"));
        if (QFileInfo(shared).isDir())
            return shared;
    }
    return app;
}

QString &startIniOverride() {
    static QString path;
    return path;
}
} // namespace

QString shippedStartIni() {
    return startIniOverride().isEmpty() ? shareDir() + QStringLiteral("/start.ini")
                                        : startIniOverride();
}
void setShippedStartIni(const QString &path) {
    startIniOverride() = path;
}

QString userStartIni() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/start.ini");
}

QString startIniToRead() {
    const QString user = userStartIni();
    return !user.isEmpty() && QFileInfo::exists(user) ? user : shippedStartIni();
}
QString helpPage() {
    return shareDir() + QStringLiteral("/help/help.htm");
}
QString song(int number) {
    return shareDir() + QStringLiteral("/mid/%1.mid").arg(number);
}
QString face(const QString &faceName) {
    return shareDir() + QStringLiteral("/qqface/") + faceName;
}

QString faceFile(const QString &faceName) {
    if (faceName.isEmpty() || faceName.contains(QLatin1Char('/')) ||
        faceName.contains(QLatin1Char('\\')) || faceName == QLatin1String("..") ||
        faceName == QLatin1String(".") || faceName.contains(QChar(0)))
        return {};
    const QString path = face(faceName);
    const QString folder = QFileInfo(face(QString())).canonicalFilePath();
    const QFileInfo info(path);
    if (folder.isEmpty() || !info.isFile() || info.canonicalPath() != folder)
        return {};
    return path;
}

QString shippedChapter(const QString &folder, int number) {
    return shareDir() + QStringLiteral("/story/") + folder + QLatin1Char('/') +
           QString::number(number);
}

QString userChapterFolder(const QString &folder) {
    const QString dir = userDataDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/story/") + folder;
}

QString chapter(const QString &folder, int number) {
    const QString users = userChapterFolder(folder);
    if (!users.isEmpty()) {
        const QString own = users + QLatin1Char('/') + QString::number(number);
        if (QFileInfo::exists(own))
            return own;
    }
    return shippedChapter(folder, number);
}

QString userDataDir() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString dataDir() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty() || !QDir().mkpath(dir))
        return QString();
    return dir;
}

QString databasePath() {
    const QString dir = dataDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/work.db");
}

} // namespace AppPaths

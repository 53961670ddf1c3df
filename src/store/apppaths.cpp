#include "store/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace AppPaths {

QString appDir() {
    QString dir = QCoreApplication::applicationDirPath();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

QString startIni() { return appDir() + QStringLiteral("/start.ini"); }
QString helpPage() { return appDir() + QStringLiteral("/help/help.htm"); }
QString song(int number) { return appDir() + QStringLiteral("/mid/%1.mid").arg(number); }
QString face(const QString &faceName) { return appDir() + QStringLiteral("/qqface/") + faceName; }

QString chapter(const QString &folder, int number) {
    return appDir() + QStringLiteral("/story/") + folder + QLatin1Char('/') +
           QString::number(number);
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

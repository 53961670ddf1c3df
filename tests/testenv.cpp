// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into every test of the windows: the program's music goes to a
// double, so no test waits for a SoundFont or makes a sound, and each test
// process has configuration and data folders of its own and its own copy of
// the shipped start.ini.
#include "core/apppaths.h"
#include "fakeplayer.h"
#include "music/backgroundmusic.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
void installTestEnvironment() {
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<FakePlayer>(); });
    static QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", folder.filePath(QStringLiteral("cache")).toLocal8Bit());
    QDir(folder.path()).mkpath(QStringLiteral("shipped"));
    const QString shipped = folder.filePath(QStringLiteral("shipped/start.ini"));
    QFile::copy(AppPaths::shippedStartIni(), shipped);
    AppPaths::setShippedStartIni(shipped);
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(installTestEnvironment)

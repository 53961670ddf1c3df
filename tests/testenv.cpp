// Linked into every test of the windows: the program's music goes to a
// double, so no test waits for a SoundFont or makes a sound, and each test
// process keeps its own start.ini, a copy of the shipped one.
#include "core/apppaths.h"
#include "fakeplayer.h"
#include "music/backgroundmusic.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {
void installTestEnvironment() {
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<FakePlayer>(); });
    static QTemporaryDir folder;
    const QString own = folder.filePath(QStringLiteral("start.ini"));
    QFile::copy(AppPaths::startIni(), own);
    AppPaths::setStartIni(own);
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(installTestEnvironment)

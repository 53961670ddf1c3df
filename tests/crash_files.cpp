// SPDX-License-Identifier: GPL-3.0-or-later
// Imports: after any kill, and the recovery a start or the next import
// does, the novel's chapters are one import's, whole, and nothing a link
// led to was touched. Renderings: an entry whose key names the song plays
// its own audio, no rendering's file outlives the next one, and a file of
// the user's linked at the cache's old working name is never written.
#include "crash_files.h"

#include "core/novelimport.h"
#include "music/backgroundmusic.h"
#include "music/fluidplayer.h"
#include "music/songcache.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace CrashFiles {

namespace {

void say(char op, qint64 value) {
    std::printf("%c%lld\n", op, value);
    std::fflush(stdout);
}

// Each import a generation of its own: every chapter names it and its
// number, and the generation sets how many there are.
int chaptersOf(qint64 generation) {
    return 3 + int(generation % 30);
}

int importChild(const QString &story, quint32 seed) {
    QRandomGenerator rng(seed);
    for (;;) {
        const qint64 generation = rng.bounded(1000000000);
        QList<std::pair<int, QString>> files;
        for (int i = 1; i <= chaptersOf(generation); ++i)
            files.append({i, QStringLiteral("%1:%2:").arg(generation).arg(i) +
                                 QString(int(rng.bounded(40000)), QChar(0x6587))});
        say('-', generation);
        if (NovelImport::write(story + QStringLiteral("/she"), files))
            say('x', generation);
    }
}

// A one-note song, this many ticks long; written whole or not at all.
QByteArray writeSong(const QString &path, int ticks) {
    QByteArray track("\x00\x90\x3c\x60", 4);
    for (int shift = 21; shift > 0; shift -= 7)
        if (ticks >> shift)
            track += char(0x80 | ((ticks >> shift) & 0x7f));
    track += char(ticks & 0x7f);
    track += QByteArray("\x80\x3c\x00\x00\xff\x2f\x00", 7);
    QByteArray bytes("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0MTrk", 18);
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += char((track.size() >> shift) & 0xff);
    bytes += track;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return {};
    return bytes;
}

// A new song each round, so that each is rendered; announced once it
// plays from its rendering.
int renderChild(const QString &cache, const QString &songs, quint32 seed) {
    QRandomGenerator rng(seed);
    const QString song = songs + QStringLiteral("/tune.mid");
    for (;;) {
        if (writeSong(song, 480 * (2 + int(rng.bounded(8)))).isEmpty())
            return 2;
        FluidPlayer player(FluidPlayer::Output::Pulled, cache);
        player.setFileName(song);
        BackgroundMusic::start(player, 0);
        player.pull(0);
        if (QTest::qWaitFor([&] { return player.length() > 0; }, 60000))
            say('r', 0);
    }
}

struct Outcome {
    QList<qint64> started, returned;
};

Outcome run(const QStringList &arguments, int killAfterMs) {
    QProcess child;
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForStarted();
    QThread::msleep(killAfterMs);
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(10000);
    Outcome outcome;
    QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    lines.removeLast(); // what follows the last full line
    for (const QByteArray &line : std::as_const(lines))
        (line.startsWith('x') ? outcome.returned : outcome.started)
            .append(line.mid(1).toLongLong());
    return outcome;
}

QStringList entries(const QString &folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

// The generation the chapters in folder are all of; -1 when they are not
// one import's, whole.
qint64 wholeGeneration(const QString &folder) {
    const QStringList names = entries(folder);
    qint64 generation = -1;
    for (const QString &name : names) {
        QFile f(folder + QLatin1Char('/') + name);
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        const QList<QByteArray> head = f.read(64).split(':');
        const qint64 g = head.value(0).toLongLong();
        if (head.size() < 3 || head[1] != name.toUtf8() || (generation >= 0 && g != generation))
            return -1;
        generation = g;
    }
    return generation >= 0 && names.size() == chaptersOf(generation) ? generation : -1;
}

bool failed(int kill, const char *what, const QString &detail = {}) {
    std::printf("kill %d: %s %s\n", kill, what, qPrintable(detail));
    return true;
}

int killImports(int kills, QRandomGenerator &rng) {
    QTemporaryDir dir;
    const QString story = dir.filePath("story"), mine = dir.filePath("mine");
    QDir().mkpath(story);
    QDir().mkpath(mine + "/sub");
    for (const QString &name : QStringList{mine + "/1", mine + "/sub/a"}) {
        QFile f(name);
        f.open(QIODevice::WriteOnly);
        f.write("the user's");
    }
    QFile::link(mine, story + "/she"); // the first import replaces the link only
    const QStringList minesBefore = entries(mine) + entries(mine + "/sub");
    qint64 current = -1; // the generation in place; none while the link is
    int faults = 0, leftovers = 0, imports = 0;
    for (int k = 0; k < kills; ++k) {
        const Outcome o =
            run({"--import", story, QString::number(rng.bounded(1000000))}, 100 + rng.bounded(600));
        imports += int(o.returned.size());
        leftovers += int(entries(story).size()) - 1;
        NovelImport::recover(story + "/she"); // as the next start or import does
        const qint64 returned = o.returned.isEmpty() ? current : o.returned.last();
        const qint64 started = o.started.isEmpty() ? returned : o.started.last();
        const qint64 now = QFileInfo(story + "/she").isSymLink()
                               ? -1
                               : wholeGeneration(story + QStringLiteral("/she"));
        if (entries(story) != QStringList{"she"})
            faults += failed(k, "left beside the chapters:", entries(story).join(' '));
        else if (now < 0 && !(current < 0 && returned < 0 && QFileInfo(story + "/she").isSymLink()))
            faults += failed(k, "the chapters are not one import's, whole");
        else if (now != returned && now != started)
            faults += failed(k, "the chapters are of another import:", QString::number(now));
        if (entries(mine) + entries(mine + "/sub") != minesBefore)
            faults += failed(k, "a folder a link led to was changed");
        current = now;
    }
    std::printf("crash harness: %d kills while importing, %d imports returned, %d leftovers "
                "recovered, %d faults\n",
                kills, imports, leftovers, faults);
    return faults;
}

// A key that names the song now in the folder holds its audio.
bool entryHoldsItsSong(const QString &cache, const QString &song) {
    QFile key(cache + "/tune.key"), tune(song);
    if (!key.open(QIODevice::ReadOnly) || !tune.open(QIODevice::ReadOnly))
        return true;
    const QByteArray bytes = tune.readAll();
    const QList<QByteArray> lines = key.readAll().split('\n');
    if (lines.size() < 4 ||
        lines[1] != QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())
        return true; // of an earlier song: never played for this one
    return SongCache(cache).find(song, bytes, FluidPlayer::systemSoundFont()).isOpen();
}

int killRenders(int kills, QRandomGenerator &rng) {
    if (FluidPlayer::systemSoundFont().isEmpty()) {
        std::printf("crash harness: no SoundFont, no renderings killed\n");
        return 0;
    }
    QTemporaryDir dir;
    const QString cache = dir.filePath("cache"), songs = dir.filePath("songs");
    QDir().mkpath(cache);
    QDir().mkpath(songs);
    QFile victim(dir.filePath("victim"));
    victim.open(QIODevice::WriteOnly);
    victim.write("the user's");
    victim.close();
    QFile::link(victim.fileName(), cache + "/tune.part");
    int faults = 0, rendered = 0;
    for (int k = 0; k < kills; ++k) {
        const Outcome o = run({"--render", cache, songs, QString::number(rng.bounded(1000000))},
                              500 + rng.bounded(3500));
        rendered += int(o.started.size());
        if (!entryHoldsItsSong(cache, songs + "/tune.mid"))
            faults += failed(k, "the entry of the song does not hold its audio");
        const QStringList parts = entries(cache).filter(QRegularExpression("^tune\\..+\\.part$"));
        if (parts.size() > 1)
            faults += failed(k, "renderings left their files:", parts.join(' '));
        QFile user(victim.fileName());
        if (!user.open(QIODevice::ReadOnly) || user.readAll() != "the user's" ||
            !QFileInfo(cache + "/tune.part").isSymLink())
            faults += failed(k, "a file of the user's linked in the cache was written");
    }
    std::printf("crash harness: %d kills while rendering, %d songs rendered, %d faults\n", kills,
                rendered, faults);
    return faults;
}

} // namespace

int runChild(int argc, char *argv[]) {
    const bool import = argc == 4 && qstrcmp(argv[1], "--import") == 0;
    const bool render = argc == 5 && qstrcmp(argv[1], "--render") == 0;
    if (!import && !render)
        return -1;
    QCoreApplication app(argc, argv);
    if (import)
        return importChild(QString::fromLocal8Bit(argv[2]), quint32(atoll(argv[3])));
    return renderChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                       quint32(atoll(argv[4])));
}

int killDuringFileWork(int kills, QRandomGenerator &rng) {
    return killImports(kills, rng) + killRenders(kills, rng);
}

} // namespace CrashFiles

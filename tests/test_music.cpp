// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/apppaths.h"
#include "music/backgroundmusic.h"
#include "music/fluidplayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct Audio {
    qint64 frames = -1;
    double rms = 0;
};

Audio readAudio(const QString &path) {
    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    Audio a;
    if (!file)
        return a;
    short block[2 * 4096];
    double sum = 0;
    qint64 samples = 0;
    for (sf_count_t n; (n = sf_readf_short(file, block, 4096)) > 0;) {
        for (sf_count_t i = 0; i < 2 * n; ++i)
            sum += double(block[i]) * block[i];
        samples += 2 * n;
    }
    sf_close(file);
    a.frames = samples / 2;
    a.rms = samples ? std::sqrt(sum / double(samples)) : 0;
    return a;
}

constexpr int Pull = 4096;

// What the music says under quillary.music while this lives, from any thread.
class MusicLog {
public:
    MusicLog() {
        QLoggingCategory::setFilterRules(QStringLiteral("quillary.music=true"));
        s_previous = qInstallMessageHandler(capture);
    }
    ~MusicLog() {
        qInstallMessageHandler(s_previous);
        QLoggingCategory::setFilterRules({});
        std::lock_guard lock(s_lock);
        s_lines.clear();
    }
    // A line that names the failing step and the file or device.
    bool says(const char *step, const QString &name) const {
        std::lock_guard lock(s_lock);
        for (const QString &line : s_lines)
            if (line.startsWith(QLatin1String(step)) && line.contains(name))
                return true;
        return false;
    }

private:
    static void capture(QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (qstrcmp(context.category, "quillary.music") == 0) {
            std::lock_guard lock(s_lock);
            s_lines += text;
        }
        s_previous(type, context, text);
    }
    static inline std::mutex s_lock;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

// Opens a song the way the music loop does and lets the commands take effect.
void start(FluidPlayer &player, const QString &song) {
    player.setFileName(song);
    BackgroundMusic::start(player, 0);
    player.pull(0);
}

// Plays the open song to its end; its length then.
qint64 playToEnd(FluidPlayer &player) {
    for (int i = 0; i < 10000 && player.position() != player.length(); ++i)
        player.pull(Pull);
    return player.position() == player.length() ? player.length() : -2;
}

qint64 liveLength(const QString &song) {
    FluidPlayer live(FluidPlayer::Output::Pulled);
    start(live, song);
    return playToEnd(live);
}

// A live song goes over to its rendered audio in the middle, once the
// background rendering is done; false if it never does. The wait only
// bounds a hang: rendering under the sanitizers beside other tests is slow.
bool goesOverToRendered(FluidPlayer &player) {
    player.pull(Pull);
    if (player.length() != -1)
        return false; // not live
    return QTest::qWaitFor([&] { return player.length() > 0; }, 60000) && player.position() > 0 &&
           player.position() < player.length();
}
} // namespace

// The real sequencer: songs rendered offline through FluidSynth, played from
// the render cache and live, pulled by hand and through ALSA's null device.
class TestMusic : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_soundFont;

    // A one-note song, the note this many ticks long (0: no note at all).
    QString song(const char *name, int ticks) {
        QByteArray track;
        if (ticks > 0) {
            track += QByteArray("\x00\x90\x3c\x60", 4);
            for (int shift = 21; shift > 0; shift -= 7)
                if (ticks >> shift)
                    track += char(0x80 | ((ticks >> shift) & 0x7f));
            track += char(ticks & 0x7f);
            track += QByteArray("\x80\x3c\x00", 3);
        }
        track += QByteArray("\x00\xff\x2f\x00", 4);
        QByteArray bytes("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0MTrk", 18);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += char((track.size() >> shift) & 0xff);
        QFile f(m_dir.filePath(QString::fromLatin1(name)));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes + track) != bytes.size() + track.size())
            return {};
        return f.fileName();
    }

    QString cacheFile(const QString &cache, const char *suffix) {
        const QStringList found =
            QDir(cache).entryList({QStringLiteral("*") + QLatin1String(suffix)}, QDir::Files);
        return found.size() == 1 ? QDir(cache).filePath(found.first()) : QString();
    }

private Q_SLOTS:
    void initTestCase() {
        m_soundFont = FluidPlayer::systemSoundFont();
        if (m_soundFont.isEmpty())
            QSKIP("no General MIDI SoundFont on this system");
        // A real audio output that needs no sound card: ALSA's null device,
        // the only configuration ALSA reads, set before any device opens.
        QFile asoundrc(m_dir.filePath("asoundrc"));
        QVERIFY(asoundrc.open(QIODevice::WriteOnly));
        asoundrc.write("pcm.!default { type null }\n");
        asoundrc.close();
        qputenv("ALSA_CONFIG_PATH", asoundrc.fileName().toLocal8Bit());
        qputenv("PULSE_SERVER", "unix:/nonexistent"); // straight to ALSA
        qputenv("XDG_CACHE_HOME", m_dir.filePath("home-cache").toLocal8Bit());
    }

    // Samples loaded as a song needs them, as the cache renders, sound as
    // the whole SoundFont loaded up front did: the same length and level.
    void shippedSongsSoundAsWithTheWholeSoundFont() {
        for (int n = 1; n <= 10; ++n) {
            QFile f(AppPaths::song(n));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.read(4) == "MThd");
        }
        const QString whole = m_dir.filePath("whole.flac"), onDemand = m_dir.filePath("part.flac");
        const FluidPlayer::Render before =
            FluidPlayer::renderToFile(AppPaths::song(4), whole, m_soundFont, true);
        const FluidPlayer::Render after =
            FluidPlayer::renderToFile(AppPaths::song(4), onDemand, m_soundFont);
        QVERIFY(before.ok && after.ok);
        QVERIFY(after.tick >= after.totalTicks); // position reaches length at the end
        const Audio a = readAudio(whole), b = readAudio(onDemand);
        QCOMPARE(a.frames, before.frames);
        QCOMPARE(b.frames, a.frames);
        QVERIFY2(b.frames >= 60 * 44100, qPrintable(QString::number(b.frames)));
        QVERIFY2(a.rms > 100, qPrintable(QString::number(a.rms))); // not silence
        QVERIFY2(std::abs(b.rms - a.rms) < 0.005 * a.rms,
                 qPrintable(QStringLiteral("%1 against %2").arg(b.rms).arg(a.rms)));
    }

    void realMidiFilesAndBrokenOnes() {
        const QDir midi(QStringLiteral(QUILLARY_SHARED_DATA "/midi"));
        if (!midi.exists())
            QSKIP("shared MIDI files not present");
        for (const char *name : {"emidi-powerup-type0.mid", "emidi-success2-type0.mid"}) {
            const QString audio = m_dir.filePath(QString::fromLatin1(name) + ".flac");
            const FluidPlayer::Render r = FluidPlayer::renderToFile(
                midi.filePath(QString::fromLatin1(name)), audio, m_soundFont);
            QVERIFY2(r.ok && r.totalTicks > 0 && r.tick >= r.totalTicks, name);
            QVERIFY2(readAudio(audio).rms > 10, name);
        }
        for (const QString &name : QDir(midi.filePath("malformed")).entryList(QDir::Files))
            FluidPlayer::renderToFile(midi.filePath("malformed/" + name),
                                      m_dir.filePath("bad.flac"),
                                      m_soundFont); // must simply return
    }

    // A song plays live at once and goes over to its rendering mid-song;
    // afterwards it plays from the cache, exactly as long as live. A song
    // file that changed is rendered anew, never played from the old audio.
    void renderCacheFreshAndStale() {
        const QString cache = m_dir.filePath("cache-fresh");
        const QString tune = song("tune.mid", 480 * 6);
        const qint64 live = liveLength(tune);
        QVERIFY(live > 44100);
        {
            FluidPlayer player(FluidPlayer::Output::Pulled, cache);
            start(player, tune);
            QVERIFY(goesOverToRendered(player));
            QCOMPARE(playToEnd(player), live);
        }
        QVERIFY(!cacheFile(cache, ".key").isEmpty());
        QCOMPARE(readAudio(cacheFile(cache, ".flac")).frames, live);
        FluidPlayer player(FluidPlayer::Output::Pulled, cache);
        start(player, tune);
        QCOMPARE(player.length(), live); // known at once: from the cache
        QCOMPARE(playToEnd(player), live);
        BackgroundMusic::start(player, 0); // the loop restarts it
        player.pull(Pull);
        QVERIFY(player.position() > 0 && player.position() < live);

        song("tune.mid", 480 * 3);
        const qint64 shorter = liveLength(tune);
        QVERIFY(shorter < live);
        start(player, tune);
        QVERIFY(goesOverToRendered(player));
        QCOMPARE(playToEnd(player), shorter);
        start(player, tune);
        QCOMPARE(player.length(), shorter);
    }

    void damagedEntriesAreRenderedAgain() {
        MusicLog log;
        const QString cache = m_dir.filePath("cache-damaged");
        const QString tune = song("damaged.mid", 480 * 4);
        const qint64 live = liveLength(tune);
        const QList<std::function<void()>> damages = {
            [&] { // a flipped run of bytes inside the audio
                QFile f(cacheFile(cache, ".flac"));
                QVERIFY(f.open(QIODevice::ReadWrite));
                f.seek(f.size() / 2);
                const QByteArray run = f.peek(64);
                QByteArray flipped;
                for (char c : run)
                    flipped += char(~c);
                f.write(flipped);
            },
            [&] { QVERIFY(QFile::resize(cacheFile(cache, ".flac"), 1000)); },
            [&] { QVERIFY(QFile::remove(cacheFile(cache, ".flac"))); },
            [&] {
                QFile f(cacheFile(cache, ".key"));
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("rubbish\n\n\n");
            },
        };
        for (int i = -1; i < damages.size(); ++i) {
            if (i >= 0)
                damages[i]();
            FluidPlayer player(FluidPlayer::Output::Pulled, cache);
            start(player, tune);
            QVERIFY2(goesOverToRendered(player), qPrintable(QString::number(i)));
            QCOMPARE(playToEnd(player), live);
            start(player, tune);
            QCOMPARE(player.length(), live);
        }
        QVERIFY(log.says("song cache audio damaged or missing:", cache));
        QVERIFY(log.says("song cache key damaged:", cache));
    }

    // A FIFO at an entry's name is never waited on (the command, and so the
    // end, would hang on it), a link at the name renderings were written
    // under is never written through, and what a killed rendering left goes.
    void foreignFilesInTheCacheAreNeitherWaitedOnNorWrittenThrough() {
        const QString cache = m_dir.filePath("cache-foreign");
        const QString tune = song("foreign.mid", 480 * 3);
        QVERIFY(QDir().mkpath(cache));
        for (const char *fifo : {"/foreign.key", "/foreign.flac"})
            QCOMPARE(::mkfifo(QFile::encodeName(cache + fifo).constData(), 0600), 0);
        QFile victim(m_dir.filePath("victim"));
        QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("the user's") == 10);
        victim.close();
        QVERIFY(QFile::link(victim.fileName(), cache + "/foreign.part"));
        QFile dead(cache + "/foreign.x1Y2z3.part"); // of a rendering that was killed
        QVERIFY(dead.open(QIODevice::WriteOnly) && dead.write("half") == 4);
        dead.close();
        FluidPlayer player(FluidPlayer::Output::Pulled, cache);
        auto opened = std::async(std::launch::async, [&] { start(player, tune); });
        // A FIFO would hold it for ever; a busy machine only for a while.
        if (opened.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            const int fd = ::open(QFile::encodeName(cache + "/foreign.key").constData(), O_RDWR);
            ::close(fd); // lets the program go on, to fail rather than hang
            opened.wait();
            QFAIL("opening a song waited on a FIFO in the cache");
        }
        QVERIFY(goesOverToRendered(player));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("the user's"));
        QVERIFY(QFileInfo(cache + "/foreign.part").isSymLink());
        QVERIFY(!dead.exists());
    }

    // Two copies of the program rendering one song into one cache each end
    // with their own audio, and the entry left is whole.
    void twoCopiesRenderingOneSongKeepEachOthersFiles() {
        const QString cache = m_dir.filePath("cache-shared");
        const QString tune = song("shared.mid", 480 * 8);
        const qint64 live = liveLength(tune);
        FluidPlayer first(FluidPlayer::Output::Pulled, cache);
        FluidPlayer second(FluidPlayer::Output::Pulled, cache);
        start(first, tune);
        start(second, tune);
        for (FluidPlayer *player : {&first, &second}) // each from its own rendering
            QVERIFY(QTest::qWaitFor([&] { return player->length() > 0; }, 20000));
        QCOMPARE(playToEnd(first), live);
        QCOMPARE(playToEnd(second), live);
        FluidPlayer third(FluidPlayer::Output::Pulled, cache);
        start(third, tune);
        QCOMPARE(third.length(), live);
        QCOMPARE(QDir(cache).entryList(QDir::Files), QStringList({"shared.flac", "shared.key"}));
    }

    // Where nothing can be written, songs play live, and end, every time.
    void unwritableCacheFallsBackToLivePlay() {
        MusicLog log;
        const QString tune = song("unwritable.mid", 480 * 2);
        const qint64 live = liveLength(tune);
        QFile blocker(m_dir.filePath("not-a-folder"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        FluidPlayer player(FluidPlayer::Output::Pulled, blocker.fileName());
        for (int round = 0; round < 3; ++round) {
            start(player, tune);
            QCOMPARE(player.length(), -1);
            QCOMPARE(playToEnd(player), live);
        }
        QCOMPARE(QFileInfo(blocker.fileName()).size(), 0);
        // The renderer says it from its own thread, in its own time.
        QVERIFY(QTest::qWaitFor(
            [&] { return log.says("song cache folder could not be made:", blocker.fileName()); },
            20000));
    }

    // Apply in the options dialog and the end-of-song timer, again and again
    // while the output thread plays and songs render in the background: long
    // songs, very short ones that end between two looks, music switched off,
    // and quitting while one plays.
    void restartsWhilePlayingNeverTouchFreedMemory() {
        const QStringList shortSongs = {song("blip.mid", 1), song("beat.mid", 240),
                                        song("empty.mid", 0)};
        auto player = std::make_unique<FluidPlayer>(FluidPlayer::Output::Device,
                                                    m_dir.filePath("cache-restarts"));
        BackgroundMusic::start(*player, 1);
        QVERIFY2(QTest::qWaitFor([&] { return player->length() > 0; }, 20000),
                 "no audio output opened, not even ALSA's null device");
        for (int i = 0; i < 120; ++i) {
            switch (i % 4) {
            case 0:
                BackgroundMusic::start(*player, 1 + i / 4 % 10);
                break;
            case 1:
                player->setFileName(shortSongs[i / 4 % shortSongs.size()]);
                BackgroundMusic::start(*player, 0);
                break;
            case 2:
                if (i % 8 == 2)
                    player->stop(); // Apply with the music off
                break;
            default:
                if (player->position() == player->length())
                    BackgroundMusic::start(*player, 0);
            }
            QTest::qWait(i % 3 == 0 ? 20 : 1);
        }
        // A very short song is seen to end, and starts again at once.
        player->setFileName(shortSongs[0]);
        BackgroundMusic::start(*player, 0);
        for (int restarts = 0; restarts < 20; ++restarts) {
            QVERIFY(QTest::qWaitFor([&] { return player->position() == player->length(); }, 20000));
            BackgroundMusic::start(*player, 0);
        }
        player.reset(); // quitting while it plays
    }

    // Quitting while the SoundFont loads, right after a song opened, while
    // it renders, and in the middle of one.
    void quittingAtAnyMomentEndsCleanly() {
        for (int wait : {0, 1, 50, -1}) {
            QTemporaryDir cache;
            auto player = std::make_unique<FluidPlayer>(FluidPlayer::Output::Device, cache.path());
            BackgroundMusic::start(*player, 3);
            if (wait < 0)
                QVERIFY(QTest::qWaitFor([&] { return player->position() > 0; }, 20000));
            else
                QTest::qWait(wait);
            player.reset();
            QVERIFY(QDir(cache.path()).entryList({"*.part"}, QDir::Files).isEmpty());
        }
    }

    // A song that cannot sound says under quillary.music which step failed:
    // its SoundFont, FluidSynth's own word on it, and the sound output.
    void silentMusicSaysWhichStepFailed() {
        MusicLog log;
        const QString tune = song("silent.mid", 480);
        const QString noFont = m_dir.filePath("nowhere.sf2");
        FluidPlayer fontless(FluidPlayer::Output::Pulled, {}, noFont);
        start(fontless, tune);
        fontless.pull(Pull);
        QVERIFY(fontless.position() != fontless.length());
        QVERIFY(log.says("SoundFont could not be loaded:", noFont));
        QVERIFY(log.says("FluidSynth error:", noFont));
        QVERIFY(log.says("song could not be played live:", tune));

        // No PulseAudio (see initTestCase), and an ALSA without a default device.
        QFile noDevices(m_dir.filePath("asoundrc-empty"));
        QVERIFY(noDevices.open(QIODevice::WriteOnly));
        noDevices.close();
        qputenv("ALSA_CONFIG_PATH", noDevices.fileName().toLocal8Bit());
        {
            FluidPlayer player(FluidPlayer::Output::Device);
            start(player, tune);
        }
        qputenv("ALSA_CONFIG_PATH", m_dir.filePath("asoundrc").toLocal8Bit());
        QVERIFY(log.says("audio output could not be opened:", "PulseAudio"));
        QVERIFY(log.says("audio output could not be opened:", "ALSA device \"default\""));
    }

    // A song file it cannot play is named in the log, with why.
    void liveDeviceNeverReportsAnEndWithoutASong() {
        MusicLog log;
        FluidPlayer player;
        QVERIFY(player.position() != player.length()); // nothing open yet
        player.setFileName(m_dir.filePath("missing.mid"));
        player.open();
        player.play();
        QVERIFY(player.position() != player.length());
        QVERIFY(log.says("song file missing:", player.fileName()));
        QFile junk(m_dir.filePath("junk.mid"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a song at all");
        junk.close();
        player.setFileName(junk.fileName());
        player.open();
        player.play();
        QVERIFY(player.position() != player.length());
        QVERIFY(log.says("song file is not MIDI:", junk.fileName()));
        player.setFileName(AppPaths::song(1));
        player.open(); // the SoundFont loads aside; commands return at once
        player.play();
        player.stop();
        QVERIFY(player.position() != player.length());
        player.close();
    }
};

QTEST_GUILESS_MAIN(TestMusic)
#include "test_music.moc"

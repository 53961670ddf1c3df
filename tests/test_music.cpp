#include "core/apppaths.h"
#include "music/backgroundmusic.h"
#include "music/fluidplayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {
struct Wav {
    double seconds = 0;
    double rms = 0;
};

// 16-bit stereo PCM as the file renderer writes it.
Wav readWav(const QString &path) {
    QFile f(path);
    Wav w;
    if (!f.open(QIODevice::ReadOnly))
        return w;
    const QByteArray bytes = f.readAll();
    const int data = int(bytes.indexOf("data"));
    if (data < 0)
        return w;
    const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData() + data + 8);
    const qsizetype count = (bytes.size() - data - 8) / 2;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    w.seconds = double(count) / 2.0 / 44100.0;
    w.rms = count ? std::sqrt(sum / double(count)) : 0;
    return w;
}
} // namespace

// The real sequencer: songs rendered offline through FluidSynth, and played
// live through ALSA's null device.
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
    }

    void shippedSongsPlayThroughAndLastAMinute() {
        for (int n = 1; n <= 10; ++n) {
            QFile f(AppPaths::song(n));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.read(4) == "MThd");
        }
        const QString wav = m_dir.filePath("song.wav");
        const FluidPlayer::Render r =
            FluidPlayer::renderToFile(AppPaths::song(4), wav, m_soundFont);
        QVERIFY(r.ok);
        QVERIFY(r.totalTicks > 0);
        QVERIFY(r.tick >= r.totalTicks); // position reaches length at the end
        const Wav audio = readWav(wav);
        QVERIFY2(audio.seconds >= 60, qPrintable(QString::number(audio.seconds)));
        QVERIFY2(audio.rms > 100, qPrintable(QString::number(audio.rms))); // not silence
    }

    void realMidiFilesAndBrokenOnes() {
        const QDir midi(QStringLiteral(QUILLARY_SHARED_DATA "/midi"));
        if (!midi.exists())
            QSKIP("shared MIDI files not present");
        for (const char *name : {"emidi-powerup-type0.mid", "emidi-success2-type0.mid"}) {
            const QString wav = m_dir.filePath(QString::fromLatin1(name) + ".wav");
            const FluidPlayer::Render r = FluidPlayer::renderToFile(
                midi.filePath(QString::fromLatin1(name)), wav, m_soundFont);
            QVERIFY2(r.ok && r.totalTicks > 0 && r.tick >= r.totalTicks, name);
            QVERIFY2(readWav(wav).rms > 10, name);
        }
        for (const QString &name : QDir(midi.filePath("malformed")).entryList(QDir::Files))
            FluidPlayer::renderToFile(midi.filePath("malformed/" + name), m_dir.filePath("bad.wav"),
                                      m_soundFont); // must simply return
    }

    // Apply in the options dialog and the end-of-song timer, again and again
    // while the audio thread renders: long songs, very short ones that end
    // between two looks, music switched off, and quitting while one plays.
    void restartsWhilePlayingNeverTouchFreedMemory() {
        const QStringList shortSongs = {song("blip.mid", 1), song("beat.mid", 240),
                                        song("empty.mid", 0)};
        auto player = std::make_unique<FluidPlayer>();
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
            QVERIFY(QTest::qWaitFor([&] { return player->position() == player->length(); }));
            BackgroundMusic::start(*player, 0);
        }
        player.reset(); // quitting while it plays
    }

    // Quitting while the SoundFont loads, right after a song opened, and in
    // the middle of one.
    void quittingAtAnyMomentEndsCleanly() {
        for (int wait : {0, 1, 50, -1}) {
            auto player = std::make_unique<FluidPlayer>();
            BackgroundMusic::start(*player, 3);
            if (wait < 0)
                QVERIFY(QTest::qWaitFor([&] { return player->position() > 0; }, 20000));
            else
                QTest::qWait(wait);
            player.reset();
        }
    }

    void liveDeviceNeverReportsAnEndWithoutASong() {
        FluidPlayer player;
        QVERIFY(player.position() != player.length()); // nothing open yet
        player.setFileName(m_dir.filePath("missing.mid"));
        player.open();
        player.play();
        QVERIFY(player.position() != player.length());
        QFile junk(m_dir.filePath("junk.mid"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a song at all");
        junk.close();
        player.setFileName(junk.fileName());
        player.open();
        player.play();
        QVERIFY(player.position() != player.length());
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

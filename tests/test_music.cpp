#include "core/apppaths.h"
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

// The real sequencer: songs rendered offline through FluidSynth.
class TestMusic : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_soundFont;

private Q_SLOTS:
    void initTestCase() {
        m_soundFont = FluidPlayer::systemSoundFont();
        if (m_soundFont.isEmpty())
            QSKIP("no General MIDI SoundFont on this system");
        // A real audio output that needs no sound card: ALSA's null device,
        // read from the home this process is given before any device opens.
        QFile asoundrc(m_dir.filePath(".asoundrc"));
        QVERIFY(asoundrc.open(QIODevice::WriteOnly));
        asoundrc.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        asoundrc.close();
        qputenv("HOME", m_dir.path().toLocal8Bit());
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

    // Songs restarted again and again while the audio thread renders, long
    // and very short ones, and the player destroyed while it plays.
    void restartsWhilePlayingNeverTouchFreedMemory() {
        QStringList songs = {AppPaths::song(1), AppPaths::song(7)};
        const QDir midi(QStringLiteral(QUILLARY_SHARED_DATA "/midi"));
        for (const char *name : {"emidi-powerup-type0.mid", "emidi-success2-type0.mid"})
            if (midi.exists(QString::fromLatin1(name)))
                songs << midi.filePath(QString::fromLatin1(name));
        auto player = std::make_unique<FluidPlayer>();
        player->setFileName(songs.first());
        player->open();
        player->play();
        if (!QTest::qWaitFor([&] { return player->length() > 0; }, 20000))
            QSKIP("no audio output opened, not even ALSA's null device");
        for (int i = 0; i < 60; ++i) {
            player->setFileName(songs[i % songs.size()]);
            player->close();
            player->open();
            player->play();
            QTest::qWait(i % 3 == 0 ? 30 : 2);
        }
        QVERIFY(player->length() > 0);
        player.reset(); // quitting while a song plays
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

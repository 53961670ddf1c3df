#include "shell/fluidplayer.h"

#include <QFile>
#include <QFileInfo>
#include <fluidsynth.h>

namespace {
constexpr qint64 MaxSongBytes = 4 * 1024 * 1024;

void quietLogs() {
    static bool done = false;
    if (done)
        return;
    done = true;
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, nullptr, nullptr);
}

// A song worth handing to the sequencer: a readable Standard MIDI File.
QByteArray readSong(const QString &path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || info.size() > MaxSongBytes)
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    return bytes.startsWith("MThd") ? bytes : QByteArray();
}
} // namespace

FluidPlayer::FluidPlayer() = default;

FluidPlayer::~FluidPlayer() { shutdown(); }

QString FluidPlayer::systemSoundFont() {
    for (const char *candidate :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf3/default-GM.sf3"})
        if (QFileInfo(QString::fromLatin1(candidate)).isReadable())
            return QString::fromLatin1(candidate);
    return {};
}

void FluidPlayer::startEngine() {
    if (m_engine != Engine::Off)
        return;
    m_engine = Engine::Loading;
    quietLogs();
    const QByteArray soundFont = systemSoundFont().toLocal8Bit();
    m_loader = std::thread([this, soundFont] {
        bool ok = false;
        if (!soundFont.isEmpty()) {
            m_settings = new_fluid_settings();
            fluid_settings_setint(m_settings, "synth.sample-rate", 44100);
            m_synth = new_fluid_synth(m_settings);
            if (m_synth && fluid_synth_sfload(m_synth, soundFont.constData(), 1) != FLUID_FAILED) {
                // Never the JACK driver: without a server it takes seconds to give up.
                for (const char *driver : {"pulseaudio", "alsa"}) {
                    fluid_settings_setstr(m_settings, "audio.driver", driver);
                    m_driver = new_fluid_audio_driver(m_settings, m_synth);
                    if (m_driver)
                        break;
                }
                ok = m_driver != nullptr;
            }
        }
        QMetaObject::invokeMethod(this, [this, ok] { engineReady(ok); }, Qt::QueuedConnection);
    });
}

void FluidPlayer::engineReady(bool ok) {
    if (m_loader.joinable())
        m_loader.join();
    m_engine = ok ? Engine::Ready : Engine::Failed;
    if (!ok)
        return;
    if (m_wantOpen)
        openNow();
    if (m_wantPlay && m_player)
        fluid_player_play(m_player);
}

void FluidPlayer::close() {
    m_wantOpen = false;
    m_wantPlay = false;
    m_song.clear();
    if (m_player) {
        fluid_player_stop(m_player);
        delete_fluid_player(m_player);
        m_player = nullptr;
        fluid_synth_all_sounds_off(m_synth, -1);
    }
}

void FluidPlayer::open() {
    close();
    m_song = readSong(fileName());
    if (m_song.isEmpty())
        return; // nothing to open: the device stays without a song
    m_wantOpen = true;
    if (m_engine == Engine::Ready)
        openNow();
    else
        startEngine();
}

void FluidPlayer::openNow() {
    m_player = new_fluid_player(m_synth);
    if (m_player && fluid_player_add_mem(m_player, m_song.constData(), size_t(m_song.size())) ==
                        FLUID_FAILED) {
        delete_fluid_player(m_player);
        m_player = nullptr;
    }
}

void FluidPlayer::play() {
    m_wantPlay = m_wantOpen;
    if (m_player)
        fluid_player_play(m_player);
}

void FluidPlayer::stop() {
    m_wantPlay = false;
    if (m_player) {
        fluid_player_stop(m_player);
        fluid_synth_all_notes_off(m_synth, -1);
    }
}

// Equal to length exactly when the song has played to its end. Without an
// open song, or before the song is parsed, the two never agree, so the
// music loop waits instead of reopening nothing over and over.
qint64 FluidPlayer::position() const {
    if (!m_player)
        return 0;
    const int total = fluid_player_get_total_ticks(m_player);
    const int tick = fluid_player_get_current_tick(m_player);
    if (total <= 0)
        return 0;
    return std::min(tick, total);
}

qint64 FluidPlayer::length() const {
    if (!m_player)
        return -1;
    const int total = fluid_player_get_total_ticks(m_player);
    return total > 0 ? total : -1;
}

void FluidPlayer::shutdown() {
    if (m_loader.joinable())
        m_loader.join();
    close();
    if (m_driver)
        delete_fluid_audio_driver(m_driver);
    if (m_synth)
        delete_fluid_synth(m_synth);
    if (m_settings)
        delete_fluid_settings(m_settings);
    m_driver = nullptr;
    m_synth = nullptr;
    m_settings = nullptr;
}

FluidPlayer::Render FluidPlayer::renderToFile(const QString &midiPath, const QString &wavPath,
                                              const QString &soundFont) {
    Render r;
    quietLogs();
    const QByteArray song = readSong(midiPath);
    if (song.isEmpty() || soundFont.isEmpty())
        return r;
    fluid_settings_t *settings = new_fluid_settings();
    fluid_settings_setstr(settings, "audio.file.name", wavPath.toLocal8Bit().constData());
    fluid_settings_setstr(settings, "audio.file.type", "wav");
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t *synth = new_fluid_synth(settings);
    fluid_player_t *player = nullptr;
    fluid_file_renderer_t *renderer = nullptr;
    if (synth && fluid_synth_sfload(synth, soundFont.toLocal8Bit().constData(), 1) != FLUID_FAILED) {
        player = new_fluid_player(synth);
        fluid_player_add_mem(player, song.constData(), size_t(song.size()));
        renderer = new_fluid_file_renderer(synth);
    }
    if (renderer && fluid_player_play(player) == FLUID_OK) {
        // Render until the song's last tick has been reached (bounded).
        int blocks = 0;
        while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && blocks < 44100 * 600 / 64) {
            if (fluid_file_renderer_process_block(renderer) != FLUID_OK)
                break;
            ++blocks;
            const int total = fluid_player_get_total_ticks(player);
            if (total > 0 && fluid_player_get_current_tick(player) >= total)
                break;
        }
        r.tick = fluid_player_get_current_tick(player);
        r.totalTicks = fluid_player_get_total_ticks(player);
        r.ok = true;
    }
    if (renderer)
        delete_fluid_file_renderer(renderer);
    if (player)
        delete_fluid_player(player);
    if (synth)
        delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return r;
}

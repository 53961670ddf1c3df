#pragma once

#include "shell/musicplayer.h"

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <thread>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;
struct _fluid_audio_driver_t;

// The sequencer on FluidSynth and the system's General MIDI SoundFont.
// The SoundFont and the audio output are set up on a worker thread the
// first time a song opens, so they never hold up the window; commands given
// meanwhile take effect once it is ready. Without an audio device or a
// SoundFont nothing plays and nothing is reported.
class FluidPlayer : public QObject, public MusicPlayer {
    Q_OBJECT
public:
    FluidPlayer();
    ~FluidPlayer() override;

    void close() override;
    void open() override;
    void play() override;
    void stop() override;
    qint64 position() const override;
    qint64 length() const override;

    // The first General MIDI SoundFont the system has; empty when none.
    static QString systemSoundFont();

    struct Render {
        bool ok = false;
        qint64 tick = 0, totalTicks = 0;
        int sampleRate = 44100;
    };
    // Plays a song offline into a WAV file, as a check of the whole chain.
    static Render renderToFile(const QString &midiPath, const QString &wavPath,
                               const QString &soundFont);

private:
    void startEngine();
    void engineReady(bool ok);
    void openNow();
    void shutdown();

    enum class Engine { Off, Loading, Ready, Failed };
    Engine m_engine = Engine::Off;
    std::thread m_loader;
    _fluid_hashtable_t *m_settings = nullptr;
    _fluid_synth_t *m_synth = nullptr;
    _fluid_audio_driver_t *m_driver = nullptr;
    _fluid_player_t *m_player = nullptr;
    QByteArray m_song;
    bool m_wantOpen = false;
    bool m_wantPlay = false;
};

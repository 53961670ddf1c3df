#pragma once

#include "music/midiengine.h"
#include "music/musicplayer.h"

#include <QByteArray>
#include <QObject>
#include <memory>
#include <thread>

class FluidPlayer : public QObject, public MusicPlayer {
    Q_OBJECT
public:
    using Output = MidiEngine::Output;
    explicit FluidPlayer(Output output = Output::Device);
    ~FluidPlayer() override;

    void close() override;
    void open() override;
    void play() override;
    void stop() override;
    qint64 position() const override;
    qint64 length() const override;
    // With a Pulled output, plays this many frames as a sound card would.
    void pull(int frames);

    // The first General MIDI SoundFont the system has; empty when none.
    static QString systemSoundFont();

    using Render = MidiEngine::Render;
    // Plays a song offline into a WAV file, as a check of the whole chain.
    static Render renderToFile(const QString &midiPath, const QString &wavPath,
                               const QString &soundFont);

private:
    void startEngine();
    void engineReady(bool ok);
    void openNow();
    void shutdown();

    const Output m_output;
    enum class Engine { Off, Loading, Ready, Failed };
    Engine m_engine = Engine::Off;
    std::thread m_loader;
    std::unique_ptr<MidiEngine> m_midi; // set by the loader, used once ready
    QByteArray m_song;
    bool m_wantOpen = false;
    bool m_wantPlay = false;
};

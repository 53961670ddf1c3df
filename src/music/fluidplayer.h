// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/midiengine.h"
#include "music/musicplayer.h"
#include "music/songcache.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The MusicPlayer on the synthesizer module. A song whose rendered audio is
// in the cache streams from it; any other plays live at once while it is
// rendered in the background, at the lowest priority, and goes over to its
// rendered audio once that is there. Commands return at once: a worker
// thread carries them out in order, and until it has, position and length
// never agree.
class FluidPlayer : public QObject, public MusicPlayer {
    Q_OBJECT
public:
    using Output = MidiEngine::Output;
    // An empty cache folder plays every song live; with no SoundFont given,
    // the system's plays them.
    explicit FluidPlayer(Output output = Output::Device, const QString &cacheFolder = {},
                         const QString &soundFont = {});
    ~FluidPlayer() override;

    void close() override;
    void open() override;
    void play() override;
    void stop() override;
    // Frames of the song heard, and its length: -1 while a live song's end
    // is not yet known.
    qint64 position() const override;
    qint64 length() const override;
    // With a Pulled output, lets the commands given so far take effect,
    // then plays this many frames as a sound card would.
    void pull(int frames);

    // The first General MIDI SoundFont the system has; empty when none.
    static QString systemSoundFont();

    using Render = MidiEngine::Render;
    // Renders a song offline into a FLAC file, as the cache does.
    static Render renderToFile(const QString &midiPath, const QString &audioPath,
                               const QString &soundFont, bool wholeSoundFont = false);

private:
    void post(std::function<void()> job, bool command = true);
    void work();
    // On the worker thread:
    bool engineReady();
    void load(const QString &path, const QByteArray &song);
    void render(const QString &path, const QByteArray &song);

    const Output m_output;
    const SongCache m_cache;
    const QString m_chosenSoundFont;

    std::mutex m_jobsLock;
    std::condition_variable m_jobsChanged;
    std::deque<std::function<void()>> m_jobs;
    bool m_quit = false;
    std::thread m_worker;    // started with the first command
    bool m_opened = false;   // the caller's: a song was ever opened
    int m_given = 0;         // commands given, counted on the caller's thread
    std::atomic<int> m_done; // and carried out

    // The worker's own.
    enum class Engine { Off, Ready, Failed } m_engine = Engine::Off;
    std::unique_ptr<MidiEngine> m_midi;
    QString m_soundFont;
    QString m_livePath; // the song playing live, while it may still go over
    QByteArray m_liveSong;
    QSet<QString> m_noRender; // songs whose rendering failed this session
    std::thread m_renderer;
    std::atomic<bool> m_rendering{false};
    std::atomic<bool> m_cancel{false};
};

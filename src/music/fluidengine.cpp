// SPDX-License-Identifier: GPL-3.0-or-later
// The loadable module: the MIDI engine on FluidSynth, and its sound output.
#include "music/audiodevice.h"
#include "music/midiengine.h"

#include <QStringBuilder>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fluidsynth.h>
#include <malloc.h>
#include <mutex>
#include <sndfile.h>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int Block = 64;   // frames: the synthesizer's step, and so the renderer's
constexpr int Chunk = 8192; // frames handed to the output at a time
constexpr int Rate = AudioDevice::SampleRate;
constexpr qint64 MaxFrames = qint64(Rate) * 600;

std::atomic<MidiEngineLog> engineLog{nullptr};

void say(const QByteArray &line) {
    if (const MidiEngineLog log = engineLog)
        log(line.constData());
}

void say(const char *step, const char *name) {
    say(QByteArray(step) + ": " + name);
}

void fluidSaid(int level, const char *message, void *) {
    const char *kind = level == FLUID_WARN ? "warning" : level == FLUID_ERR ? "error" : "panic";
    say(QByteArray("FluidSynth ") + kind + ": " + message);
}

// FluidSynth keeps one log for the whole process. Its chatter below a
// warning stays out.
void routeFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, level <= FLUID_WARN ? fluidSaid : nullptr, nullptr);
    });
}

// What freed SoundFont samples leave in the heap goes back to the system.
void returnFreedMemory() {
    malloc_trim(0);
}

fluid_settings_t *synthSettings(bool wholeSoundFont) {
    fluid_settings_t *settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", AudioDevice::SampleRate);
    // The songs advance with the samples rendered, whoever renders them.
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    // Only the instruments a song selects are read into memory.
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", wholeSoundFont ? 0 : 1);
    return settings;
}

// Live play and the renderer both stop here, block for block, so a rendered
// song is exactly as long as a live one.
bool lastTickReached(fluid_player_t *player) {
    const int total = fluid_player_get_total_ticks(player);
    return total > 0 && fluid_player_get_current_tick(player) >= total;
}

SNDFILE *openAudio(const char *path, qint64 *frames) {
    SF_INFO info{};
    SNDFILE *file = sf_open(path, SFM_READ, &info);
    if (!file) {
        say(QByteArray("rendered song could not be read: ") + path + " (" + sf_strerror(nullptr) +
            ')');
        return nullptr;
    }
    if (info.channels == 2 && info.samplerate == AudioDevice::SampleRate && info.frames > 0) {
        *frames = info.frames;
        return file;
    }
    say("rendered song is not 44.1 kHz stereo audio", path);
    sf_close(file);
    return nullptr;
}

bool loadSoundFont(fluid_synth_t *synth, const char *soundFont) {
    if (fluid_synth_sfload(synth, soundFont, 1) != FLUID_FAILED)
        return true;
    say("SoundFont could not be loaded", soundFont);
    return false;
}

// A synthesizer with the SoundFont loaded; null when it cannot have one.
fluid_synth_t *newSynth(fluid_settings_t *settings, const char *soundFont) {
    fluid_synth_t *synth = new_fluid_synth(settings);
    if (!synth)
        say("synthesizer could not be made with the SoundFont", soundFont);
    else if (!loadSoundFont(synth, soundFont))
        delete_fluid_synth(std::exchange(synth, nullptr));
    return synth;
}

fluid_player_t *newSongPlayer(fluid_synth_t *synth, const QByteArray &song) {
    fluid_player_t *player = new_fluid_player(synth);
    if (player && fluid_player_add_mem(player, song.constData(), size_t(song.size())) == FLUID_OK)
        return player;
    if (player)
        delete_fluid_player(player);
    say("the sequencer refused the song");
    return nullptr;
}

// Renders the song block for block up to its last tick, as live play
// would hear it.
void renderBlocks(fluid_player_t *player, fluid_file_renderer_t *renderer, const char *audioPath,
                  const std::atomic<bool> *cancel, MidiEngine::Render &r) {
    if (fluid_player_play(player) != FLUID_OK) {
        say("the sequencer could not start the song");
        return;
    }
    bool over = false;
    while (!over && r.frames < MaxFrames && !(cancel && *cancel)) {
        if (fluid_player_get_status(player) != FLUID_PLAYER_PLAYING) {
            over = true;
            break;
        }
        if (fluid_file_renderer_process_block(renderer) != FLUID_OK) {
            say("rendered song could not be written", audioPath);
            break;
        }
        r.frames += Block;
        over = lastTickReached(player);
    }
    r.tick = fluid_player_get_current_tick(player);
    r.totalTicks = fluid_player_get_total_ticks(player);
    r.ok = over && r.totalTicks > 0 && r.frames > 0;
    if (!over && r.frames >= MaxFrames)
        say("song runs longer than ten minutes, not rendered");
    else if (over && !r.ok)
        say("song has nothing to play");
}

class FluidEngine final : public MidiEngine {
public:
    FluidEngine() { routeFluidLog(); }
    ~FluidEngine() override {
        {
            std::lock_guard lock(m_lock);
            m_quit = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        dropSong();
        dropSynth();
    }

    bool start(Output output) override {
        m_output = output;
        if (output == Output::Pulled)
            return true;
        QByteArray refusals;
        if (!AudioDevice::open(&refusals)) { // opened only to know one will
            say("audio output could not be opened", refusals.constData());
            return false;
        }
        m_thread = std::thread([this] { run(); });
        return true;
    }

    bool loadRendered(const char *audioPath) override {
        qint64 frames = 0;
        SNDFILE *file = openAudio(audioPath, &frames);
        std::lock_guard lock(m_lock);
        newSong();
        if (!file)
            return false;
        m_file = file;
        m_length = frames;
        dropSynth(); // a rendered song needs no SoundFont
        return true;
    }

    bool loadLive(const QByteArray &song, const char *soundFont) override {
        // Only this thread creates or drops the synthesizer; the SoundFont
        // loads before the output thread can see it.
        fluid_settings_t *settings = nullptr;
        fluid_synth_t *synth = nullptr;
        if (!m_synth) {
            settings = synthSettings(false);
            synth = newSynth(settings, soundFont);
            if (!synth) {
                delete_fluid_settings(settings);
                std::lock_guard lock(m_lock);
                newSong();
                return false;
            }
        }
        std::lock_guard lock(m_lock);
        newSong();
        if (synth) {
            m_settings = settings;
            m_synth = synth;
        }
        fluid_synth_system_reset(m_synth);
        m_player = newSongPlayer(m_synth, song);
        if (m_player && fluid_player_play(m_player) != FLUID_OK) {
            say("the sequencer could not start the song");
            dropSong();
        }
        return m_player != nullptr;
    }

    void continueRendered(const char *audioPath) override {
        qint64 frames = 0;
        SNDFILE *file = openAudio(audioPath, &frames);
        if (!file)
            return;
        std::lock_guard lock(m_lock);
        if (!m_player || m_over || m_made >= frames || sf_seek(file, m_made, SEEK_SET) != m_made) {
            sf_close(file);
            return;
        }
        dropSong();
        m_file = file;
        m_length = frames;
        dropSynth();
    }

    void unload() override {
        std::lock_guard lock(m_lock);
        newSong();
    }

    void play() override {
        {
            std::lock_guard lock(m_lock);
            m_playing = true;
            m_deviceFailed = false;
        }
        m_wake.notify_all();
    }

    void stop() override {
        {
            std::lock_guard lock(m_lock);
            m_playing = false;
        }
        m_wake.notify_all();
    }

    qint64 position() const override { return m_heard; }
    qint64 length() const override { return m_length; }

    void pull(int frames) override {
        if (m_output != Output::Pulled)
            return; // the output's thread plays; a second player would race it
        std::lock_guard lock(m_lock);
        if (!m_playing)
            return;
        qint16 buffer[2 * Chunk];
        while (frames > 0) {
            const int n = fill(buffer, std::min(frames, Chunk));
            if (n == 0)
                break;
            frames -= n;
        }
        heardUpTo(m_made);
    }

    Render render(const QByteArray &song, const char *audioPath, const char *soundFont,
                  bool wholeSoundFont, const std::atomic<bool> *cancel) override {
        Render r;
        fluid_settings_t *settings = synthSettings(wholeSoundFont);
        fluid_settings_setstr(settings, "audio.file.name", audioPath);
        fluid_settings_setstr(settings, "audio.file.type", "flac");
        fluid_settings_setstr(settings, "audio.file.format", "s16");
        fluid_settings_setint(settings, "audio.period-size", Block);
        fluid_synth_t *synth = newSynth(settings, soundFont);
        fluid_player_t *player = synth ? newSongPlayer(synth, song) : nullptr;
        fluid_file_renderer_t *renderer = player ? new_fluid_file_renderer(synth) : nullptr;
        if (player && !renderer)
            say("rendered song could not be written", audioPath);
        if (renderer)
            renderBlocks(player, renderer, audioPath, cancel, r);
        if (renderer)
            delete_fluid_file_renderer(renderer);
        if (player)
            delete_fluid_player(player);
        if (synth)
            delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        returnFreedMemory();
        return r;
    }

private:
    // The rest runs with m_lock held.

    void dropSong() {
        if (m_player) {
            fluid_player_stop(m_player);
            delete_fluid_player(m_player);
            m_player = nullptr;
        }
        if (m_file)
            sf_close(m_file);
        m_file = nullptr;
    }

    void dropSynth() {
        if (!m_synth)
            return;
        delete_fluid_synth(m_synth);
        delete_fluid_settings(m_settings);
        m_synth = nullptr;
        m_settings = nullptr;
        returnFreedMemory();
    }

    void newSong() {
        dropSong();
        m_made = 0;
        m_over = false;
        m_finished = false;
        m_playing = false;
        m_deviceFailed = false;
        m_length = -1;
        m_heard = 0;
        ++m_generation;
        m_wake.notify_all();
    }

    // The next frames of the song, up to max; 0 once it is over.
    int fill(qint16 *out, int max) {
        if (m_over)
            return 0;
        int n = 0;
        if (m_file) {
            const qint64 wanted = std::min<qint64>(max, m_length - m_made);
            n = int(sf_readf_short(m_file, out, wanted));
            m_made += n;
            if (n < wanted || m_made >= m_length) {
                m_over = true;
                m_length = m_made;
            }
            return n;
        }
        if (!m_player)
            return 0;
        while (n + Block <= max) {
            if (fluid_player_get_status(m_player) != FLUID_PLAYER_PLAYING) {
                m_over = true;
                break;
            }
            fluid_synth_write_s16(m_synth, Block, out + 2 * n, 0, 2, out + 2 * n, 1, 2);
            n += Block;
            if (lastTickReached(m_player)) {
                m_over = true;
                break;
            }
        }
        m_made += n;
        // A song that never had a tick to play has no end to report.
        if (m_over && fluid_player_get_total_ticks(m_player) > 0)
            m_length = m_made;
        return n;
    }

    // Position reaches length only once the last frame has been heard.
    void heardUpTo(qint64 frames) {
        if (m_over && frames >= m_made) {
            m_finished = true;
            m_heard = m_length >= 0 ? m_length.load() : m_made;
            return;
        }
        const qint64 limit = m_length >= 0 ? m_length - 1 : frames;
        m_heard = std::clamp<qint64>(frames, 0, std::max<qint64>(limit, 0));
    }

    // The output thread: opens the device while a song sounds, feeds it
    // large chunks, and lets the song's last frames play out.
    void run() {
        m_buffer.resize(2 * Chunk);
        std::unique_lock lock(m_lock);
        while (!m_quit) {
            if (m_over && !m_finished && m_device && m_queued > 0) {
                if (!letLastFramesPlay(lock))
                    continue; // quitting, or another song: the rest is cut
                m_queued = 0;
            }
            if (m_over && !m_finished)
                heardUpTo(m_made);
            if (!m_playing || m_over || m_deviceFailed || (!m_file && !m_player)) {
                if (m_device)
                    closeDevice(lock);
                else
                    m_wake.wait(lock);
            } else if (!m_device) {
                openDevice(lock); // the song may change meanwhile
            } else {
                feed(lock);
            }
        }
        lock.unlock();
        m_device.reset();
    }

    // False when it stops waiting early: quitting, or another song.
    bool letLastFramesPlay(std::unique_lock<std::mutex> &lock) {
        const quint64 generation = m_generation;
        const auto playing = std::chrono::microseconds(m_queued * 1000000 / Rate);
        return !m_wake.wait_for(lock, playing,
                                [&] { return m_quit || generation != m_generation; });
    }

    // The device opens and closes without the lock: either may take a while.
    void openDevice(std::unique_lock<std::mutex> &lock) {
        lock.unlock();
        QByteArray refusals;
        std::unique_ptr<AudioDevice> device = AudioDevice::open(&refusals);
        if (!device)
            say("audio output could not be opened", refusals.constData());
        lock.lock();
        m_device = std::move(device);
        m_deviceFailed = !m_device;
    }

    void closeDevice(std::unique_lock<std::mutex> &lock) {
        std::unique_ptr<AudioDevice> device = std::move(m_device);
        m_queued = 0;
        lock.unlock();
        device.reset();
        lock.lock();
    }

    void feed(std::unique_lock<std::mutex> &lock) {
        const quint64 generation = m_generation;
        const int n = fill(m_buffer.data(), Chunk);
        if (n == 0)
            return;
        lock.unlock();
        const bool written = m_device->write(m_buffer.data(), n);
        m_queued = written ? m_device->queued() : 0;
        lock.lock();
        if (generation == m_generation && written) {
            heardUpTo(m_made - m_queued);
            return;
        }
        // Another song, or a lost device: what is queued goes.
        if (!written && generation == m_generation) {
            say("audio output lost while playing", m_device->name());
            m_deviceFailed = true;
        }
        closeDevice(lock);
    }

    Output m_output = Output::Device;
    std::thread m_thread;
    // The output thread's own.
    std::unique_ptr<AudioDevice> m_device;
    qint64 m_queued = 0; // frames the device held after the last write
    std::vector<qint16> m_buffer;

    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_quit = false;
    bool m_playing = false;
    bool m_deviceFailed = false;
    quint64 m_generation = 0;

    fluid_settings_t *m_settings = nullptr;
    fluid_synth_t *m_synth = nullptr;
    fluid_player_t *m_player = nullptr; // the song, live
    SNDFILE *m_file = nullptr;          // or rendered

    qint64 m_made = 0; // frames of the song produced so far
    bool m_over = false;
    bool m_finished = false;
    std::atomic<qint64> m_heard{0};
    std::atomic<qint64> m_length{-1};
};

} // namespace

extern "C" Q_DECL_EXPORT MidiEngine *quillary_midi_engine_2(MidiEngineLog log) {
    engineLog = log;
    return new FluidEngine;
}

// The loadable module: the MIDI engine on FluidSynth.
#include "music/midiengine.h"

#include <algorithm>
#include <fluidsynth.h>

namespace {

void quietLogs() {
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, nullptr, nullptr);
}

class FluidEngine final : public MidiEngine {
public:
    FluidEngine() { quietLogs(); }
    // The audio thread renders through the synth and the player: it goes
    // first, then the player, then the synth.
    ~FluidEngine() override {
        stopOutput();
        dropPlayer();
        if (m_synth)
            delete_fluid_synth(m_synth);
        if (m_settings)
            delete_fluid_settings(m_settings);
    }

    bool start(const char *soundFont, Output output) override {
        m_settings = new_fluid_settings();
        fluid_settings_setint(m_settings, "synth.sample-rate", 44100);
        // The songs advance with the samples rendered, whoever renders them.
        fluid_settings_setstr(m_settings, "player.timing-source", "sample");
        m_synth = new_fluid_synth(m_settings);
        if (!m_synth || fluid_synth_sfload(m_synth, soundFont, 1) == FLUID_FAILED)
            return false;
        m_output = output;
        if (output == Output::Pulled)
            return true;
        // Never the JACK driver: without a server it takes seconds to give up.
        for (const char *driver : {"pulseaudio", "alsa"}) {
            fluid_settings_setstr(m_settings, "audio.driver", driver);
            m_driver = new_fluid_audio_driver(m_settings, m_synth);
            if (m_driver)
                return true;
        }
        return false;
    }

    // The audio thread is gone when this returns.
    void stopOutput() {
        if (m_driver)
            delete_fluid_audio_driver(m_driver);
        m_driver = nullptr;
    }

    void dropPlayer() {
        if (!m_player)
            return;
        fluid_player_stop(m_player);
        delete_fluid_player(m_player);
        m_player = nullptr;
    }

    bool load(const QByteArray &song) override {
        unload();
        m_player = new_fluid_player(m_synth);
        if (m_player &&
            fluid_player_add_mem(m_player, song.constData(), size_t(song.size())) == FLUID_FAILED) {
            delete_fluid_player(m_player);
            m_player = nullptr;
        }
        return m_player != nullptr;
    }

    // A player the audio thread may be rendering is never freed under it:
    // the output stops, the player goes, and the output opens again.
    void unload() override {
        if (!m_player)
            return;
        const bool hadOutput = m_driver != nullptr;
        stopOutput();
        dropPlayer();
        fluid_synth_all_sounds_off(m_synth, -1);
        if (hadOutput)
            m_driver = new_fluid_audio_driver(m_settings, m_synth);
    }

    bool hasSong() const override { return m_player != nullptr; }

    void play() override {
        if (m_player)
            fluid_player_play(m_player);
    }

    void stop() override {
        if (!m_player)
            return;
        fluid_player_stop(m_player);
        fluid_synth_all_notes_off(m_synth, -1);
    }

    int currentTick() const override {
        return m_player ? fluid_player_get_current_tick(m_player) : 0;
    }
    int totalTicks() const override {
        return m_player ? fluid_player_get_total_ticks(m_player) : 0;
    }

    void pull(int frames) override {
        if (m_output != Output::Pulled || !m_synth)
            return; // the output's thread renders; a second renderer would race it
        float left[1024], right[1024];
        while (frames > 0) {
            const int n = std::min(frames, 1024);
            fluid_synth_write_float(m_synth, n, left, 0, 1, right, 0, 1);
            frames -= n;
        }
    }

    Render render(const QByteArray &song, const char *wavPath, const char *soundFont) override {
        Render r;
        fluid_settings_t *settings = new_fluid_settings();
        fluid_settings_setstr(settings, "audio.file.name", wavPath);
        fluid_settings_setstr(settings, "audio.file.type", "wav");
        fluid_settings_setstr(settings, "player.timing-source", "sample");
        fluid_settings_setint(settings, "synth.lock-memory", 0);
        fluid_synth_t *synth = new_fluid_synth(settings);
        fluid_player_t *player = nullptr;
        fluid_file_renderer_t *renderer = nullptr;
        if (synth && fluid_synth_sfload(synth, soundFont, 1) != FLUID_FAILED) {
            player = new_fluid_player(synth);
            fluid_player_add_mem(player, song.constData(), size_t(song.size()));
            renderer = new_fluid_file_renderer(synth);
        }
        if (renderer && fluid_player_play(player) == FLUID_OK) {
            // Render until the song's last tick has been reached (bounded).
            int blocks = 0;
            while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING &&
                   blocks < 44100 * 600 / 64) {
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

private:
    fluid_settings_t *m_settings = nullptr;
    fluid_synth_t *m_synth = nullptr;
    fluid_audio_driver_t *m_driver = nullptr;
    fluid_player_t *m_player = nullptr;
    Output m_output = Output::Device;
};

} // namespace

extern "C" Q_DECL_EXPORT MidiEngine *quillary_midi_engine() {
    return new FluidEngine;
}

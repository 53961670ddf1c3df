#pragma once

#include <QByteArray>

// The synthesizer side of the sequencer. It lives in a module of its own,
// loaded the first time a song opens: FluidSynth and the forty libraries it
// brings would otherwise be mapped and relocated at every start, music or not.
class MidiEngine {
public:
    virtual ~MidiEngine() = default;

    // Device: a real audio output renders on its own thread. Pulled: none
    // opens, and the caller renders with pull(), so checks need no sound card.
    enum class Output { Device, Pulled };

    // Loads the SoundFont and opens the output. Slow; any thread.
    virtual bool start(const char *soundFont, Output output) = 0;
    // Replaces the open song; false when the bytes are no song it can play.
    virtual bool load(const QByteArray &song) = 0;
    virtual void unload() = 0;
    virtual bool hasSong() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual int currentTick() const = 0;
    virtual int totalTicks() const = 0; // 0 until the song is parsed
    // Renders and drops this many frames, as an output would; Pulled only.
    virtual void pull(int frames) = 0;

    struct Render {
        bool ok = false;
        qint64 tick = 0, totalTicks = 0;
        int sampleRate = 44100;
    };
    // Plays a song offline into a WAV file, as a check of the whole chain.
    virtual Render render(const QByteArray &song, const char *wavPath, const char *soundFont) = 0;
};

// The module's one entry point, looked up by name.
using MidiEngineFactory = MidiEngine *(*)();
#define QUILLARY_MIDI_ENGINE_ENTRY "quillary_midi_engine"

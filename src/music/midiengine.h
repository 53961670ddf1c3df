// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <atomic>

// The synthesizer side of the sequencer. It lives in a module of its own,
// loaded the first time a song opens: FluidSynth and the forty libraries it
// brings would otherwise be mapped and relocated at every start, music or not.
//
// A song plays either from its rendered audio (a FLAC file made by render())
// or live on the SoundFont. Position and length count 44.1 kHz frames of
// the song heard; the length of a live song is -1 until its end is reached.
// Apart from position() and length(), one thread at a time calls in.
class MidiEngine {
public:
    virtual ~MidiEngine() = default;

    // Device: a sound output fed by a thread of the engine. Pulled: none
    // opens, and the caller plays the audio with pull(), so checks need no
    // sound card.
    enum class Output { Device, Pulled };

    // False when no output opens.
    virtual bool start(Output output) = 0;
    // Replace the song, stopped at its start; false when there is nothing
    // they can play. Live loads the SoundFont on first use (slow).
    virtual bool loadRendered(const char *audioPath) = 0;
    virtual bool loadLive(const QByteArray &song, const char *soundFont) = 0;
    // A live song goes on from its rendered audio at the frame it has
    // reached, and the SoundFont is let go.
    virtual void continueRendered(const char *audioPath) = 0;
    virtual void unload() = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    // Any thread. Equal exactly when the song has been heard to its end.
    virtual qint64 position() const = 0;
    virtual qint64 length() const = 0;
    // Plays and drops this many frames, as an output would; Pulled only.
    virtual void pull(int frames) = 0;

    struct Render {
        bool ok = false;
        qint64 frames = 0;
        qint64 tick = 0, totalTicks = 0;
    };
    // Renders a song offline into a 16-bit stereo FLAC file, frame for frame
    // what live play makes of it. Samples load as the song needs them unless
    // wholeSoundFont; stops early, failing, once cancel is set.
    virtual Render render(const QByteArray &song, const char *audioPath, const char *soundFont,
                          bool wholeSoundFont, const std::atomic<bool> *cancel) = 0;
};

// Where the module says what went wrong, FluidSynth's own errors and
// warnings among it: a line at a time, from any of its threads.
using MidiEngineLog = void (*)(const char *line);

// The module's one entry point, looked up by name. The engines it makes
// report to the log it was last given. The name carries the interface's
// version, so a module built for another one is refused, never called.
using MidiEngineFactory = MidiEngine *(*)(MidiEngineLog log);
#define QUILLARY_MIDI_ENGINE_ENTRY "quillary_midi_engine_2"

#pragma once

#include <QtGlobal>
#include <memory>

// A sound output inside the synthesizer module: interleaved 16-bit stereo
// at 44.1 kHz, written in large blocking chunks behind a second of buffer,
// so the thread that feeds it wakes a few times a second.
class AudioDevice {
public:
    static constexpr int SampleRate = 44100;

    // PulseAudio, else ALSA's default device; null when neither opens.
    static std::unique_ptr<AudioDevice> open();
    // Drops whatever is still queued.
    virtual ~AudioDevice() = default;

    // Blocks until the frames are queued; false when the device is lost.
    virtual bool write(const qint16 *frames, int count) = 0;
    // Frames written but not yet heard.
    virtual qint64 queued() = 0;
};

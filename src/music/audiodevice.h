// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <memory>

// A sound output inside the synthesizer module: interleaved 16-bit stereo
// at 44.1 kHz, written in large blocking chunks behind a second of buffer,
// so the thread that feeds it wakes a few times a second.
class AudioDevice {
public:
    static constexpr int SampleRate = 44100;

    // PulseAudio, else ALSA's default device; null when neither opens, and
    // then why each refused is in refusals.
    static std::unique_ptr<AudioDevice> open(QByteArray *refusals);
    // Drops whatever is still queued.
    virtual ~AudioDevice() = default;

    virtual const char *name() const = 0;

    // Blocks until the frames are queued; false when the device is lost.
    virtual bool write(const qint16 *frames, int count) = 0;
    // Frames written but not yet heard.
    virtual qint64 queued() = 0;
};

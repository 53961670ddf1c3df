// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/audiodevice.h"

#include <QStringBuilder>
#include <alsa/asoundlib.h>
#include <pulse/error.h>
#include <pulse/simple.h>

namespace {

constexpr unsigned BufferMicroseconds = 1000000;
constexpr int BytesPerFrame = 4;

class PulseDevice final : public AudioDevice {
public:
    explicit PulseDevice(pa_simple *stream) : m_stream(stream) {}
    ~PulseDevice() override {
        int error = 0;
        pa_simple_flush(m_stream, &error);
        pa_simple_free(m_stream);
    }

    static std::unique_ptr<AudioDevice> open(QByteArray *refusal) {
        const pa_sample_spec format{PA_SAMPLE_S16NE, SampleRate, 2};
        // The server asks for more only when the buffer runs below its
        // target, so a long target means few requests.
        pa_buffer_attr buffer;
        buffer.maxlength = uint32_t(-1);
        buffer.tlength =
            uint32_t(qint64(SampleRate) * BufferMicroseconds / 1000000 * BytesPerFrame);
        buffer.prebuf = uint32_t(-1);
        buffer.minreq = uint32_t(-1);
        buffer.fragsize = uint32_t(-1);
        int error = 0;
        pa_simple *stream = pa_simple_new(nullptr, "Quillary", PA_STREAM_PLAYBACK, nullptr,
                                          "background music", &format, nullptr, &buffer, &error);
        if (!stream)
            *refusal = QByteArray("PulseAudio: ") + pa_strerror(error);
        return stream ? std::make_unique<PulseDevice>(stream) : nullptr;
    }

    const char *name() const override { return "PulseAudio"; }

    bool write(const qint16 *frames, int count) override {
        int error = 0;
        return pa_simple_write(m_stream, frames, size_t(count) * BytesPerFrame, &error) == 0;
    }
    qint64 queued() override {
        int error = 0;
        const pa_usec_t latency = pa_simple_get_latency(m_stream, &error);
        return error ? 0 : qint64(latency) * SampleRate / 1000000;
    }

private:
    pa_simple *m_stream;
};

class AlsaDevice final : public AudioDevice {
public:
    explicit AlsaDevice(snd_pcm_t *pcm) : m_pcm(pcm) {}
    ~AlsaDevice() override {
        snd_pcm_drop(m_pcm);
        snd_pcm_close(m_pcm);
    }

    static std::unique_ptr<AudioDevice> open(QByteArray *refusal) {
        snd_pcm_t *pcm = nullptr;
        int error = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
        if (error >= 0) {
            error = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 2,
                                       SampleRate, 1, BufferMicroseconds);
            if (error >= 0)
                return std::make_unique<AlsaDevice>(pcm);
            snd_pcm_close(pcm);
        }
        *refusal = QByteArray("ALSA device \"default\": ") + snd_strerror(error);
        return nullptr;
    }

    const char *name() const override { return "ALSA device \"default\""; }

    bool write(const qint16 *frames, int count) override {
        while (count > 0) {
            snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, frames, snd_pcm_uframes_t(count));
            if (n < 0)
                n = snd_pcm_recover(m_pcm, int(n), 1); // an underrun or a suspend
            if (n < 0)
                return false;
            frames += 2 * n;
            count -= int(n);
        }
        return true;
    }
    qint64 queued() override {
        snd_pcm_sframes_t delay = 0;
        return snd_pcm_delay(m_pcm, &delay) == 0 && delay > 0 ? qint64(delay) : 0;
    }

private:
    snd_pcm_t *m_pcm;
};

} // namespace

std::unique_ptr<AudioDevice> AudioDevice::open(QByteArray *refusals) {
    QByteArray pulseRefusal, alsaRefusal;
    if (std::unique_ptr<AudioDevice> pulse = PulseDevice::open(&pulseRefusal))
        return pulse;
    if (std::unique_ptr<AudioDevice> alsa = AlsaDevice::open(&alsaRefusal))
        return alsa;
    *refusals = pulseRefusal + "; " + alsaRefusal;
    return nullptr;
}

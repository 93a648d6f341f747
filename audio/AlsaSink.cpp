// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/AlsaSink.h"

#include <QCoreApplication>

#include <alsa/asoundlib.h>
#include <poll.h>

namespace {
QString why(const char* what, int code) {
    return QCoreApplication::translate("AlsaSink", what) + QStringLiteral(": ") +
           QString::fromUtf8(snd_strerror(code));
}
} // namespace

AlsaSink::AlsaSink(QString device) : m_device(std::move(device)) {}

AlsaSink::~AlsaSink() {
    if (m_pcm) snd_pcm_close(m_pcm);
}

QString AlsaSink::open(int preferredRate) {
    m_rate = preferredRate;
    int code = snd_pcm_open(&m_pcm, m_device.toUtf8().constData(), SND_PCM_STREAM_PLAYBACK,
                            SND_PCM_NONBLOCK);
    if (code < 0) {
        m_pcm = nullptr;
        return why(QT_TRANSLATE_NOOP("AlsaSink", "no ALSA device"), code);
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_hw_params_any(m_pcm, hw);
    unsigned rate = static_cast<unsigned>(preferredRate);
    unsigned bufferUs = 200000, periodUs = 25000;
    if ((code = snd_pcm_hw_params_set_access(m_pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (code = snd_pcm_hw_params_set_format(m_pcm, hw, SND_PCM_FORMAT_FLOAT)) < 0 ||
        (code = snd_pcm_hw_params_set_channels(m_pcm, hw, 2)) < 0 ||
        (code = snd_pcm_hw_params_set_rate(m_pcm, hw, rate, 0)) < 0 ||
        (code = snd_pcm_hw_params_set_buffer_time_near(m_pcm, hw, &bufferUs, nullptr)) < 0 ||
        (code = snd_pcm_hw_params_set_period_time_near(m_pcm, hw, &periodUs, nullptr)) < 0 ||
        (code = snd_pcm_hw_params(m_pcm, hw)) < 0)
        return why(QT_TRANSLATE_NOOP("AlsaSink",
                                     "the ALSA device refused float stereo at our sample rate"),
                   code);
    snd_pcm_uframes_t period = 0;
    snd_pcm_hw_params_get_period_size(hw, &period, nullptr);
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_sw_params_current(m_pcm, sw);
    snd_pcm_sw_params_set_start_threshold(m_pcm, sw, period);
    snd_pcm_sw_params_set_avail_min(m_pcm, sw, period);
    if ((code = snd_pcm_sw_params(m_pcm, sw)) < 0)
        return why(QT_TRANSLATE_NOOP("AlsaSink", "the ALSA device refused"), code);
    return {};
}

// The card always has room for more (we keep it half full), so its own
// descriptors would never let us sleep: the ticks and the timeout pace us.
bool AlsaSink::wait(int timeoutMs, int wakeFd) {
    pollfd fd{wakeFd, POLLIN, 0};
    ::poll(&fd, 1, timeoutMs);
    return snd_pcm_state(m_pcm) != SND_PCM_STATE_DISCONNECTED;
}

bool AlsaSink::write(const float* data, std::size_t frames) {
    while (frames > 0) {
        const snd_pcm_sframes_t done = snd_pcm_writei(m_pcm, data, frames);
        if (done == -EAGAIN) return true; // full: the rest is dropped, the clock re-measures
        if (done == -EPIPE || done == -ESTRPIPE) {
            m_underflow = true;
            if (snd_pcm_recover(m_pcm, static_cast<int>(done), 1) < 0) return false;
            continue;
        }
        if (done < 0) return snd_pcm_recover(m_pcm, static_cast<int>(done), 1) >= 0;
        data += 2 * done;
        frames -= static_cast<std::size_t>(done);
    }
    return true;
}

std::optional<AudioSink::Queue> AlsaSink::takeQueue() {
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(m_pcm, &delay) < 0) return std::nullopt;
    return Queue{std::max<std::int64_t>(0, delay), MidiClock::now()};
}

bool AlsaSink::takeUnderflow() {
    const bool underflow = m_underflow;
    m_underflow = false;
    return underflow;
}

void AlsaSink::setPaused(bool paused) {
    snd_pcm_drop(m_pcm);
    if (!paused) snd_pcm_prepare(m_pcm);
}

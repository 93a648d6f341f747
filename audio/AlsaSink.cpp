// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/AlsaSink.h"

#include "audio/EmbeddedSynth.h"

#include <QCoreApplication>

#include <alsa/asoundlib.h>
#include <cstring>
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

std::vector<int> AlsaSink::cards() {
    std::vector<int> found;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0)
        found.push_back(card);
    return found;
}

QStringList AlsaSink::cardDevices(const std::vector<int>& cards) {
    QStringList devices;
    for (const int card : cards)
        devices << QStringLiteral("plughw:%1,0").arg(card);
    return devices;
}

namespace {
constexpr int kDeepest = 8; // plugins on plugins; a loop in the configuration ends here

bool nodeLeadsToServer(snd_config_t* node, snd_config_t* config, int depth);

bool nameLeadsToServer(const char* name, snd_config_t* config, int depth) {
    snd_config_t* definition = nullptr;
    if (snd_config_search_definition(config, "pcm", name, &definition) < 0) return false;
    const bool leads = nodeLeadsToServer(definition, config, depth);
    snd_config_delete(definition);
    return leads;
}

bool nodeLeadsToServer(snd_config_t* node, snd_config_t* config, int depth) {
    if (depth > kDeepest) return false;
    const char* text = nullptr;
    if (snd_config_get_type(node) == SND_CONFIG_TYPE_STRING) {
        // A name standing for another definition.
        return snd_config_get_string(node, &text) == 0 &&
               nameLeadsToServer(text, config, depth + 1);
    }
    snd_config_t* type = nullptr;
    if (snd_config_search(node, "type", &type) == 0 && snd_config_get_string(type, &text) == 0) {
        for (const char* server : {"pulse", "pipewire", "jack"})
            if (std::strcmp(text, server) == 0) return true;
    }
    // Plugins that pass the sound on: to a slave, or to a playback device.
    for (const char* onward : {"slave.pcm", "playback.pcm"}) {
        snd_config_t* next = nullptr;
        if (snd_config_search(node, onward, &next) == 0 &&
            nodeLeadsToServer(next, config, depth + 1))
            return true;
    }
    return false;
}
} // namespace

bool AlsaSink::leadsToServer(const QString& device, snd_config_t* config) {
    return config && nameLeadsToServer(device.toUtf8().constData(), config, 0);
}

QString AlsaSink::open(int preferredRate) {
    m_rate = preferredRate;
    if (!m_device.isEmpty()) {
        snd_config_t* config = nullptr;
        bool leads = false;
        if (snd_config_update_ref(&config) >= 0) {
            leads = leadsToServer(m_device, config);
            snd_config_unref(config);
        }
        if (leads)
            return QCoreApplication::translate("AlsaSink",
                                               "the ALSA device %1 plays through a sound server")
                .arg(m_device);
        return openDevice(m_device, preferredRate);
    }
    const QStringList devices = cardDevices(cards());
    if (devices.isEmpty()) return QCoreApplication::translate("AlsaSink", "no sound card");
    QStringList failures;
    for (const QString& device : devices) {
        if (m_cancelled.load())
            return QCoreApplication::translate("AlsaSink", "opening was abandoned");
        const QString why = openDevice(device, preferredRate);
        if (why.isEmpty()) return {};
        failures << device + QStringLiteral(": ") + why;
    }
    return failures.join(QStringLiteral("; "));
}

QString AlsaSink::openDevice(const QString& device, int preferredRate) {
    if (m_pcm) {
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
    }
    int code = snd_pcm_open(&m_pcm, device.toUtf8().constData(), SND_PCM_STREAM_PLAYBACK,
                            SND_PCM_NONBLOCK);
    if (code < 0) {
        m_pcm = nullptr;
        return why(QT_TRANSLATE_NOOP("AlsaSink", "no ALSA device"), code);
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_hw_params_any(m_pcm, hw);
    // The card's own rate nearest the one asked for, within what the
    // synthesizer renders: nothing resamples.
    unsigned rate = static_cast<unsigned>(preferredRate);
    unsigned lowest = EmbeddedSynth::kLowestSampleRate, highest = EmbeddedSynth::kHighestSampleRate;
    unsigned bufferUs = 200000, periodUs = 25000;
    if ((code = snd_pcm_hw_params_set_rate_resample(m_pcm, hw, 0)) < 0 ||
        (code = snd_pcm_hw_params_set_access(m_pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (code = snd_pcm_hw_params_set_format(m_pcm, hw, SND_PCM_FORMAT_FLOAT)) < 0 ||
        (code = snd_pcm_hw_params_set_channels(m_pcm, hw, 2)) < 0 ||
        (code = snd_pcm_hw_params_set_rate_min(m_pcm, hw, &lowest, nullptr)) < 0 ||
        (code = snd_pcm_hw_params_set_rate_max(m_pcm, hw, &highest, nullptr)) < 0 ||
        (code = snd_pcm_hw_params_set_rate_near(m_pcm, hw, &rate, nullptr)) < 0 ||
        (code = snd_pcm_hw_params_set_buffer_time_near(m_pcm, hw, &bufferUs, nullptr)) < 0 ||
        (code = snd_pcm_hw_params_set_period_time_near(m_pcm, hw, &periodUs, nullptr)) < 0 ||
        (code = snd_pcm_hw_params(m_pcm, hw)) < 0) {
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
        return why(QT_TRANSLATE_NOOP("AlsaSink",
                                     "the ALSA device refused float stereo at a rate we render"),
                   code);
    }
    m_rate = static_cast<int>(rate);
    snd_pcm_uframes_t period = 0;
    snd_pcm_hw_params_get_period_size(hw, &period, nullptr);
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_sw_params_current(m_pcm, sw);
    snd_pcm_sw_params_set_start_threshold(m_pcm, sw, period);
    snd_pcm_sw_params_set_avail_min(m_pcm, sw, period);
    if ((code = snd_pcm_sw_params(m_pcm, sw)) < 0) {
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
        m_rate = preferredRate;
        return why(QT_TRANSLATE_NOOP("AlsaSink", "the ALSA device refused"), code);
    }
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

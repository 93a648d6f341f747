// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioSink.h"

#include <QStringList>
#include <atomic>

typedef struct _snd_pcm snd_pcm_t;
typedef struct _snd_config snd_config_t;

// A sound card played directly, for machines without a sound server: float32
// stereo at the card's own rate, a 200 ms buffer refilled in 25 ms periods.
// Never a device that leads back to a sound server (ALSA's pulse or pipewire
// plugin, which ALSA's "default" is on a desktop): that server is the one
// that did not answer, and through the plugin it is waited for without end.
class AlsaSink : public AudioSink {
public:
    // device: an ALSA device name; empty for the first sound card that opens.
    explicit AlsaSink(QString device = {});
    ~AlsaSink() override;
    AlsaSink(const AlsaSink&) = delete;
    AlsaSink& operator=(const AlsaSink&) = delete;

    QString open(int preferredRate) override;
    void cancel() override { m_cancelled.store(true); }
    int rate() const override { return m_rate; }
    bool wait(int timeoutMs, int wakeFd) override;
    bool write(const float* interleavedStereo, std::size_t frames) override;
    void requestQueue() override {}
    std::optional<Queue> takeQueue() override;
    bool takeUnderflow() override;
    void setPaused(bool paused) override;

    // The devices tried for each sound card (by index): its first device,
    // through the plug layer for the sample format only.
    static QStringList cardDevices(const std::vector<int>& cards);
    // The sound cards the kernel has, by index.
    static std::vector<int> cards();
    // Whether a device, as the configuration defines it, is or goes through
    // a sound server's plugin (pulse, pipewire, jack).
    static bool leadsToServer(const QString& device, snd_config_t* config);

private:
    QString openDevice(const QString& device, int preferredRate);

    QString m_device;
    snd_pcm_t* m_pcm = nullptr;
    int m_rate = 0;
    bool m_underflow = false;
    std::atomic<bool> m_cancelled{false};
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioSink.h"

typedef struct _snd_pcm snd_pcm_t;

// The sound card's "default" ALSA device, for machines without a sound
// server: float32 stereo, a 200 ms buffer refilled in 25 ms periods.
class AlsaSink : public AudioSink {
public:
    explicit AlsaSink(QString device = QStringLiteral("default"));
    ~AlsaSink() override;
    AlsaSink(const AlsaSink&) = delete;
    AlsaSink& operator=(const AlsaSink&) = delete;

    QString open(int preferredRate) override;
    int rate() const override { return m_rate; }
    bool wait(int timeoutMs, int wakeFd) override;
    bool write(const float* interleavedStereo, std::size_t frames) override;
    void requestQueue() override {}
    std::optional<Queue> takeQueue() override;
    bool takeUnderflow() override;
    void setPaused(bool paused) override;

private:
    QString m_device;
    snd_pcm_t* m_pcm = nullptr;
    int m_rate = 48000;
    bool m_underflow = false;
};

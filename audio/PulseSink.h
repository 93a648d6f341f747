// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioSink.h"

struct pa_context;
struct pa_mainloop;
struct pa_stream;
struct pollfd;

// A float32 stereo playback stream on the PulseAudio server (PipeWire serves
// it too), driven by a plain pa_mainloop on the audio thread: no thread of
// libpulse's own. Asks for an 80 ms buffer refilled in 20 ms steps, so
// neither we nor the server wake often.
class PulseSink : public AudioSink {
public:
    static constexpr int kTargetMs = 80;
    static constexpr int kRequestMs = 20;

    PulseSink() = default;
    ~PulseSink() override;
    PulseSink(const PulseSink&) = delete;
    PulseSink& operator=(const PulseSink&) = delete;

    QString open(int preferredRate) override;
    int rate() const override { return m_rate; }
    bool wait(int timeoutMs, int wakeFd) override;
    bool write(const float* interleavedStereo, std::size_t frames) override;
    void requestQueue() override;
    std::optional<Queue> takeQueue() override;
    bool takeUnderflow() override;
    void setPaused(bool paused) override;

private:
    static int pollWithWake(pollfd* fds, unsigned long count, int timeoutMs, void* self);
    bool iterate(int timeoutMs);
    bool lost() const;
    QString lastError() const;

    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    int m_rate = 44100;
    int m_wakeFd = -1;
    bool m_underflow = false;
    bool m_measuring = false;
    std::optional<Queue> m_queue;
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioSink.h"

#include <atomic>
#include <chrono>
#include <functional>

struct pa_context;
struct pa_mainloop;
struct pa_operation;
struct pa_stream;
struct pa_timing_info;
struct pollfd;

// A float32 stereo playback stream on the PulseAudio server (PipeWire serves
// it too) at the rate of the server's default sink, driven by a plain
// pa_mainloop: no thread of libpulse's own. The audio thread sleeps on its
// wake-up descriptor alone and reads what the server said once it is awake,
// so a message from the server never wakes it; the buffer is large enough
// that the server asks about once a tick.
class PulseSink : public AudioSink {
public:
    // What the stream holds in all, asked for a tick at a time: two ticks and
    // the sink's share, (150 - 2 * 50) / 2 = 25 ms.
    static constexpr int kTargetMs = 150;
    static constexpr int kRequestMs = 50;
    // Enough to start the stream playing (the audio thread's resume fill).
    static constexpr int kPrebufferMs = 20;
    // Connecting and opening the stream together may take this long.
    static constexpr std::chrono::milliseconds kOpenLimit{2000};
    // A measure of the queue not answered in this time is given up.
    static constexpr std::chrono::milliseconds kMeasureLimit{1000};

    // server: as libpulse names servers ("unix:/run/...); empty for the
    // usual one (PULSE_SERVER, the client configuration, the session's).
    explicit PulseSink(QString server = {});
    ~PulseSink() override;
    PulseSink(const PulseSink&) = delete;
    PulseSink& operator=(const PulseSink&) = delete;

    QString open(int preferredRate) override;
    void cancel() override;
    int rate() const override { return m_rate; }
    bool wait(int timeoutMs, int wakeFd) override;
    bool write(const float* interleavedStereo, std::size_t frames) override;
    void requestQueue() override;
    std::optional<Queue> takeQueue() override;
    bool takeUnderflow() override;
    void setPaused(bool paused) override;

private:
    enum class Step { Done, Failed, TimedOut, Cancelled };

    static int pollWithCancel(pollfd* fds, unsigned long count, int timeoutMs, void* self);
    // Runs the loop until ready() says done (true) or failed (false).
    Step waitFor(const std::function<std::optional<bool>()>& ready, MidiTime deadline);
    QString openFailure(Step step, const QString& what) const;
    Step askServerRate(MidiTime deadline, int& rate);
    bool dispatchPending();
    bool lost() const;
    QString lastError() const;
    void timingArrived(const pa_timing_info* info);

    QString m_server;
    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    int m_rate = 0;
    int m_cancelFd = -1;
    std::atomic<bool> m_cancelled{false};
    bool m_underflow = false;
    pa_operation* m_measure = nullptr;
    MidiTime m_measureAsked{};
    std::optional<Queue> m_queue;
    // Frames written since the last measure came: still queued at takeQueue.
    std::int64_t m_writtenSince = 0;
};

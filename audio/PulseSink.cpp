// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/PulseSink.h"

#include <QCoreApplication>

#include <poll.h>
#include <pulse/pulseaudio.h>
#include <vector>

PulseSink::~PulseSink() {
    if (m_stream) {
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_loop) pa_mainloop_free(m_loop);
}

QString PulseSink::lastError() const {
    return QString::fromUtf8(pa_strerror(m_context ? pa_context_errno(m_context) : PA_ERR_UNKNOWN));
}

QString PulseSink::open(int preferredRate) {
    m_rate = preferredRate;
    m_loop = pa_mainloop_new();
    if (!m_loop) return QCoreApplication::translate("PulseSink", "no PulseAudio main loop");
    pa_mainloop_set_poll_func(m_loop, &PulseSink::pollWithWake, this);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Marulet");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "io.github.marulet.Marulet");
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    m_context = pa_context_new_with_proplist(pa_mainloop_get_api(m_loop), "Marulet", props);
    pa_proplist_free(props);
    if (!m_context) return QCoreApplication::translate("PulseSink", "no PulseAudio context");
    // No autospawn: a server that is not running is reported, not started.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return QCoreApplication::translate("PulseSink", "no sound server: ") + lastError();

    const MidiTime deadline = MidiClock::now() + std::chrono::seconds(2);
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_READY) break;
        if (!PA_CONTEXT_IS_GOOD(state))
            return QCoreApplication::translate("PulseSink", "no sound server: ") + lastError();
        if (MidiClock::now() > deadline)
            return QCoreApplication::translate("PulseSink", "the sound server did not answer");
        if (!iterate(100))
            return QCoreApplication::translate("PulseSink", "no sound server: ") + lastError();
    }

    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(preferredRate), 2};
    m_stream = pa_stream_new(m_context, "Marulet Synth", &format, nullptr);
    if (!m_stream)
        return QCoreApplication::translate("PulseSink", "the sound server refused a stream: ") +
               lastError();
    pa_stream_set_underflow_callback(
        m_stream, [](pa_stream*, void* self) { static_cast<PulseSink*>(self)->m_underflow = true; },
        this);
    const std::uint32_t bytesPerMs = static_cast<std::uint32_t>(preferredRate) * 8 / 1000;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = kTargetMs * bytesPerMs;
    attr.prebuf = kRequestMs * bytesPerMs;
    attr.minreq = kRequestMs * bytesPerMs;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_NOT_MONOTONIC | PA_STREAM_START_UNMUTED);
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        return QCoreApplication::translate("PulseSink", "the sound server refused a stream: ") +
               lastError();
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(m_stream);
        if (state == PA_STREAM_READY) break;
        if (!PA_STREAM_IS_GOOD(state))
            return QCoreApplication::translate("PulseSink", "the sound server refused a stream: ") +
                   lastError();
        if (MidiClock::now() > deadline)
            return QCoreApplication::translate("PulseSink", "the sound server did not answer");
        if (!iterate(100))
            return QCoreApplication::translate("PulseSink", "the sound server went away: ") +
                   lastError();
    }
    return {};
}

// libpulse's own poll, plus our wake-up descriptor, so one poll serves both.
int PulseSink::pollWithWake(pollfd* fds, unsigned long count, int timeoutMs, void* data) {
    auto* self = static_cast<PulseSink*>(data);
    if (self->m_wakeFd < 0) return ::poll(fds, count, timeoutMs);
    pollfd local[16];
    std::vector<pollfd> heap;
    pollfd* all = local;
    if (count + 1 > std::size(local)) {
        heap.resize(count + 1);
        all = heap.data();
    }
    std::copy(fds, fds + count, all);
    all[count] = {self->m_wakeFd, POLLIN, 0};
    const int result = ::poll(all, count + 1, timeoutMs);
    std::copy(all, all + count, fds);
    if (result > 0 && (all[count].revents & POLLIN)) return result - 1 > 0 ? result - 1 : 0;
    return result;
}

bool PulseSink::iterate(int timeoutMs) {
    if (pa_mainloop_prepare(m_loop, timeoutMs < 0 ? -1 : timeoutMs * 1000) < 0) return false;
    if (pa_mainloop_poll(m_loop) < 0) return false;
    if (pa_mainloop_dispatch(m_loop) < 0) return false;
    return !lost();
}

bool PulseSink::lost() const {
    if (!m_context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) return true;
    return m_stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
}

bool PulseSink::wait(int timeoutMs, int wakeFd) {
    m_wakeFd = wakeFd;
    const bool alive = iterate(timeoutMs);
    m_wakeFd = -1;
    return alive;
}

bool PulseSink::write(const float* data, std::size_t frames) {
    if (lost()) return false;
    return pa_stream_write(m_stream, data, frames * 2 * sizeof(float), nullptr, 0,
                           PA_SEEK_RELATIVE) == 0;
}

void PulseSink::requestQueue() {
    if (m_measuring || lost()) return;
    pa_operation* op = pa_stream_update_timing_info(
        m_stream,
        [](pa_stream* stream, int success, void* data) {
            auto* self = static_cast<PulseSink*>(data);
            self->m_measuring = false;
            const pa_timing_info* info = success ? pa_stream_get_timing_info(stream) : nullptr;
            if (!info || info->write_index_corrupt || info->read_index_corrupt) return;
            // What is written but not read yet, plus what the sink holds.
            const double queued = double(info->write_index - info->read_index) / 8.0 +
                                  double(info->sink_usec) * self->m_rate / 1e6;
            self->m_queue = Queue{static_cast<std::int64_t>(queued), MidiClock::now()};
        },
        this);
    if (op) {
        m_measuring = true;
        pa_operation_unref(op);
    }
}

std::optional<AudioSink::Queue> PulseSink::takeQueue() {
    auto queue = m_queue;
    m_queue.reset();
    return queue;
}

bool PulseSink::takeUnderflow() {
    const bool underflow = m_underflow;
    m_underflow = false;
    return underflow;
}

void PulseSink::setPaused(bool paused) {
    if (lost()) return;
    if (paused) {
        if (pa_operation* op = pa_stream_cork(m_stream, 1, nullptr, nullptr))
            pa_operation_unref(op);
    }
    if (pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr)) pa_operation_unref(op);
    if (!paused) {
        if (pa_operation* op = pa_stream_cork(m_stream, 0, nullptr, nullptr))
            pa_operation_unref(op);
    }
    m_underflow = false;
    m_queue.reset();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/PulseSink.h"

#include "audio/EmbeddedSynth.h"

#include <QCoreApplication>

#include <algorithm>
#include <poll.h>
#include <pulse/pulseaudio.h>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kFrameBytes = 2 * sizeof(float);
// Enough to take in what came while asleep; a source that keeps firing
// (which none should) cannot hold the audio thread.
constexpr int kMostDispatches = 16;
} // namespace

PulseSink::PulseSink(QString server) : m_server(std::move(server)) {
    m_cancelFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PulseSink::~PulseSink() {
    if (m_measure) {
        pa_operation_cancel(m_measure);
        pa_operation_unref(m_measure);
    }
    if (m_stream) {
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_loop) pa_mainloop_free(m_loop);
    if (m_cancelFd >= 0) ::close(m_cancelFd);
}

QString PulseSink::lastError() const {
    return QString::fromUtf8(pa_strerror(m_context ? pa_context_errno(m_context) : PA_ERR_UNKNOWN));
}

void PulseSink::cancel() {
    m_cancelled.store(true);
    const std::uint64_t one = 1;
    if (m_cancelFd >= 0) [[maybe_unused]]
        auto written = ::write(m_cancelFd, &one, sizeof one);
}

// libpulse's own poll, plus the cancel descriptor, so that cancel() ends a
// wait for the server at once.
int PulseSink::pollWithCancel(pollfd* fds, unsigned long count, int timeoutMs, void* data) {
    auto* self = static_cast<PulseSink*>(data);
    if (self->m_cancelFd < 0) return ::poll(fds, count, timeoutMs);
    pollfd local[16];
    std::vector<pollfd> heap;
    pollfd* all = local;
    if (count + 1 > std::size(local)) {
        heap.resize(count + 1);
        all = heap.data();
    }
    std::copy(fds, fds + count, all);
    all[count] = {self->m_cancelFd, POLLIN, 0};
    const int result = ::poll(all, count + 1, timeoutMs);
    std::copy(all, all + count, fds);
    if (result > 0 && (all[count].revents & POLLIN)) return result - 1;
    return result;
}

PulseSink::Step PulseSink::waitFor(const std::function<std::optional<bool>()>& ready,
                                   MidiTime deadline) {
    for (;;) {
        if (const auto done = ready()) return *done ? Step::Done : Step::Failed;
        if (m_cancelled.load()) return Step::Cancelled;
        const MidiTime now = MidiClock::now();
        if (now >= deadline) return Step::TimedOut;
        const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - now).count();
        if (pa_mainloop_prepare(m_loop, static_cast<int>(left)) < 0 ||
            pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0)
            return Step::Failed;
    }
}

QString PulseSink::openFailure(Step step, const QString& what) const {
    switch (step) {
    case Step::TimedOut:
        return QCoreApplication::translate("PulseSink", "the sound server did not answer");
    case Step::Cancelled:
        return QCoreApplication::translate("PulseSink", "opening was abandoned");
    default:
        return what + lastError();
    }
}

QString PulseSink::open(int preferredRate) {
    m_rate = preferredRate;
    const MidiTime deadline = MidiClock::now() + kOpenLimit;
    m_loop = pa_mainloop_new();
    if (!m_loop) return QCoreApplication::translate("PulseSink", "no PulseAudio main loop");
    pa_mainloop_set_poll_func(m_loop, &PulseSink::pollWithCancel, this);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Marulet");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "io.github.marulet.Marulet");
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    m_context = pa_context_new_with_proplist(pa_mainloop_get_api(m_loop), "Marulet", props);
    pa_proplist_free(props);
    if (!m_context) return QCoreApplication::translate("PulseSink", "no PulseAudio context");
    const QByteArray server = m_server.toUtf8();
    // No autospawn: a server that is not running is reported, not started.
    if (pa_context_connect(m_context, server.isEmpty() ? nullptr : server.constData(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return QCoreApplication::translate("PulseSink", "no sound server: ") + lastError();

    Step step = waitFor(
        [this]() -> std::optional<bool> {
            const pa_context_state_t state = pa_context_get_state(m_context);
            if (state == PA_CONTEXT_READY) return true;
            if (!PA_CONTEXT_IS_GOOD(state)) return false;
            return std::nullopt;
        },
        deadline);
    if (step != Step::Done)
        return openFailure(step, QCoreApplication::translate("PulseSink", "no sound server: "));

    int serverRate = 0;
    step = askServerRate(deadline, serverRate);
    if (step != Step::Done)
        return openFailure(
            step, QCoreApplication::translate("PulseSink", "the sound server went away: "));
    // A rate the synthesizer cannot render is left to the server to convert.
    if (serverRate >= EmbeddedSynth::kLowestSampleRate &&
        serverRate <= EmbeddedSynth::kHighestSampleRate)
        m_rate = serverRate;

    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(m_rate), 2};
    m_stream = pa_stream_new(m_context, "Marulet Synth", &format, nullptr);
    if (!m_stream)
        return QCoreApplication::translate("PulseSink", "the sound server refused a stream: ") +
               lastError();
    pa_stream_set_underflow_callback(
        m_stream, [](pa_stream*, void* self) { static_cast<PulseSink*>(self)->m_underflow = true; },
        this);
    const auto bytesIn = [this](int ms) {
        return static_cast<std::uint32_t>(std::int64_t(m_rate) * ms / 1000 * kFrameBytes);
    };
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = bytesIn(kTargetMs);
    attr.prebuf = bytesIn(kPrebufferMs);
    attr.minreq = bytesIn(kRequestMs);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    // Adjusting the latency gives the sink half of what tlength holds beyond
    // two requests (25 ms); without it the sink's own buffer, up to seconds,
    // would come on top of ours.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_NOT_MONOTONIC | PA_STREAM_START_UNMUTED);
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        return QCoreApplication::translate("PulseSink", "the sound server refused a stream: ") +
               lastError();
    step = waitFor(
        [this]() -> std::optional<bool> {
            const pa_stream_state_t state = pa_stream_get_state(m_stream);
            if (state == PA_STREAM_READY) return true;
            if (!PA_STREAM_IS_GOOD(state)) return false;
            return std::nullopt;
        },
        deadline);
    if (step != Step::Done)
        return openFailure(
            step, QCoreApplication::translate("PulseSink", "the sound server refused a stream: "));
    return {};
}

// The default sink's own rate, or 0 when the server does not tell.
PulseSink::Step PulseSink::askServerRate(MidiTime deadline, int& rate) {
    struct Asking {
        bool done = false;
        std::string sink;
        int rate = 0;
    } asking;
    pa_operation* op = pa_context_get_server_info(
        m_context,
        [](pa_context*, const pa_server_info* info, void* data) {
            auto* asking = static_cast<Asking*>(data);
            if (info && info->default_sink_name) asking->sink = info->default_sink_name;
            asking->done = true;
        },
        &asking);
    const auto finished = [&]() -> std::optional<bool> {
        if (asking.done) return true;
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) return false;
        return std::nullopt;
    };
    const auto run = [&](pa_operation* op) {
        if (!op) return Step::Failed;
        const Step step = waitFor(finished, deadline);
        // The answer's callback points into this frame: it must never come later.
        if (step != Step::Done) pa_operation_cancel(op);
        pa_operation_unref(op);
        return step;
    };
    Step step = run(op);
    if (step != Step::Done || asking.sink.empty()) return step;

    asking.done = false;
    op = pa_context_get_sink_info_by_name(
        m_context, asking.sink.c_str(),
        [](pa_context*, const pa_sink_info* info, int eol, void* data) {
            auto* asking = static_cast<Asking*>(data);
            if (info) asking->rate = static_cast<int>(info->sample_spec.rate);
            if (eol != 0) asking->done = true;
        },
        &asking);
    step = run(op);
    rate = asking.rate;
    return step;
}

bool PulseSink::lost() const {
    if (!m_context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) return true;
    return m_stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
}

// Sends what was written and takes in what the server said, without waiting.
bool PulseSink::dispatchPending() {
    for (int round = 0; round < kMostDispatches; ++round) {
        const int dispatched = pa_mainloop_iterate(m_loop, 0, nullptr);
        if (dispatched < 0) return false;
        if (dispatched == 0) break;
    }
    return !lost();
}

// Only the wake-up descriptor and the timeout end the sleep: what the server
// says meanwhile waits in the socket for the next wake (the buffer holds
// more than a tick). A lost server is seen then.
bool PulseSink::wait(int timeoutMs, int wakeFd) {
    if (!dispatchPending()) return false;
    pollfd fd{wakeFd, POLLIN, 0};
    ::poll(&fd, 1, timeoutMs);
    return dispatchPending();
}

bool PulseSink::write(const float* data, std::size_t frames) {
    if (lost()) return false;
    if (pa_stream_write(m_stream, data, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) != 0)
        return false;
    m_writtenSince += static_cast<std::int64_t>(frames);
    return true;
}

void PulseSink::requestQueue() {
    if (m_measure) {
        // An answer that never comes must not hold back the next measure.
        if (MidiClock::now() - m_measureAsked < kMeasureLimit) return;
        pa_operation_cancel(m_measure);
        pa_operation_unref(m_measure);
        m_measure = nullptr;
    }
    if (lost()) return;
    m_measure = pa_stream_update_timing_info(
        m_stream,
        [](pa_stream* stream, int success, void* data) {
            auto* self = static_cast<PulseSink*>(data);
            if (self->m_measure) {
                pa_operation_unref(self->m_measure);
                self->m_measure = nullptr;
            }
            self->timingArrived(success ? pa_stream_get_timing_info(stream) : nullptr);
        },
        this);
    m_measureAsked = MidiClock::now();
}

void PulseSink::timingArrived(const pa_timing_info* info) {
    if (!info || info->write_index_corrupt || info->read_index_corrupt) return;
    // What is written but not read yet, plus what the sink holds. libpulse
    // counts in the writes made until now; later ones are added on taking.
    const double queued = double(info->write_index - info->read_index) / kFrameBytes +
                          double(info->sink_usec) * m_rate / 1e6;
    // When that was so: the server's clock at its measure (or, when the
    // clocks differ, our request's time plus the way there), on our clock.
    const auto steadyNow = MidiClock::now();
    const auto realNow = std::chrono::system_clock::now().time_since_epoch();
    const auto stamp = std::chrono::seconds(info->timestamp.tv_sec) +
                       std::chrono::microseconds(info->timestamp.tv_usec);
    MidiTime at = steadyNow - std::chrono::duration_cast<MidiClock::duration>(realNow - stamp);
    // Whatever the clocks say, it was between asking and now.
    at = std::clamp(at, m_measureAsked, steadyNow);
    m_queue = Queue{static_cast<std::int64_t>(queued), at};
    m_writtenSince = 0;
}

std::optional<AudioSink::Queue> PulseSink::takeQueue() {
    // Asked again for whoever waits for an answer that is not coming.
    if (m_measure && MidiClock::now() - m_measureAsked >= kMeasureLimit) requestQueue();
    auto queue = m_queue;
    if (queue) queue->frames += m_writtenSince;
    m_queue.reset();
    return queue;
}

bool PulseSink::takeUnderflow() {
    const bool underflow = m_underflow;
    m_underflow = false;
    return underflow;
}

void PulseSink::setPaused(bool paused) {
    if (m_measure) {
        // Measured before the flush: it would be wrong after it.
        pa_operation_cancel(m_measure);
        pa_operation_unref(m_measure);
        m_measure = nullptr;
    }
    m_underflow = false;
    m_queue.reset();
    m_writtenSince = 0;
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
}

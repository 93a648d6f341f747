// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/AudioOutput.h"

#include "audio/AlsaSink.h"
#include "audio/AudioTap.h"
#include "audio/EmbeddedSynth.h"
#include "audio/NullSink.h"
#include "audio/PulseSink.h"

#include <QCoreApplication>
#include <algorithm>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
constexpr int kRate = EmbeddedSynth::kDefaultSampleRate;
constexpr std::size_t kChunk = 1024;
// When the first frame written to a fresh or resumed output is heard, until
// the output's own measure says better.
constexpr auto kStartLatency = 25ms;
constexpr auto kIdleAfter = 3s;
// Silence written to a resumed output before its latency is measured: the
// stream's prebuffer, so it starts playing.
constexpr auto kResumeFill = 20ms;
constexpr auto kMaxBackoff = 2000ms;

std::unique_ptr<AudioSink> makeSink(const QString& name) {
    if (name == QLatin1String("pulse")) return std::make_unique<PulseSink>();
    if (name == QLatin1String("alsa")) return std::make_unique<AlsaSink>();
    if (name == QLatin1String("none")) return std::make_unique<NullSink>();
    return nullptr;
}
} // namespace

QStringList AudioOutput::defaultOutputs() {
    return {QStringLiteral("pulse"), QStringLiteral("alsa")};
}

AudioOutput::AudioOutput(EmbeddedSynth& synth, QStringList outputs)
    : m_synth(synth), m_outputs(std::move(outputs)), m_scheduler(synth, kLead, kRate) {
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    connect(MidiClock::now());
    m_thread = std::thread([this] { run(); });
}

AudioOutput::~AudioOutput() {
    m_stop = true;
    wake();
    if (m_thread.joinable()) m_thread.join();
    m_sink.reset();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void AudioOutput::wake() {
    const std::uint64_t one = 1;
    if (m_wakeFd >= 0) [[maybe_unused]]
        auto written = ::write(m_wakeFd, &one, sizeof one);
}

void AudioOutput::post(std::uint32_t packed, MidiTime when) {
    m_scheduler.post(packed, when);
    // A running thread picks it up at the tick's wake; a paused one sleeps.
    if (m_paused.load(std::memory_order_relaxed)) wake();
}

void AudioOutput::tickSent(MidiTime tickTime) {
    m_lastTick.store(tickTime.time_since_epoch().count(), std::memory_order_relaxed);
    if (!m_paused.load(std::memory_order_relaxed)) wake();
}

void AudioOutput::setTap(AudioTap* tap) {
    {
        const std::lock_guard lock(m_tapMutex);
        m_tap = tap;
    }
    wake(); // a tap hears the field even through silence, so no pausing
}

QString AudioOutput::problem() const {
    const std::lock_guard lock(m_problemMutex);
    return m_problem;
}

void AudioOutput::setProblem(const QString& problem) {
    const std::lock_guard lock(m_problemMutex);
    m_problem = problem;
}

void AudioOutput::connect(MidiTime now) {
    QStringList failures;
    for (const QString& name : m_outputs) {
        auto sink = makeSink(name);
        const QString why =
            sink ? sink->open(kRate)
                 : QCoreApplication::translate("AudioOutput", "no such audio output");
        if (why.isEmpty()) {
            m_sink = std::move(sink);
            m_connected = true;
            m_backoff = 250ms;
            setProblem({});
            rebase(now);
            return;
        }
        failures << name + QStringLiteral(": ") + why;
    }
    if (!m_sink || m_connected) {
        m_sink = std::make_unique<NullSink>();
        m_sink->open(kRate);
        rebase(now);
    }
    m_connected = false;
    if (failures.isEmpty()) failures << QCoreApplication::translate("AudioOutput", "none to try");
    setProblem(QCoreApplication::translate("AudioOutput", "no audio output (") +
               failures.join(QStringLiteral("; ")) +
               QCoreApplication::translate("AudioOutput", "); trying again"));
    m_retryAt = MidiClock::now() + m_backoff;
    m_backoff = std::min(m_backoff * 2, kMaxBackoff);
}

void AudioOutput::lose(MidiTime now, const QString& why) {
    m_sink = std::make_unique<NullSink>();
    m_sink->open(kRate);
    m_connected = false;
    m_backoff = 250ms;
    m_retryAt = now + m_backoff;
    rebase(now);
    setProblem(why + QCoreApplication::translate("AudioOutput", "; trying again"));
}

// A fresh timeline: the next frame written is heard after the start latency.
void AudioOutput::rebase(MidiTime now) {
    m_scheduler.setFrameZero(
        now + kStartLatency -
        std::chrono::duration_cast<MidiClock::duration>(
            std::chrono::duration<double>(double(m_scheduler.position()) / kRate)));
    m_startPosition = m_scheduler.position();
    m_measureAt = now + 300ms;
    m_hardMeasure = true;
    m_measuring = false;
}

// Frame 0's time follows the output's clock: fully after a start or a dry
// spell, else by a fifth of the error and at most 0.15 ms a step, unheard,
// once the error is larger than the measure's noise.
void AudioOutput::measure(MidiTime now) {
    if (m_sink->takeUnderflow()) {
        // The output waited for data: the timeline moved. Measure again soon,
        // but do not put off a measure that is already due.
        m_hardMeasure = true;
        if (!m_measuring) m_measureAt = std::min(m_measureAt, now + 300ms);
    }
    if (m_measuring) {
        if (const auto queue = m_sink->takeQueue()) {
            m_measuring = false;
            // More queued than written since the output started is the
            // server's own start-up latency, not ours: not to be trusted.
            if (!m_resuming && queue->frames > m_scheduler.position() - m_startPosition) {
                m_measureAt = now + 300ms;
                return;
            }
            const std::int64_t heard = m_scheduler.position() - queue->frames;
            const MidiTime zero =
                queue->at - std::chrono::duration_cast<MidiClock::duration>(
                                std::chrono::duration<double>(double(heard) / kRate));
            if (m_resuming) {
                m_scheduler.setFrameZero(zero);
                stopResuming();
            } else if (m_hardMeasure) {
                m_scheduler.setFrameZero(zero);
                m_hardMeasure = false;
            } else {
                // A card's clock drifts by tens of ppm: 0.15 ms a step
                // follows that, while a jump (a lost packet) is taken at once.
                // Errors within half a millisecond are the measure's own
                // noise: following them would walk the timeline across
                // 64-frame block edges and move whole ticks by a block.
                const auto error = zero - m_scheduler.frameZero();
                if (error > 5ms || error < -5ms) {
                    m_scheduler.setFrameZero(zero);
                } else if (error > 500us || error < -500us) {
                    const auto step = std::clamp<MidiClock::duration>(
                        error / 5, -std::chrono::microseconds(150), std::chrono::microseconds(150));
                    m_scheduler.setFrameZero(m_scheduler.frameZero() + step);
                }
            }
        }
    }
    if (m_resuming && now >= m_resumeGiveUp) stopResuming();
    if (!m_measuring && now >= m_measureAt) {
        m_sink->requestQueue();
        m_measuring = true;
        m_measureAt = now + 2s;
    }
}

void AudioOutput::stopResuming() {
    m_resuming = false;
    m_scheduler.holdPosted(false);
}

int AudioOutput::timeoutMs(MidiTime now) const {
    MidiTime until = now + 10ms;
    const MidiTime tick{MidiClock::duration(m_lastTick.load(std::memory_order_relaxed))};
    // The next tick's wake is due just after it; a late one is waited for 5 ms.
    if (tick + kTick + 5ms > now) until = tick + kTick + 5ms;
    if (m_paused) until = now + 1h;
    if (!m_connected) until = std::min(until, m_retryAt);
    if (!m_paused && m_measuring) until = std::min(until, now + 10ms);
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return static_cast<int>(std::clamp<std::int64_t>(ms, 0, 3600 * 1000));
}

void AudioOutput::renderUpTo(std::int64_t frame) {
    float block[2 * kChunk];
    while (m_scheduler.position() < frame) {
        const auto frames = static_cast<std::size_t>(
            std::min<std::int64_t>(kChunk, frame - m_scheduler.position()));
        m_scheduler.render(block, frames);
        {
            const std::lock_guard lock(m_tapMutex);
            if (m_tap) m_tap->audioRendered(block, frames, kRate);
        }
        if (!m_sink->write(block, frames)) {
            lose(MidiClock::now(),
                 QCoreApplication::translate("AudioOutput", "the sound output went away"));
            return;
        }
    }
}

void AudioOutput::run() {
    while (!m_stop.load()) {
        const bool alive = m_sink->wait(timeoutMs(MidiClock::now()), m_wakeFd);
        std::uint64_t count = 0;
        [[maybe_unused]] auto drained = ::read(m_wakeFd, &count, sizeof count);
        if (m_stop.load()) break;
        MidiTime now = MidiClock::now();
        if (!alive) {
            lose(now, QCoreApplication::translate("AudioOutput", "the sound server went away"));
            continue;
        }
        if (!m_connected && now >= m_retryAt) {
            connect(now);
            now = MidiClock::now();
        }

        bool tapped = false;
        {
            const std::lock_guard lock(m_tapMutex);
            tapped = m_tap != nullptr;
        }
        if (m_paused) {
            // Messages are placed on the resumed timeline, not on the one
            // that stopped at the pause: that would hold them back as long.
            if (!m_scheduler.hasPosted() && !tapped && !m_scheduler.hasQueued()) continue;
            m_sink->setPaused(false);
            m_paused = false;
            rebase(now);
            // A resumed stream's latency is not the one it had before: its
            // messages wait until it is measured, which the lead leaves room for.
            if (m_sink->audible()) {
                m_resuming = true;
                m_resumeGiveUp = now + 20ms;
                m_scheduler.holdPosted(true);
            }
        }
        m_scheduler.takePosted();
        measure(now);

        // Behind the output (a stall, a suspend): start a new timeline rather
        // than render the time that has passed.
        if (m_scheduler.position() < m_scheduler.frameAt(now)) rebase(now);

        std::int64_t target = m_scheduler.frameAt(now + 25ms);
        const MidiTime tick{MidiClock::duration(m_lastTick.load(std::memory_order_relaxed))};
        if (tick > now - 100ms)
            // Short of the next tick's notes by the limiter's look-ahead, so
            // they are applied that early as planned, not at the next block.
            target = std::max(target,
                              m_scheduler.frameAt(tick + kTick + kLead) - PeakLimiter::kLookAhead);
        target = std::min(target, m_scheduler.frameAt(now + 150ms));
        // Resuming: just enough silence to start the stream, none that a
        // held message may fall into.
        if (m_resuming) target = m_startPosition + kRate * kResumeFill / 1000ms;
        renderUpTo(target);
        if (m_resuming && !m_measuring) {
            // Asked after the first frames, so the measure sees the stream run.
            m_sink->requestQueue();
            m_measuring = true;
        }

        if (!tapped && !m_resuming && !m_scheduler.hasQueued() &&
            m_scheduler.silentFrames() > std::chrono::seconds(kIdleAfter).count() * kRate) {
            m_sink->setPaused(true);
            m_paused = true;
            // A message posted just before the flag was set has not woken us.
            if (m_scheduler.hasPosted()) wake();
        }
    }
}

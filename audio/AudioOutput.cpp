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
#include <fcntl.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
constexpr int kRate = EmbeddedSynth::kDefaultSampleRate;
// Without a wake-up descriptor the thread looks this often, so that a stop
// is seen soon enough.
constexpr auto kPollWithoutWake = 100ms;

std::unique_ptr<AudioSink> makeNamedSink(const QString& name) {
    if (name == QLatin1String("pulse")) return std::make_unique<PulseSink>();
    if (name == QLatin1String("alsa")) return std::make_unique<AlsaSink>();
    if (name == QLatin1String("none")) return std::make_unique<NullSink>();
    return nullptr;
}
} // namespace

QStringList AudioOutput::defaultOutputs() {
    return {QStringLiteral("pulse"), QStringLiteral("alsa")};
}

AudioOutput::AudioOutput(EmbeddedSynth& synth, QStringList outputs, SinkMaker makeSink)
    : m_synth(synth), m_outputs(std::move(outputs)),
      m_makeSink(makeSink ? std::move(makeSink) : &makeNamedSink),
      m_scheduler(synth, kLead, kRate) {
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd >= 0) {
        m_wakeWriteFd = m_wakeFd;
    } else {
        int ends[2];
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0) {
            m_wakeFd = ends[0];
            m_wakeWriteFd = ends[1];
        }
    }
    auto standIn = std::make_unique<NullSink>();
    standIn->open(kRate);
    const MidiTime now = MidiClock::now();
    m_core = std::make_unique<OutputCore>(m_scheduler, std::move(standIn),
                                          static_cast<int>(m_outputs.size()), now,
                                          [this](const float* block, std::size_t frames, int rate) {
                                              const std::lock_guard lock(m_tapMutex);
                                              if (m_tap) m_tap->audioRendered(block, frames, rate);
                                          });
    // Outputs that do not exist are known at once: with none to open, the
    // problem is there before the first tick.
    QStringList unknown;
    for (const QString& name : std::as_const(m_outputs))
        if (!m_makeSink(name))
            unknown << name + QStringLiteral(": ") +
                           QCoreApplication::translate("AudioOutput", "no such audio output");
    if (unknown.size() == m_outputs.size()) {
        m_core->openDone(nullptr, -1, unknown, now);
        m_problem = m_core->problem();
        m_firstTryDone = true;
    }
    m_opener = std::thread([this] {
        // Named, so that a look at the process tells the threads apart.
        pthread_setname_np(pthread_self(), "marulet-open");
        openOutputs();
    });
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "marulet-audio");
        run();
    });
}

AudioOutput::~AudioOutput() {
    {
        const std::lock_guard lock(m_openMutex);
        m_stop = true;
        if (m_openingSink) m_openingSink->cancel();
    }
    m_openWanted.notify_all();
    wake();
    if (m_thread.joinable()) m_thread.join();
    if (m_opener.joinable()) m_opener.join();
    m_core.reset();
    if (m_wakeWriteFd >= 0 && m_wakeWriteFd != m_wakeFd) ::close(m_wakeWriteFd);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void AudioOutput::wake() {
    const std::uint64_t one = 1;
    if (m_wakeWriteFd >= 0) [[maybe_unused]]
        auto written = ::write(m_wakeWriteFd, &one, m_wakeWriteFd == m_wakeFd ? sizeof one : 1);
}

bool AudioOutput::drainWake() {
    if (m_wakeFd < 0) return false;
    bool woken = false;
    std::uint64_t bytes[8];
    while (::read(m_wakeFd, bytes, sizeof bytes) > 0) {
        woken = true;
        if (m_wakeFd == m_wakeWriteFd) break; // an eventfd reads whole at once
    }
    return woken;
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

// The opener thread: tries the outputs asked for, in order, and hands the
// first that opens (or why none did) to the audio thread.
void AudioOutput::openOutputs() {
    std::unique_lock lock(m_openMutex);
    while (!m_stop) {
        m_openWanted.wait(lock, [this] { return m_stop || m_openRequest; });
        if (m_stop) break;
        const int count = *m_openRequest;
        m_openRequest.reset();
        lock.unlock();
        Opened opened = open(count);
        lock.lock();
        if (m_stop) break;
        m_openResult = std::move(opened);
        wake();
    }
}

AudioOutput::Opened AudioOutput::open(int count) {
    Opened result;
    for (int i = 0; i < count && i < m_outputs.size() && !m_stop; ++i) {
        const QString& name = m_outputs[i];
        auto sink = m_makeSink(name);
        if (!sink) {
            result.failures << name + QStringLiteral(": ") +
                                   QCoreApplication::translate("AudioOutput",
                                                               "no such audio output");
            continue;
        }
        {
            const std::lock_guard lock(m_openMutex);
            if (m_stop) break;
            m_openingSink = sink.get();
        }
        const QString why = sink->open(kRate);
        {
            const std::lock_guard lock(m_openMutex);
            m_openingSink = nullptr;
        }
        if (why.isEmpty()) {
            // A new rate rebuilds the synth, which reads the soundfont's
            // headers: done here, not on the audio thread that switches.
            m_synth.setSampleRate(sink->rate());
            result.sink = std::move(sink);
            result.index = i;
            return result;
        }
        result.failures << name + QStringLiteral(": ") + why;
    }
    return result;
}

int AudioOutput::timeoutMs(MidiTime now, MidiTime until) const {
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
    if (m_wakeFd < 0) wait = std::min<std::chrono::milliseconds>(wait, kPollWithoutWake);
    return static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 3600 * 1000));
}

void AudioOutput::run() {
    MidiTime until = MidiClock::now();
    bool alive = true;
    while (!m_stop.load()) {
        MidiTime now = MidiClock::now();
        if (until > now) {
            alive = m_core->sink().wait(timeoutMs(now, until), m_wakeFd);
            const bool woken = drainWake();
            if (m_stop.load()) break;
            now = MidiClock::now();
            // The output's own business (a server's request, an answer) is
            // seen at the next pass; only a wake, the time asked for or a
            // lost output make one. Without a wake-up descriptor we look.
            if (alive && !woken && now < until && m_wakeFd >= 0) continue;
        }
        bool tried = false;
        {
            std::optional<Opened> opened;
            {
                const std::lock_guard lock(m_openMutex);
                opened.swap(m_openResult);
            }
            if (opened) {
                m_core->openDone(std::move(opened->sink), opened->index, opened->failures, now);
                tried = true;
            }
            if (const auto count = m_core->takeOpenRequest(now)) {
                {
                    const std::lock_guard lock(m_openMutex);
                    m_openRequest = count;
                }
                m_openWanted.notify_one();
            }
        }
        OutputCore::Pass pass;
        pass.now = now;
        pass.alive = alive;
        {
            const std::lock_guard lock(m_tapMutex);
            pass.tapped = m_tap != nullptr;
        }
        if (const auto tick = m_lastTick.load(std::memory_order_relaxed))
            pass.tick = MidiTime(MidiClock::duration(tick));
        until = m_core->step(pass);
        alive = true;
        m_tickPeriod.store(m_core->tickPeriod().count(), std::memory_order_relaxed);
        {
            const std::lock_guard lock(m_problemMutex);
            if (m_problem != m_core->problem()) m_problem = m_core->problem();
        }
        // Told once the problem says how the first try went.
        if (tried) m_firstTryDone.store(true, std::memory_order_release);
        m_paused.store(m_core->paused());
        // A message posted just before the flag was set has not woken us.
        if (m_core->paused() && m_scheduler.hasPosted()) until = now;
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioScheduler.h"
#include "audio/AudioSink.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

class AudioTap;
class EmbeddedSynth;

// The built-in synthesizer's sound: an audio thread of our own renders the
// scheduler's frames into the first output that opens (a PulseAudio stream,
// else the ALSA card). The field wakes it after each tick, and it renders up
// to the next tick plus the lead; without ticks it keeps 25 ms ahead. After a
// few silent seconds it pauses the output and sleeps until a message comes.
// A lost output is replaced by a silent stand-in and tried again with
// growing pauses, so the field plays on and sound comes back by itself.
class AudioOutput {
public:
    static constexpr std::chrono::milliseconds kLead{45};
    static constexpr std::chrono::milliseconds kTick{50};

    // The outputs to try, in order: "pulse", "alsa" (the default device) or
    // "none" (plays into nothing at the clock's pace).
    static QStringList defaultOutputs();

    // Opens the first output that works before returning; starts the thread.
    AudioOutput(EmbeddedSynth& synth, QStringList outputs);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    void post(std::uint32_t packed, MidiTime when);
    void tickSent(MidiTime tickTime);
    // Returns once the previous tap can no longer be called.
    void setTap(AudioTap* tap);
    // Why nothing is heard now; empty while an output plays.
    QString problem() const;
    // How long a tick lasts on the system clock, so that the field's timer
    // follows the output's clock rather than the other way round.
    std::chrono::nanoseconds tickPeriod() const {
        return std::chrono::nanoseconds(m_tickPeriod.load(std::memory_order_relaxed));
    }

private:
    void run();
    void connect(MidiTime now);
    void lose(MidiTime now, const QString& why);
    void rebase(MidiTime now);
    void stopResuming();
    void measure(MidiTime now);
    void renderUpTo(std::int64_t frame);
    int timeoutMs(MidiTime now) const;
    void setProblem(const QString& problem);
    void wake();

    EmbeddedSynth& m_synth;
    QStringList m_outputs;
    AudioScheduler m_scheduler;
    std::unique_ptr<AudioSink> m_sink;
    bool m_connected = false; // m_sink is one of the outputs asked for
    std::chrono::milliseconds m_backoff{250};
    MidiTime m_retryAt{};
    MidiTime m_measureAt{};
    bool m_measuring = false;
    std::int64_t m_startPosition = 0; // the frame the output started at
    bool m_hardMeasure = true;
    // Resumed, and its messages held until the output's latency is measured.
    bool m_resuming = false;
    MidiTime m_resumeGiveUp{};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_stop{false};
    std::atomic<MidiClock::rep> m_lastTick{0};
    std::atomic<std::int64_t> m_tickPeriod{std::chrono::nanoseconds(kTick).count()};
    int m_wakeFd = -1;
    mutable std::mutex m_problemMutex;
    QString m_problem;
    std::mutex m_tapMutex;
    AudioTap* m_tap = nullptr;
    std::thread m_thread;
};

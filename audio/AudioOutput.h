// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioScheduler.h"
#include "audio/AudioSink.h"
#include "audio/OutputCore.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class AudioTap;
class EmbeddedSynth;

// The built-in synthesizer's sound: an audio thread of our own renders the
// scheduler's frames into the first output that opens (a PulseAudio stream,
// else the ALSA card), as OutputCore decides. The field wakes it after each
// tick. Outputs are opened on a thread of their own, so that a sound server
// that does not answer holds up neither the program nor the sound: until
// one opens, a silent stand-in keeps the timeline going.
class AudioOutput {
public:
    static constexpr std::chrono::milliseconds kLead = OutputCore::kLead;
    static constexpr std::chrono::milliseconds kTick = OutputCore::kTick;

    // The outputs to try, in order: "pulse", "alsa" (the first sound card
    // that does not lead back to a sound server) or "none" (plays into
    // nothing at the clock's pace).
    static QStringList defaultOutputs();

    // Makes the output of a name, not opened yet; nullptr for none such.
    using SinkMaker = std::function<std::unique_ptr<AudioSink>(const QString& name)>;

    // Returns at once; the outputs open in the background. The outputs are
    // made by name: by makeSink when given, else as defaultOutputs() says.
    AudioOutput(EmbeddedSynth& synth, QStringList outputs, SinkMaker makeSink = {});
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    void post(std::uint32_t packed, MidiTime when);
    void tickSent(MidiTime tickTime);
    // Returns once the previous tap can no longer be called.
    void setTap(AudioTap* tap);
    // Why nothing is heard now; empty while an output plays or is first tried.
    QString problem() const;
    // True once the first try of the outputs has ended, well or not: from
    // then on problem() says whether sound can be heard.
    bool firstTryDone() const { return m_firstTryDone.load(std::memory_order_acquire); }
    // True while the output rests after a silence: the thread sleeps until
    // a message comes.
    bool paused() const { return m_paused.load(std::memory_order_relaxed); }
    // How long a tick lasts on the system clock, so that the field's timer
    // follows the output's clock rather than the other way round.
    std::chrono::nanoseconds tickPeriod() const {
        return std::chrono::nanoseconds(m_tickPeriod.load(std::memory_order_relaxed));
    }

private:
    struct Opened {
        std::unique_ptr<AudioSink> sink;
        int index = -1;
        QStringList failures;
    };

    void run();
    void openOutputs();
    Opened open(int count);
    void wake();
    // True when someone had woken us.
    bool drainWake();
    int timeoutMs(MidiTime now, MidiTime until) const;

    EmbeddedSynth& m_synth;
    QStringList m_outputs;
    SinkMaker m_makeSink;
    AudioScheduler m_scheduler;
    std::unique_ptr<OutputCore> m_core;
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_firstTryDone{false};
    std::atomic<bool> m_stop{false};
    std::atomic<MidiClock::rep> m_lastTick{0};
    std::atomic<std::int64_t> m_tickPeriod{std::chrono::nanoseconds(kTick).count()};
    // Read on the audio thread, written by wake(): an eventfd, or a pipe's
    // two ends; none when neither could be made, and the thread polls.
    int m_wakeFd = -1;
    int m_wakeWriteFd = -1;
    mutable std::mutex m_problemMutex;
    QString m_problem;
    std::mutex m_tapMutex;
    AudioTap* m_tap = nullptr;

    // The opener's: one request at a time, its outcome handed back.
    std::mutex m_openMutex;
    std::condition_variable m_openWanted;
    std::optional<int> m_openRequest;
    std::optional<Opened> m_openResult;
    AudioSink* m_openingSink = nullptr; // cancelled when we stop
    std::thread m_opener;
    std::thread m_thread;
};

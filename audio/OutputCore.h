// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioScheduler.h"
#include "audio/AudioSink.h"
#include "audio/ClockFilter.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Everything the audio thread decides, with the time handed in and nothing
// waited for, so that a scripted output can drive it: how much to render and
// when to come back; how the output's frames relate to the system clock (a
// delay-locked loop on its queue measures, so the output's clock is the
// master); the grid the ticks' messages go on; pausing after a few silent
// seconds and resuming; a stall or a dry spell; losing the output, asking
// for outputs to be opened with growing pauses and switching to one once it
// is open.
//
// Tick n sounds at the grid's frame plus n ticks' frames, whatever the clocks
// do: the period it gives the ticks (tickPeriod) follows the output's clock,
// with a small bounded pull that keeps the lead at its target.
class OutputCore {
public:
    static constexpr std::chrono::milliseconds kLead{45};
    static constexpr std::chrono::milliseconds kTick = AudioScheduler::kTick;
    static constexpr std::chrono::seconds kIdleAfter{3};

    // What the audio thread brings to a pass.
    struct Pass {
        MidiTime now{};
        bool alive = true;            // the output's wait did not report it lost
        bool tapped = false;          // a tap listens, so no pausing
        std::optional<MidiTime> tick; // the last tick's time, when any came
    };
    // Sees every rendered block, as the output gets it.
    using Rendered =
        std::function<void(const float* interleavedStereo, std::size_t frames, int rate)>;

    // `outputs` is how many outputs there are to open, in order of
    // preference; until one opens, the stand-in (already open) plays.
    OutputCore(AudioScheduler& scheduler, std::unique_ptr<AudioSink> standIn, int outputs,
               MidiTime now, Rendered rendered = {});
    ~OutputCore();
    OutputCore(const OutputCore&) = delete;
    OutputCore& operator=(const OutputCore&) = delete;

    // One pass; gives when the next is wanted at the latest (a tick or a
    // post while paused wakes it sooner).
    MidiTime step(const Pass& pass);

    // How many of the outputs, from the first, the opener should try now;
    // given once per try.
    std::optional<int> takeOpenRequest(MidiTime now);
    // The try's outcome: an opened sink and its index, or why each failed.
    void openDone(std::unique_ptr<AudioSink> sink, int index, const QStringList& failures,
                  MidiTime now);

    // The output played into now, for the thread to wait on.
    AudioSink& sink() { return *m_sink; }
    // Which output plays: its index, or -1 for the stand-in.
    int playing() const { return m_index; }
    bool paused() const { return m_paused; }
    bool opening() const { return m_opening; }
    std::chrono::nanoseconds tickPeriod() const { return m_tickPeriod; }
    // Why nothing is heard; empty while an output plays or is first tried.
    const QString& problem() const { return m_problem; }
    // When the output hears a frame, on the current estimate.
    MidiTime timeOf(std::int64_t frame) const { return m_clock.timeOf(frame); }

private:
    void restart(MidiTime now);
    void lose(MidiTime now, const QString& why);
    void switchTo(std::unique_ptr<AudioSink> sink, int index, MidiTime now);
    void takeMeasure(MidiTime now);
    void askMeasure(MidiTime now);
    void endHold();
    void applyTimeline();
    void followTicks();
    void anchor(MidiTime tick);
    void render(MidiTime now);
    MidiTime nextWake(MidiTime now) const;

    AudioScheduler& m_scheduler;
    std::unique_ptr<AudioSink> m_standIn;
    std::unique_ptr<AudioSink> m_real;
    AudioSink* m_sink;
    int m_outputs;
    int m_index = -1;
    Rendered m_rendered;
    std::vector<float> m_block;

    ClockFilter m_clock;
    std::int64_t m_startPosition = 0; // where the current timeline began
    bool m_measuring = false;
    MidiTime m_askedAt{};
    MidiTime m_measureAt{};
    // After a fresh start the output's latency is measured before any
    // message is placed: a few measures, of which the middle one counts.
    bool m_holding = false;
    MidiTime m_holdUntil{};
    std::vector<MidiTime> m_startTimes; // when m_startPosition is heard, by each measure

    bool m_paused = false;
    std::optional<MidiTime> m_lastTick;
    std::optional<MidiTime> m_anchored; // the tick the grid was last moved to
    MidiTime m_gridTime{};
    std::int64_t m_gridFrame = 0;
    std::chrono::nanoseconds m_tickPeriod{kTick};
    double m_rate = 0; // the output's frames a second, as the ticks follow it

    bool m_opening = false;
    MidiTime m_retryAt{};
    std::chrono::milliseconds m_backoff{250};
    QString m_problem;
};

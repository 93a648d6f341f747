// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/PeakLimiter.h"
#include "engine/midi/MidiOutService.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

class EmbeddedSynth;

// Plays timestamped MIDI messages on the synthesizer at their own sample
// frame: a message stamped t sounds at the frame heard at t + lead. It knows
// nothing of audio devices: whoever pulls the frames says which frame is
// heard when (setTimeline) and renders, so it runs offline just the same.
//
// A tick's messages go on a grid: given a tick's time and frame, a message
// stamped n periods later (within 2 ms) is applied exactly n ticks' frames
// later, so a timeline that follows a drifting clock never moves one tick
// against the next. A message that comes too late is applied at once, in the
// order messages were posted; a note-on more than about a tick late is dropped
// rather than played out of time.
//
// post() may come from any thread; everything else belongs to the thread that
// renders.
class AudioScheduler {
public:
    // What the frames are rendered by: the built-in synthesizer, or a
    // stand-in that records what it is sent.
    class Synth {
    public:
        virtual ~Synth() = default;
        virtual void send(std::uint32_t packed) = 0;
        virtual void render(std::span<float> interleavedStereo) = 0;
        virtual bool sounding() const = 0;
        virtual void setSampleRate(int rate) = 0;
    };

    static constexpr std::chrono::milliseconds kTick{50};

    AudioScheduler(EmbeddedSynth& synth, std::chrono::nanoseconds lead, int sampleRate);
    AudioScheduler(Synth& synth, std::chrono::nanoseconds lead, int sampleRate);
    ~AudioScheduler();
    AudioScheduler(const AudioScheduler&) = delete;
    AudioScheduler& operator=(const AudioScheduler&) = delete;

    void post(std::uint32_t packed, MidiTime when);

    // `frame` is heard at `at`, and frames pass at `framesPerSecond` of the
    // system clock.
    void setTimeline(std::int64_t frame, MidiTime at, double framesPerSecond);
    // Frame 0 heard at `when`, at the nominal rate.
    void setFrameZero(MidiTime when) { setTimeline(0, when, m_rate); }
    MidiTime frameZero() const { return timeOf(0); }
    // The frame heard at a time, on the current timeline.
    std::int64_t frameAt(MidiTime when) const;
    MidiTime timeOf(std::int64_t frame) const;

    // The messages of the tick stamped `tickTime` are applied at `frame`;
    // the following ticks come `period` apart.
    void setGrid(MidiTime tickTime, std::int64_t frame, std::chrono::nanoseconds period);
    void clearGrid() { m_grid = false; }
    bool hasGrid() const { return m_grid; }
    // Where a message stamped `when` would be applied, before any lateness.
    std::int64_t placeOf(MidiTime when) const;
    std::int64_t framesPerTick() const;

    // Renders the next frames (interleaved stereo), applying each message at
    // its frame and a late one at once, then limits them.
    void render(float* interleavedStereo, std::size_t frames);

    // Places posted messages in the queue; true when any had come.
    bool takePosted();
    bool hasPosted();
    // Places the queued messages again, after the timeline changed.
    void replace();
    // While held, posted messages wait, unplaced, for a known timeline.
    void holdPosted(bool hold) { m_hold = hold; }
    std::int64_t position() const { return m_position; }
    bool hasQueued() const { return !m_queue.empty(); }
    // Frames rendered since a voice last sounded.
    std::int64_t silentFrames() const { return m_silentFrames; }
    int sampleRate() const { return m_rate; }
    // Renders at another rate from now on; the timeline is the caller's to set.
    void setSampleRate(int rate);
    const PeakLimiter& limiter() const { return m_limiter; }

private:
    struct Event {
        std::int64_t frame;
        std::uint64_t order;
        std::uint32_t packed;
        MidiTime when;
    };
    struct Posted {
        std::uint32_t packed;
        MidiTime when;
    };

    void reserve();
    void place(std::uint32_t packed, MidiTime when, std::uint64_t order);

    std::unique_ptr<Synth> m_own; // wraps an EmbeddedSynth
    Synth& m_synth;
    std::chrono::nanoseconds m_lead;
    int m_rate;
    std::int64_t m_timelineFrame = 0;
    MidiTime m_timelineAt{};
    double m_framesPerSecond;
    bool m_grid = false;
    MidiTime m_gridTime{};
    std::int64_t m_gridFrame = 0;
    std::chrono::nanoseconds m_gridPeriod{kTick};
    // The last message placed: a newer one never goes before it.
    MidiTime m_lastWhen = MidiTime::min();
    std::int64_t m_lastFrame = 0;
    std::int64_t m_position = 0;
    std::int64_t m_silentFrames = 0;
    bool m_hold = false;
    std::uint64_t m_order = 0;
    PeakLimiter m_limiter;
    std::vector<Event> m_queue; // a heap, earliest first
    std::vector<Event> m_replaced;
    std::mutex m_postedMutex;
    std::vector<Posted> m_posted;
    std::vector<Posted> m_taken;
};

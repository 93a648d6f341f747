// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/PeakLimiter.h"
#include "engine/midi/MidiOutService.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

class EmbeddedSynth;

// Plays timestamped MIDI messages on the synthesizer at their own sample
// frame: a message stamped t sounds at the frame heard at t + lead. It knows
// nothing of audio devices: whoever pulls the frames says when frame 0 is
// heard (setFrameZero) and renders, so it runs offline just the same.
// post() may come from any thread; everything else belongs to the thread that
// renders.
class AudioScheduler {
public:
    AudioScheduler(EmbeddedSynth& synth, std::chrono::nanoseconds lead, int sampleRate);

    void post(std::uint32_t packed, MidiTime when);

    void setFrameZero(MidiTime when) { m_frameZero = when; }
    MidiTime frameZero() const { return m_frameZero; }
    // The frame heard at a time, on the current frame-0 time.
    std::int64_t frameAt(MidiTime when) const;
    MidiTime timeOf(std::int64_t frame) const;

    // Renders the next frames (interleaved stereo), applying each message at
    // its frame and a late one at once, then limits them.
    void render(float* interleavedStereo, std::size_t frames);

    // Moves posted messages into the queue; true when any had come.
    bool takePosted();
    bool hasPosted();
    // While held, posted messages wait, unplaced, for a known timeline.
    void holdPosted(bool hold) { m_hold = hold; }
    std::int64_t position() const { return m_position; }
    bool hasQueued() const { return !m_queue.empty(); }
    // Frames rendered since a voice last sounded.
    std::int64_t silentFrames() const { return m_silentFrames; }
    int sampleRate() const { return m_rate; }
    const PeakLimiter& limiter() const { return m_limiter; }

private:
    struct Event {
        std::int64_t frame;
        std::uint64_t order;
        std::uint32_t packed;
    };
    struct Posted {
        std::uint32_t packed;
        MidiTime when;
    };

    EmbeddedSynth& m_synth;
    std::chrono::nanoseconds m_lead;
    int m_rate;
    MidiTime m_frameZero{};
    std::int64_t m_position = 0;
    std::int64_t m_silentFrames = 0;
    bool m_hold = false;
    std::uint64_t m_order = 0;
    PeakLimiter m_limiter;
    std::vector<Event> m_queue; // a heap, earliest first
    std::mutex m_postedMutex;
    std::vector<Posted> m_posted;
    std::vector<Posted> m_taken;
};

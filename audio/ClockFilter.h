// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiOutService.h"

#include <cstdint>

// Relates an output's frame count to the system clock with a second-order
// delay-locked loop: each measure (this frame was heard then) moves the
// estimate by a small share of its error, so the noise of single measures
// averages out while the output's own rate is followed. It starts wide, to
// lock within a second, then narrows. A measure far off the estimate is
// ignored unless the next ones agree with it: then the output has jumped.
class ClockFilter {
public:
    explicit ClockFilter(double nominalRate = 48000) : m_nominal(nominalRate) {}

    // Starts over from a guess: `frame` heard at `at`, at the nominal rate.
    void reset(std::int64_t frame, MidiTime at, double nominalRate);
    // Starts over from a guess at the rate found so far, for the same output
    // after a pause or a dry spell, whose clock has not changed: the next
    // measure replaces the guess.
    void guess(std::int64_t frame, MidiTime at);
    // Takes a measure; false when it was set aside as an outlier.
    bool update(std::int64_t frame, MidiTime at);

    // How many measures the rate rests on since the last reset.
    int measures() const { return m_count; }
    MidiTime timeOf(std::int64_t frame) const;
    // Frames per second of the system clock.
    double rate() const { return 1.0 / m_secondsPerFrame; }
    double nominalRate() const { return m_nominal; }
    // When frame 0 is heard, on the current estimate.
    MidiTime frameZero() const { return timeOf(0); }

private:
    double secondsSince(MidiTime at) const;

    double m_nominal;
    double m_secondsPerFrame = 1.0 / m_nominal;
    std::int64_t m_frame = 0; // the estimate's reference frame
    MidiTime m_epoch{};       // and when it is heard
    double m_offset = 0;      // seconds after m_epoch, kept small
    int m_count = 0;
    bool m_fresh = true; // the next measure replaces the guess
    int m_outliers = 0;
};

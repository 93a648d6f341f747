// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A look-ahead peak limiter for interleaved stereo: the output is the input
// delayed by kLookAhead frames, with a gain that has already come down by the
// time a peak leaves the delay, so no sample ever exceeds the ceiling. A signal
// that stays under the ceiling passes with a gain of exactly 1.
//
// The gain is worked out in four steps, each frame:
//  - needed: what the frame entering the delay needs to stay under the ceiling
//    (a hair under it, so that rounding keeps it below; 0 for a broken frame);
//  - hold: the least needed gain of the last kLookAhead + 1 frames, which
//    covers every frame still in the delay;
//  - release: falls to the hold at once and rises back towards it over
//    kReleaseSeconds, too slow to be heard as pumping;
//  - ramp: the mean of the last kLookAhead + 1 released gains, so the gain
//    glides down in a straight line over the look-ahead instead of jumping.
// The ramp's every term is at most the gain the frame leaving the delay
// needs, so the mean is too: the smooth gain does the limiting, never a clamp.
class PeakLimiter {
public:
    static constexpr int kLookAhead = 64;
    static constexpr double kReleaseSeconds = 0.15;

    explicit PeakLimiter(float ceiling = 0.891f, int sampleRate = 44100);

    void process(float* interleavedStereo, std::size_t frames);
    float ceiling() const { return m_ceiling; }
    // The gain given to the last frame that left the delay.
    float gain() const { return m_gain; }
    // The share of the way back up the released gain goes each frame.
    double releasePerFrame() const { return m_release; }

private:
    static constexpr int kWindow = kLookAhead + 1; // the frames a peak is held for
    static constexpr std::size_t kQueue = 128;     // a power of two above kWindow

    float m_ceiling;
    double m_release;
    float m_gain = 1.0f;
    double m_released = 1.0;
    std::uint64_t m_frame = 0;
    // The frames waiting in the delay.
    std::array<float, 2 * kLookAhead> m_delay{};
    // The hold: the rising minima of the window, oldest first, each with its
    // frame. A frame enters once and leaves once, so any signal fits.
    std::array<std::uint64_t, kQueue> m_minFrame{};
    std::array<float, kQueue> m_minGain{};
    std::size_t m_minHead = 0;
    std::size_t m_minCount = 0;
    // The ramp: released gains in fixed point, so their running sum is exact.
    std::array<std::int64_t, kWindow> m_ramp{};
    std::int64_t m_rampSum = 0;
};

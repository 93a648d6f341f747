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
class PeakLimiter {
public:
    static constexpr int kLookAhead = 64;

    explicit PeakLimiter(float ceiling = 0.891f, int sampleRate = 44100);

    void process(float* interleavedStereo, std::size_t frames);
    float ceiling() const { return m_ceiling; }
    float gain() const { return m_gain; }

private:
    static constexpr int kWindow = kLookAhead; // the delay, and the window a peak is seen in

    float m_ceiling;
    float m_attack;
    float m_release;
    float m_gain = 1.0f;
    std::uint64_t m_frame = 0;
    // The delayed frames and the gain each one needs.
    std::array<float, 2 * kWindow> m_delay{};
    std::array<float, kWindow> m_needed{};
    // Rising minimum of the needed gains over the window (a monotonic queue).
    std::array<std::uint64_t, kWindow> m_minFrame{};
    std::array<float, kWindow> m_minGain{};
    std::size_t m_head = 0;
    std::size_t m_size = 0;
};

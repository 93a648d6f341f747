// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/ClockFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// A measure further off than this is noise (a late answer), not the output.
constexpr double kOutlier = 1.5e-3;
// This many far-off measures in a row: the output's timeline really moved.
constexpr int kJumpAfter = 3;
// A card's clock is within a few hundred ppm of its nominal rate.
constexpr double kMaxDeviation = 1e-3;

// The loop's bandwidth: wide while it locks, then narrow, so that the
// estimate follows drift and not the measures' noise, which a server's
// timing answers have by the millisecond.
double bandwidthHz(int count) {
    if (count < 10) return 1.5;
    if (count < 30) return 0.5;
    if (count < 100) return 0.2;
    return 0.1;
}
} // namespace

void ClockFilter::reset(std::int64_t frame, MidiTime at, double nominalRate) {
    m_nominal = nominalRate;
    m_secondsPerFrame = 1.0 / nominalRate;
    m_frame = frame;
    m_epoch = at;
    m_offset = 0;
    m_count = 0;
    m_fresh = true;
    m_outliers = 0;
}

void ClockFilter::guess(std::int64_t frame, MidiTime at) {
    m_frame = frame;
    m_epoch = at;
    m_offset = 0;
    m_fresh = true;
    m_outliers = 0;
}

double ClockFilter::secondsSince(MidiTime at) const {
    return std::chrono::duration<double>(at - m_epoch).count();
}

bool ClockFilter::update(std::int64_t frame, MidiTime at) {
    if (m_fresh) {
        // The first measure after a guess says where the output is; the
        // rate stays what it was.
        m_frame = frame;
        m_epoch = at;
        m_offset = 0;
        m_fresh = false;
        ++m_count;
        return true;
    }
    const double frames = double(frame - m_frame);
    const double predicted = m_offset + frames * m_secondsPerFrame;
    const double error = secondsSince(at) - predicted;
    if (std::fabs(error) > kOutlier) {
        if (++m_outliers < kJumpAfter) return false;
        // The output jumped: it is where the measure says, at the same rate.
        guess(frame, at);
        return update(frame, at);
    }
    m_outliers = 0;
    // Adriaensen's loop, for a measure that came `interval` seconds after the last.
    const double interval = std::max(frames * m_secondsPerFrame, 1e-3);
    const double omega = std::min(2 * std::numbers::pi * bandwidthHz(m_count) * interval, 0.7);
    const double b = std::numbers::sqrt2 * omega;
    const double c = omega * omega;
    m_frame = frame;
    m_offset = predicted + b * error;
    if (frames > 0)
        m_secondsPerFrame =
            std::clamp(m_secondsPerFrame + c * error / frames, (1 - kMaxDeviation) / m_nominal,
                       (1 + kMaxDeviation) / m_nominal);
    // Moves the reference's time into the epoch so the offset stays small.
    const auto whole =
        std::chrono::duration_cast<MidiClock::duration>(std::chrono::duration<double>(m_offset));
    m_epoch += whole;
    m_offset -= std::chrono::duration<double>(whole).count();
    ++m_count;
    return true;
}

MidiTime ClockFilter::timeOf(std::int64_t frame) const {
    const double seconds = m_offset + double(frame - m_frame) * m_secondsPerFrame;
    return m_epoch +
           std::chrono::duration_cast<MidiClock::duration>(std::chrono::duration<double>(seconds));
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/PeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace {
// One in fixed point: 2^31, so 65 terms add up far inside 64 bits.
constexpr double kUnit = 2147483648.0;
constexpr auto kFullGain = static_cast<std::int64_t>(kUnit);
} // namespace

PeakLimiter::PeakLimiter(float ceiling, int sampleRate)
    : m_ceiling(ceiling),
      m_release(1.0 - std::exp(-1.0 / (kReleaseSeconds * std::max(1, sampleRate)))) {
    m_ramp.fill(kFullGain);
    m_rampSum = kFullGain * kWindow;
}

void PeakLimiter::process(float* data, std::size_t frames) {
    constexpr std::size_t kMask = kQueue - 1;
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = data + 2 * i;
        const float peak = std::max(std::fabs(frame[0]), std::fabs(frame[1]));
        // NaN or infinity from a broken voice becomes silence, not a blast.
        const bool finite = std::isfinite(frame[0]) && std::isfinite(frame[1]);
        // A hair under the ceiling, so rounding of sample times gain stays below it.
        const float needed = !finite ? 0.0f : peak > m_ceiling ? 0.99999f * m_ceiling / peak : 1.0f;

        // Hold: the oldest frame leaves the window before the new one comes in,
        // so the queue never holds more than the window.
        if (m_minCount > 0 && m_minFrame[m_minHead] + kLookAhead < m_frame) {
            m_minHead = (m_minHead + 1) & kMask;
            --m_minCount;
        }
        while (m_minCount > 0 && m_minGain[(m_minHead + m_minCount - 1) & kMask] >= needed)
            --m_minCount;
        const std::size_t tail = (m_minHead + m_minCount) & kMask;
        m_minFrame[tail] = m_frame;
        m_minGain[tail] = needed;
        ++m_minCount;
        const double hold = m_minGain[m_minHead];

        // Release: down at once, back up slowly; close enough is all the way.
        if (hold <= m_released) {
            m_released = hold;
        } else {
            m_released += (hold - m_released) * m_release;
            if (hold - m_released < 1e-6) m_released = hold;
        }

        // Ramp: rounded down, so the mean never exceeds what is needed.
        const std::size_t slot = m_frame % kWindow;
        const auto released = static_cast<std::int64_t>(std::floor(m_released * kUnit));
        m_rampSum += released - m_ramp[slot];
        m_ramp[slot] = released;
        m_gain = static_cast<float>(double(m_rampSum) / (kUnit * kWindow));

        const std::size_t delayed = m_frame % kLookAhead;
        const float outLeft = m_delay[2 * delayed], outRight = m_delay[2 * delayed + 1];
        m_delay[2 * delayed] = finite ? frame[0] : 0.0f;
        m_delay[2 * delayed + 1] = finite ? frame[1] : 0.0f;
        frame[0] = outLeft * m_gain;
        frame[1] = outRight * m_gain;
        ++m_frame;
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/PeakLimiter.h"

#include <algorithm>
#include <cmath>

PeakLimiter::PeakLimiter(float ceiling, int sampleRate)
    : m_ceiling(ceiling),
      // Down to the needed gain within about a quarter of the look-ahead;
      // back up over about 150 ms, too slow to be heard as pumping.
      m_attack(1.0f - std::exp(-4.0f / kLookAhead)),
      m_release(1.0f - std::exp(-1.0f / (0.15f * float(sampleRate)))) {
    m_needed.fill(1.0f);
}

void PeakLimiter::process(float* data, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = data + 2 * i;
        const float peak = std::max(std::fabs(frame[0]), std::fabs(frame[1]));
        // NaN or infinity from a broken voice becomes silence, not a blast.
        const bool finite = std::isfinite(frame[0]) && std::isfinite(frame[1]);
        // A hair under the ceiling, so rounding of sample times gain stays below it.
        const float needed = !finite ? 0.0f : peak > m_ceiling ? 0.99999f * m_ceiling / peak : 1.0f;

        while (m_size > 0 && m_minGain[(m_head + m_size - 1) % kWindow] >= needed)
            --m_size;
        const std::size_t tail = (m_head + m_size) % kWindow;
        m_minFrame[tail] = m_frame;
        m_minGain[tail] = needed;
        ++m_size;
        while (m_minFrame[m_head] + kWindow <= m_frame) {
            m_head = (m_head + 1) % kWindow;
            --m_size;
        }
        const float target = m_minGain[m_head];
        m_gain += (target - m_gain) * (target < m_gain ? m_attack : m_release);
        if (target == 1.0f && m_gain > 0.99999f) m_gain = 1.0f;

        const std::size_t slot = m_frame % kWindow;
        const float outLeft = m_delay[2 * slot], outRight = m_delay[2 * slot + 1];
        const float outGain = std::min(m_gain, m_needed[slot]);
        m_delay[2 * slot] = finite ? frame[0] : 0.0f;
        m_delay[2 * slot + 1] = finite ? frame[1] : 0.0f;
        m_needed[slot] = needed;
        frame[0] = outLeft * outGain;
        frame[1] = outRight * outGain;
        ++m_frame;
    }
}

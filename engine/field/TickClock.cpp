// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/TickClock.h"

MidiTime TickClock::next(MidiTime now) {
    MidiTime ideal = now;
    if (m_last) {
        ideal = *m_last + m_period;
        const auto behind = now - ideal;
        if (behind > 4 * m_period || behind < -m_period) {
            ideal = now;
        } else if (behind > m_period / 2) {
            // Skipped ticks: the slot nearest to now.
            const auto skipped = (behind + m_period / 2) / m_period;
            ideal += skipped * m_period;
        }
    }
    m_last = ideal;
    return ideal;
}

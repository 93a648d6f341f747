// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/TickClock.h"

#include <algorithm>

MidiTime TickClock::next(MidiTime now) {
    MidiTime slot = now;
    if (m_last) {
        slot = *m_last + std::chrono::duration_cast<MidiClock::duration>(m_period);
        // A whole period late or more: the timer has let slots go by, and
        // stamping the old slot would keep every later tick behind.
        // Far ahead of its slot (a tick forced between the timer's): the
        // grid starts here too rather than run ahead of the clock.
        if (now - slot >= m_period || slot - now > m_period / 2) slot = now;
    }
    m_last = slot;
    // A timer that fires a little early must not stamp notes ahead of now.
    return std::min(slot, now);
}

MidiTime TickClock::nextDue() const {
    if (!m_last) return MidiClock::now();
    return *m_last + std::chrono::duration_cast<MidiClock::duration>(m_period);
}

void TickClock::setPeriod(std::chrono::nanoseconds period) {
    if (period < std::chrono::milliseconds(10) || period > std::chrono::milliseconds(100)) return;
    m_period = period;
}

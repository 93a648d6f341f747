// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiOutService.h"

#include <chrono>
#include <optional>

// The slots of the field's ticks: the first tick's time plus one period
// after another, whenever the handler happens to run. A late tick keeps the
// slot it was meant for and plays late; it never takes a later slot, or the
// ticks after it would all be stamped ahead of their time. A tick more than
// a period late (the timer skipped, the machine stalled) starts a new grid
// at the moment it runs. The period may follow a sound card's clock.
class TickClock {
public:
    explicit TickClock(std::chrono::nanoseconds period = std::chrono::milliseconds(50))
        : m_period(period) {}

    // The slot of the tick that runs now; never later than now.
    MidiTime next(MidiTime now);
    // When the following tick is due.
    MidiTime nextDue() const;
    // From the next slot on; an absurd period (under 10 ms or over 100 ms)
    // is not taken.
    void setPeriod(std::chrono::nanoseconds period);
    std::chrono::nanoseconds period() const { return m_period; }

private:
    std::chrono::nanoseconds m_period;
    std::optional<MidiTime> m_last;
};

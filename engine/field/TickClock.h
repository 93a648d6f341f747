// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiOutService.h"

#include <chrono>
#include <optional>

// The ideal times of the field's ticks: the first tick's time plus n periods,
// whenever the handler happens to run. A tick that comes more than half a
// period late takes the slot it is nearest to; after a long stall (a suspend)
// the grid starts again from the tick at hand.
class TickClock {
public:
    explicit TickClock(std::chrono::milliseconds period = std::chrono::milliseconds(50))
        : m_period(period) {}

    // The ideal time of the tick that runs now.
    MidiTime next(MidiTime now);

private:
    std::chrono::milliseconds m_period;
    std::optional<MidiTime> m_last;
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/MidiDeviceChoice.h"

#include "engine/midi/MidiOutService.h"

std::optional<std::uint32_t> FindChosenDevice(MidiOutService& service, unsigned count,
                                              const MidiDeviceChoice& choice) {
    if (count == 0) return std::nullopt;
    if (choice.number == 0) return 0u;
    if (choice.name.isEmpty())
        return choice.number < count ? std::optional<std::uint32_t>(choice.number) : std::nullopt;
    // Two devices of one name (twin interfaces): the one at the old number.
    if (choice.number < count && service.deviceKey(choice.number) == choice.name)
        return choice.number;
    for (std::uint32_t index = 1; index < count; ++index)
        if (service.deviceKey(index) == choice.name) return index;
    return std::nullopt;
}

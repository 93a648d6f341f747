// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class MidiOutService;

// The output device the user chose, as the settings keep it: its number in
// the device list and its name (MidiOutService::deviceKey). Numbers move as
// devices come and go; the name finds the device again.
struct MidiDeviceChoice {
    std::uint32_t number = 0;
    QString name; // empty in settings of older versions: the number alone counts

    bool operator==(const MidiDeviceChoice&) const = default;
};

// Where the chosen device is among the first count devices of service, or
// nothing when it is not there. Device 0 is always itself; a named device is
// found by its name, at its old number first; an unnamed one by its number.
std::optional<std::uint32_t> FindChosenDevice(MidiOutService& service, unsigned count,
                                              const MidiDeviceChoice& choice);

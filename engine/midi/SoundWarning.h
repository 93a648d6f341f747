// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class MidiOutService;
class TMidiPort;

// What the user is told once at start when the field will not be heard as
// chosen: the stored device is gone (missingDevice: its number, the port then
// plays through device 0), or device 0 cannot sound (no soundfont, no sound
// output), with the reason and what to do. Empty when all is well.
QString SoundWarningAtStart(MidiOutService& service, const TMidiPort& port,
                            std::optional<std::uint32_t> missingDevice,
                            const QString& settingsPath);

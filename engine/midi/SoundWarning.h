// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiDeviceChoice.h"

#include <QString>
#include <optional>

class MidiOutService;
class TMidiPort;

// What the user is told once at start when the field will not be heard as
// chosen: the stored device is not there (missingDevice; the port then plays
// through device 0 until it is back), or device 0 cannot sound (no
// soundfont, no sound output), with the reason and what to do. Empty when
// all is well.
QString SoundWarningAtStart(MidiOutService& service, const TMidiPort& port,
                            const std::optional<MidiDeviceChoice>& missingDevice,
                            const QString& settingsPath);

// What the user is told when the device that played went away (a cable
// pulled, its MIDI server stopped) and device 0 took over.
QString SoundWarningDeviceLost(MidiOutService& service, const QString& device);

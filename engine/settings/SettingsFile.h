// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiDeviceChoice.h"
#include "engine/settings/SettingsRecord.h"

#include <QString>
#include <cstdint>
#include <optional>

class IniFile;
class MidiOutService;

// The program's version number for the settings stamp: the product version's
// major, minor and patch printed one after the other and read as one number
// (1.1.0 gives 110); 0 when the digits do not fit a 32-bit integer.
std::int32_t VersionNumber();
std::int32_t VersionNumberOf(unsigned major, unsigned minor, unsigned patch);

// What the start-up reading leaves for the main window to do.
struct SettingsReadResult {
    TColor background = 0; // the window's colour, set once [Color] is read
    // The message of a background picture that exists but does not decode;
    // every later setting has been read all the same. Empty when none.
    QString pictureError;
    // Why the settings file itself was passed over (a pipe, a device, too
    // large to be one); every setting then has its default. Empty when none.
    QString settingsError;
    // The stored device when it is not there; the port was then opened on
    // device 0 and awaits it.
    std::optional<MidiDeviceChoice> missingDevice;
};

// Fills prm from the settings file at start-up, stamps the version, creates
// prm.bgBitmap and loads the background picture into it, and constructs,
// opens and programs midiPort over service. Relative picture paths are taken
// inside homeFolder (HomeFolder() when not given). Never fails: what cannot
// be read takes its default.
SettingsReadResult ReadSettings(IniFile& ini, MidiOutService& service);
SettingsReadResult ReadSettings(IniFile& ini, MidiOutService& service, const QString& homeFolder);

// The soundfont named by [Sound] SoundFont=, a relative path taken inside
// homeFolder; empty when none is named.
QString ChosenSoundFont(IniFile& ini, const QString& homeFolder);

// Writes prm and midiPort's device and programs into the settings file when
// the main window closes. Version and Debug are left as they stand.
void WriteSettings(IniFile& ini);

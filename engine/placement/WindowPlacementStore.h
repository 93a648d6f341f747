// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

// Where each window opens: LoadMainFormPos, SaveMainFormPos, LoadFormPos,
// SaveFormPos and KeepFormOnScreen, the functions once kept in Usr_env.

class IniFile;
class PlacedWindow;
class PlacementScreen;

// Window placements kept in the [General] section of the settings file, so
// every window reopens where the user left it. The main window's keys are
// fixed (WinLeft ... WinState); any other window's keys start with its
// component name.

// Sets the main window's size, position and state. A default size of 0 or
// less keeps the window's current size.
void LoadMainFormPos(PlacedWindow& form, IniFile& ini, const PlacementScreen& screen, int defWidth,
                     int defHeight);
// Writes the main window's state and normal bounds; leaves it in the normal state.
void SaveMainFormPos(PlacedWindow& form, IniFile& ini);

// Sets another window's position, and its size when it has no dialog frame
// and both default sizes are above 0.
void LoadFormPos(PlacedWindow& form, IniFile& ini, const PlacementScreen& screen, int defLeft,
                 int defTop, int defWidth, int defHeight);
// Writes another window's position, and its size when it has no dialog frame.
void SaveFormPos(PlacedWindow& form, IniFile& ini);

// Applies the keep-on-screen rule of the load operations to a window's
// current normal bounds, its frame as now known included.
void KeepFormOnScreen(PlacedWindow& form, const PlacementScreen& screen);

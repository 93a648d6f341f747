// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>

// The folder that holds the settings file, the layout dialogs' first folder
// and the base of relative picture paths: the executable's own folder for a
// portable install, otherwise the per-user configuration folder.
// Both functions return the folder with a trailing '/'.
QString HomeFolder();
// The rule itself: exeDir is the executable's folder, settingsName the
// settings file's name, configHome $XDG_CONFIG_HOME or empty.
QString homeFolderFor(const QString& exeDir, const QString& settingsName, const QString& configHome,
                      const QString& userHome);

// The executable's base name with the extension ".INI", in HomeFolder().
QString SettingsFilePath();

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>

class IniFile;

// The two kinds of recording, each with a save folder of its own.
enum class RecordingKind { Midi, Audio };

// Where a recording save dialog opens: the folder last recorded to for that
// kind, else the user's music folder, else the home folder. The program's own
// folder is no place for recordings. The settings gain the remembered folder
// only once a recording has started.
QString recordingFolder(const IniFile& settings, RecordingKind kind);
// The rule itself: the first of remembered and music that is an existing
// folder given by an absolute path, else home.
QString recordingFolderFor(const QString& remembered, const QString& music, const QString& home);
// Keeps the folder of the file a recording of that kind has just started in.
void rememberRecordingFolder(IniFile& settings, RecordingKind kind, const QString& file);

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>

class IniFile;

// A layout: where each of the 49 pieces stands, how it is turned and whether
// it is awake, one section per piece ("Piece0" to "Piece48"). The settings
// file carries the last layout; layout files carry the user's own.

// Places every piece from the file; a missing or unreadable key takes the
// default grid's value, unturned and awake.
void LoadPiecePos(IniFile& ini);
// Writes the four keys of every piece, leaving the rest of the file as it is.
void SavePiecePos(IniFile& ini);

// The load layout command's reading of the file the user chose. A file that
// is passed over (not a regular file, too large) or holds no Piece section
// at all is no layout: the pieces stay where they are, and the message
// returned says why. Empty when the layout was loaded.
QString LoadLayoutFile(const QString& path);

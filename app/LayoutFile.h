#pragma once

class IniFile;

// A layout: where each of the 49 pieces stands, how it is turned and whether
// it is awake, one section per piece ("Piece0" to "Piece48"). The settings
// file carries the last layout; layout files carry the user's own.

// Places every piece from the file; a missing or unreadable key takes the
// default grid's value, unturned and awake.
void LoadPiecePos(IniFile& ini);
// Writes the four keys of every piece, leaving the rest of the file as it is.
void SavePiecePos(IniFile& ini);

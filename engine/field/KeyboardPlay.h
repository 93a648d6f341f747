// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <cstdint>

class Piece;

// Playing a piece from the keyboard. Each key stands for a mouse gesture on
// the piece's body and is carried out as that gesture, through the body's own
// mouse handlers, so the keyboard can do neither more nor less than the mouse.

enum class BodyClick {
    Excite, // Ctrl+left click: excite, and wake a sleeping piece
    Turn,   // Shift+click: turn by an eighth clockwise
    Quiet,  // Ctrl+right click: every level and rate to 0
    Sleep,  // Shift+Ctrl+click: fall asleep
    Menu,   // plain right press: the context menu
};

// Presses the body at its centre and releases it, as a click there would; a
// release snaps the piece when snapping is on. The menu is a press alone: the
// menu it opens takes the release.
void ClickBody(Piece& piece, BodyClick click);

// Drags the body by (dx, dy) and lets it go, as a mouse drag would: moved in
// steps short enough for the drag to follow, then snapped when snapping is on.
void DragBody(Piece& piece, std::int32_t dx, std::int32_t dy);

enum class Heading { Left, Right, Up, Down };

// The piece nearest to piece `from` in that heading, by the distance between
// body centres: among the pieces within 45 degrees either side of it first,
// then among all that lie further that way. Pieces on the same centre are
// never next to each other. -1 when there is none, or `from` is no piece.
int NearestPiece(int from, Heading heading);

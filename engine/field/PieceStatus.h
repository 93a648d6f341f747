// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

class Piece;

// How a piece is told to someone who cannot see it.

enum class PieceStatus {
    Playing, // awake, with a satellite rising
    Quiet,   // awake, every satellite at rest
    Asleep,
};

PieceStatus StatusOf(const Piece& piece);

// The piece's turn in whole degrees clockwise, 0 to 359 (0 for an angle that
// is not a number).
int FacingDegrees(const Piece& piece);

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/PieceStatus.h"

#include "engine/field/Piece.h"

#include <cmath>

PieceStatus StatusOf(const Piece& piece) {
    if (!piece.Enabled) return PieceStatus::Asleep;
    for (int i = 0; i < 4; ++i)
        if (piece.rate[i] > 0 || piece.level[i] > 0) return PieceStatus::Playing;
    return PieceStatus::Quiet;
}

int FacingDegrees(const Piece& piece) {
    if (!std::isfinite(piece.Angle)) return 0;
    double degrees = std::fmod(piece.Angle * 180.0 / 3.141592653589793, 360.0);
    if (degrees < 0) degrees += 360.0;
    const int whole = static_cast<int>(std::lround(degrees));
    return whole == 360 ? 0 : whole;
}

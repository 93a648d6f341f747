// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/field/Piece.h"

#include <array>
#include <memory>

inline constexpr int kPieceCount = 49;

// The 49 pieces; the index is a piece's identity (layout section, update and
// propagation order, stacking order). Empty until the main window makes them.
extern std::array<std::unique_ptr<Piece>, kPieceCount> pieces;

// Constructs the pieces in index order, so their shapes stack in that order.
void CreatePieces(ShapeOwner& owner, PopupMenu* popup);
void DestroyPieces();

// The default layout: a 7 x 7 grid, 80 pixels apart, the first body at (40, 40).
inline constexpr std::int32_t DefaultXpos(int index) {
    return (index % 7) * 80 + 40;
}
inline constexpr std::int32_t DefaultYpos(int index) {
    return (index / 7) * 80 + 40;
}

// Every piece to its default place, unturned; sleep, levels and rates stay.
void PlaceOnDefaultGrid();

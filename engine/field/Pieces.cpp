// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/Pieces.h"

std::array<std::unique_ptr<Piece>, kPieceCount> pieces;

void CreatePieces(ShapeOwner& owner, PopupMenu* popup) {
    for (auto& piece : pieces) {
        piece = std::make_unique<Piece>(owner);
        piece->popup = popup;
    }
}

void DestroyPieces() {
    for (auto& piece : pieces)
        piece.reset();
}

void PlaceOnDefaultGrid() {
    for (int i = 0; i < kPieceCount; ++i)
        pieces[i]->SetPosition(DefaultXpos(i), DefaultYpos(i), 0.0);
}

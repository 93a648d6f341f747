// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/KeyboardPlay.h"

#include "engine/field/Pieces.h"

#include <Qt>
#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {
constexpr int kCentre = Piece::kBodySize / 2;
// A drag follows moves shorter than 200 pixels on each axis; longer keyboard
// moves go in several such steps, as a hand on the mouse would.
constexpr std::int64_t kDragStep = 100;

std::int64_t centreX(const Piece& p) {
    return std::int64_t{p.Xpos} + kCentre;
}
std::int64_t centreY(const Piece& p) {
    return std::int64_t{p.Ypos} + kCentre;
}
} // namespace

void ClickBody(Piece& piece, BodyClick click) {
    Qt::MouseButton button = Qt::LeftButton;
    Qt::KeyboardModifiers shift = Qt::NoModifier;
    switch (click) {
    case BodyClick::Excite:
        shift = Qt::ControlModifier;
        break;
    case BodyClick::Turn:
        shift = Qt::ShiftModifier;
        break;
    case BodyClick::Quiet:
        button = Qt::RightButton;
        shift = Qt::ControlModifier;
        break;
    case BodyClick::Sleep:
        shift = Qt::ShiftModifier | Qt::ControlModifier;
        break;
    case BodyClick::Menu:
        piece.BodyMouseDown(Qt::RightButton, Qt::NoModifier, kCentre, kCentre);
        return;
    }
    piece.BodyMouseDown(button, shift, kCentre, kCentre);
    piece.BodyMouseUp(button, shift, kCentre, kCentre);
}

void DragBody(Piece& piece, std::int32_t dx, std::int32_t dy) {
    piece.BodyMouseDown(Qt::LeftButton, Qt::NoModifier, kCentre, kCentre);
    std::int64_t restX = dx;
    std::int64_t restY = dy;
    while (restX != 0 || restY != 0) {
        const std::int64_t stepX = std::clamp(restX, -kDragStep, kDragStep);
        const std::int64_t stepY = std::clamp(restY, -kDragStep, kDragStep);
        const std::int32_t beforeX = piece.Xpos;
        const std::int32_t beforeY = piece.Ypos;
        piece.BodyMouseMove(Qt::NoModifier, static_cast<int>(kCentre + stepX),
                            static_cast<int>(kCentre + stepY));
        // At the edge of the coordinates the piece stops; so does the drag.
        if (piece.Xpos == beforeX && piece.Ypos == beforeY) break;
        restX -= stepX;
        restY -= stepY;
    }
    piece.BodyMouseUp(Qt::LeftButton, Qt::NoModifier, kCentre, kCentre);
}

int NearestPiece(int from, Heading heading) {
    if (from < 0 || from >= kPieceCount || !pieces[from]) return -1;
    const Piece& origin = *pieces[from];
    int bestInCone = -1;
    int bestAhead = -1;
    double coneDistance = std::numeric_limits<double>::infinity();
    double aheadDistance = std::numeric_limits<double>::infinity();
    for (int i = 0; i < kPieceCount; ++i) {
        if (i == from || !pieces[i]) continue;
        const std::int64_t dx = centreX(*pieces[i]) - centreX(origin);
        const std::int64_t dy = centreY(*pieces[i]) - centreY(origin);
        // Along: how far it lies in the heading; across: how far to the side.
        std::int64_t along = 0;
        std::int64_t across = 0;
        switch (heading) {
        case Heading::Right:
            along = dx;
            across = dy;
            break;
        case Heading::Left:
            along = -dx;
            across = dy;
            break;
        case Heading::Down:
            along = dy;
            across = dx;
            break;
        case Heading::Up:
            along = -dy;
            across = dx;
            break;
        }
        if (along <= 0) continue;
        // Squared, in doubles: exact on any field a window can show, and
        // no overflow for pieces dragged to the ends of the coordinates.
        const double distance = double(along) * double(along) + double(across) * double(across);
        if (distance < aheadDistance) {
            aheadDistance = distance;
            bestAhead = i;
        }
        if (std::llabs(across) <= along && distance < coneDistance) {
            coneDistance = distance;
            bestInCone = i;
        }
    }
    return bestInCone >= 0 ? bestInCone : bestAhead;
}

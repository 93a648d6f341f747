// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/Piece.h"

#include <cmath>
#include <cstdlib>

namespace {
constexpr int kJumpLimit = 200; // a drag ignores pointer jumps this large

// The shift that moves v onto the grid of spacing g, a remainder of half the
// spacing or more going up; negative positions always go up toward zero.
std::int64_t snapShift(std::int32_t v, std::int32_t g) {
    const std::int32_t r = v % g;
    const std::int32_t h = g / 2;
    return r < h ? -std::int64_t{r} : std::int64_t{g} - r;
}

std::int32_t saturate(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}
} // namespace

int ModifierCursor(Qt::KeyboardModifiers shift) {
    const bool s = shift.testFlag(Qt::ShiftModifier);
    const bool c = shift.testFlag(Qt::ControlModifier);
    if (s && c) return crSleepPiece;
    if (s) return crTurnPiece;
    if (c) return crChangePiece;
    return crDefault;
}

void Piece::BodyMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    const bool s = shift.testFlag(Qt::ShiftModifier);
    const bool c = shift.testFlag(Qt::ControlModifier);
    if (s && c) {
        Enabled = false;
    } else if (s) {
        Angle = std::fmod(Angle + 0.7853981633974483, 6.283185307179586);
        SetPosition(Xpos, Ypos, Angle);
    } else if (c) {
        if (button == Qt::LeftButton) {
            for (double& r : rate)
                r += prm.ActiveLv;
            Enabled = true;
        } else if (button == Qt::RightButton) {
            level.fill(0.0);
            rate.fill(0.0);
        }
    } else if (button == Qt::LeftButton) {
        dragging = true;
        owner->setAppCursor(crMovePiece);
        pressX = x;
        pressY = y;
    } else if (button == Qt::RightButton && popup) {
        popup->PopupAtPointer();
    }
}

void Piece::BodyMouseMove(Qt::KeyboardModifiers, int x, int y) {
    if (!dragging) return;
    const std::int64_t dx = std::int64_t{x} - pressX;
    const std::int64_t dy = std::int64_t{y} - pressY;
    if (std::llabs(dx) >= kJumpLimit || std::llabs(dy) >= kJumpLimit) return;
    SetPosition(saturate(Xpos + dx), saturate(Ypos + dy), Angle);
}

void Piece::BodyMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    // A grid of no width (only a hand-edited file brings one) cannot be
    // snapped to: the piece stays where it was dropped.
    if (prm.SnapGrid && prm.GridSize > 0) {
        const std::int32_t g = prm.GridSize;
        SetPosition(saturate(Xpos + snapShift(Xpos, g)), saturate(Ypos + snapShift(Ypos, g)),
                    Angle);
    }
    dragging = false;
    owner->setAppCursor(crDefault);
}

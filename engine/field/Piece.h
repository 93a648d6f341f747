// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/field/PopupMenu.h"
#include "engine/field/Shape.h"
#include "engine/settings/SettingsRecord.h"

#include <Qt>
#include <array>
#include <cstdint>

// One piece of the field: a body with four satellites at the diagonals, each
// satellite with an excitation level rising by its rate.
class Piece {
public:
    static constexpr int kBodySize = 24;
    static constexpr int kSatelliteSize = 8;

    ShapeOwner* owner;
    PopupMenu* popup = nullptr;
    Shape* body;
    std::array<Shape*, 4> satellites{};
    std::int32_t Xpos = 100;
    std::int32_t Ypos = 100;
    double Angle = 0.0;
    std::int32_t channel = 0;
    std::int32_t pitch = 0;
    std::int32_t velocity = 0;
    std::int32_t noteTicks = 0;
    std::array<double, 4> level{};
    std::array<double, 4> rate{};
    std::array<bool, 4> fired{};
    std::int32_t pressX = 0;
    std::int32_t pressY = 0;
    bool dragging = false;
    bool Enabled = true;

    explicit Piece(ShapeOwner& owner);
    Piece(const Piece&) = delete;
    Piece& operator=(const Piece&) = delete;

    void SetPosition(std::int32_t x, std::int32_t y, double angle);
    void Update();
    TColor BlendColor(double level) const;
    void AddRates(std::int32_t mask, double x);

    // Mouse handlers of the body; x and y are in the body's own coordinates.
    void BodyMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void BodyMouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void BodyMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
};

// The cursor that announces what a click on a body will do with these keys held.
int ModifierCursor(Qt::KeyboardModifiers shift);

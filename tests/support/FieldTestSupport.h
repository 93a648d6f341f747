// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/field/Shape.h"
#include "engine/midi/RecordingMidiService.h"

#include <deque>
#include <memory>

// A window stand-in that keeps shapes in creation order and reports a fixed width.
class PlainShapeOwner : public ShapeOwner {
public:
    explicit PlainShapeOwner(int width = 597) : width(width) {}
    Shape& createShape() override { return shapes.emplace_back(); }
    int clientWidth() const override { return width; }
    void setAppCursor(int number) override { cursor = number; }

    std::deque<Shape> shapes;
    int width;
    int cursor = crDefault;
};

// The settings the program starts with on a fresh machine.
void applyDefaultSettings();

// Everything a field test needs: default settings, the 49 pieces on the
// default grid, an open port over a recording device and a known random
// sequence. Tears the globals down again on destruction.
class FieldFixture {
public:
    FieldFixture();
    ~FieldFixture();

    PlainShapeOwner owner;
    RecordingMidiService service;
};

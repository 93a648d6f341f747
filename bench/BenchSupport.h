// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/field/Shape.h"
#include "engine/midi/RecordingMidiService.h"

#include <deque>

// A window stand-in for benchmarks: shapes kept in creation order, a fixed width.
class BenchOwner : public ShapeOwner {
public:
    Shape& createShape() override { return shapes.emplace_back(); }
    int clientWidth() const override { return 600; }
    void setAppCursor(int) override {}
    std::deque<Shape> shapes;
};

// A MIDI device that plays into nothing, so a long run does not grow.
class NullMidiService : public RecordingMidiService {
public:
    int send(MidiHandle, std::uint32_t, MidiTime) override { return 0; }
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/settings/SettingsRecord.h"

#include <QString>

// One circle of a piece (its body or a satellite), kept by the main window in
// creation order, which is its stacking order. Setters mark the shape dirty
// only on a real change, so the field view repaints just what moved or recoloured.
struct Shape {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    TColor pen = 0;
    TColor brush = 0;
    QString hint;
    bool dirty = true;

    void setBounds(int l, int t, int w, int h) {
        if (l != left || t != top || w != width || h != height) {
            left = l;
            top = t;
            width = w;
            height = h;
            dirty = true;
        }
    }
    void setPlace(int l, int t) { setBounds(l, t, width, height); }
    void setPen(TColor c) {
        if (c != pen) {
            pen = c;
            dirty = true;
        }
    }
    void setBrush(TColor c) {
        if (c != brush) {
            brush = c;
            dirty = true;
        }
    }
    void setHint(const QString& text) {
        if (text != hint) {
            hint = text;
            dirty = true;
        }
    }
};

// Numbers of the piece cursors in the window's cursor table; 0 is the arrow.
enum PieceCursor : int {
    crDefault = 0,
    crMovePiece = 5,
    crTurnPiece = 6,
    crChangePiece = 7,
    crSleepPiece = 8,
};

// What a piece needs of the window it lives on: new shapes, made in stacking
// order and owned by the window, the width of the client area (for pan), and
// the application-wide cursor.
class ShapeOwner {
public:
    virtual ~ShapeOwner() = default;
    virtual Shape& createShape() = 0;
    virtual int clientWidth() const = 0;
    // Shows cursor number (crDefault lets every control show its own again).
    virtual void setAppCursor(int number) = 0;
};

#pragma once

#include "app/Global.h"

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

// What a piece needs of the window it lives on: new shapes, made in stacking
// order and owned by the window, and the width of the client area (for pan).
class ShapeOwner {
public:
    virtual ~ShapeOwner() = default;
    virtual Shape& createShape() = 0;
    virtual int clientWidth() const = 0;
};

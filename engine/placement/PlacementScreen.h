// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QRect>
#include <vector>

// What the placement store needs of the display: the primary screen's full
// size in pixels, how many monitors there are and where they lie.
class PlacementScreen {
public:
    // One monitor: its whole area and the part that windows may fill (the
    // whole area less panels and docks).
    struct Monitor {
        QRect full;
        QRect available;
    };

    virtual ~PlacementScreen() = default;

    virtual int screenWidth() const = 0;
    virtual int screenHeight() const = 0;
    virtual int monitorCount() const = 0;
    // The primary monitor first. By default monitorCount() monitors of the
    // primary's size, side by side from the primary rightwards.
    virtual std::vector<Monitor> monitors() const {
        std::vector<Monitor> all;
        for (int i = 0; i < monitorCount(); ++i) {
            const QRect area(i * screenWidth(), 0, screenWidth(), screenHeight());
            all.push_back({area, area});
        }
        return all;
    }
};

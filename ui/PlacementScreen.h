#pragma once

// What the placement store needs of the display: the primary screen's full
// size in pixels and how many monitors there are.
class PlacementScreen {
public:
    virtual ~PlacementScreen() = default;

    virtual int screenWidth() const = 0;
    virtual int screenHeight() const = 0;
    virtual int monitorCount() const = 0;
};

#pragma once

// The menu a plain right-click on a body opens, shown at a screen point.
class PopupMenu {
public:
    virtual ~PopupMenu() = default;
    virtual void Popup(int screenX, int screenY) = 0;
};

#pragma once

// The menu a plain right-click on a body or on the empty field opens, shown
// where the mouse pointer is now.
class PopupMenu {
public:
    virtual ~PopupMenu() = default;
    virtual void PopupAtPointer() = 0;
};

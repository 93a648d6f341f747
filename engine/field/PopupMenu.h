// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

// The menu a plain right-click on a body or on the empty field opens, shown
// where the mouse pointer is now.
class PopupMenu {
public:
    virtual ~PopupMenu() = default;
    virtual void PopupAtPointer() = 0;
};

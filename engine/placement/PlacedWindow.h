// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QMargins>
#include <QString>

// What the placement store needs of a window: its bounds in the normal
// (neither minimised nor maximised) state, outer frame included, its state
// and how it is framed.
class PlacedWindow {
public:
    enum State { Normal = 0, Minimised = 1, Maximised = 2 };

    virtual ~PlacedWindow() = default;

    virtual int normalLeft() const = 0;
    virtual int normalTop() const = 0;
    virtual int normalWidth() const = 0;
    virtual int normalHeight() const = 0;
    virtual void setNormalGeometry(int left, int top, int width, int height) = 0;

    virtual State windowState() const = 0;
    virtual void setWindowState(State state) = 0;

    // A fixed dialog frame: the size is the window's own and is not stored.
    virtual bool hasDialogFrame() const = 0;
    // The prefix of the window's keys ("OptionDlg" gives OptionDlgLeft ...).
    virtual QString componentName() const = 0;

    // The frame around the client area as last measured in the normal state
    // (title bar and borders); zero while it is not known.
    virtual QMargins frameMargins() const { return {}; }
    // Asks for the keep-on-screen rule to be applied again once the window
    // has been framed and its frame is known.
    virtual void keepOnScreenOnceFramed() {}
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/placement/PlacedWindow.h"
#include "engine/placement/PlacementScreen.h"

#include <QRect>

class NormalBoundsTracker;
class QWidget;

// The placement store's view of a real top-level widget and of the display
// it opens on. Bounds are the frame's position and the client area's size:
// the frame's size is unknown until the window manager has framed the
// window, and a stored size that included it would grow by the frame at
// every start. Outside the normal state the bounds are those the window
// last rested at (see NormalBoundsTracker).
class WidgetPlacement : public PlacedWindow, public PlacementScreen {
public:
    explicit WidgetPlacement(QWidget& widget);

    int normalLeft() const override { return normalBounds().x(); }
    int normalTop() const override { return normalBounds().y(); }
    int normalWidth() const override { return normalBounds().width(); }
    int normalHeight() const override { return normalBounds().height(); }
    void setNormalGeometry(int left, int top, int width, int height) override;

    State windowState() const override;
    void setWindowState(State state) override;

    // Qt has no dialog frame style: a dialog window or a fixed size stands for it.
    bool hasDialogFrame() const override;
    // The object name ("OptionDlg"), else the class name.
    QString componentName() const override;
    QMargins frameMargins() const override;
    void keepOnScreenOnceFramed() override;

    int screenWidth() const override;
    int screenHeight() const override;
    int monitorCount() const override;
    std::vector<Monitor> monitors() const override;

private:
    QRect normalBounds() const;

    QWidget& m_widget;
    NormalBoundsTracker& m_tracker;
};

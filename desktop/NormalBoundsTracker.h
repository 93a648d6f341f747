// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QTimer>
#include <functional>
#include <optional>

class QWidget;

// Follows a top-level window and remembers its bounds (the frame's top-left
// corner and the client area's size) and its frame whenever it rests in the
// normal state. Qt's own normal geometry cannot serve: a window manager
// resizes the window to maximise it before it reports the new state, and
// the frame of a maximised or full-screen window is thinner or gone.
class NormalBoundsTracker : public QObject {
    Q_OBJECT
public:
    // The tracker of the widget, made on first use and owned by the widget.
    static NormalBoundsTracker& of(QWidget& widget);

    // The last bounds seen in the normal state, or the ones last asked for.
    std::optional<QRect> bounds() const { return m_bounds; }
    // The frame measured in the normal state; zero until the window is framed.
    QMargins frame() const { return m_frame; }
    // What the program itself sets is taken as the normal bounds at once.
    void setBounds(const QRect& bounds) { m_bounds = bounds; }
    // The window was asked back to the normal state: until it rests there,
    // these are its bounds.
    void restoreTo(const QRect& bounds) {
        m_bounds = bounds;
        m_restoring = true;
    }
    bool restoring() const { return m_restoring; }
    // Once the frame is first known, keep is called once (to bring the
    // window on screen again, now that its outer size is known).
    void keepOnScreenOnceFramed(std::function<void()> keep) { m_keepOnScreen = std::move(keep); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit NormalBoundsTracker(QWidget& widget);
    void note();
    bool resting() const;

    QWidget& m_widget;
    std::optional<QRect> m_bounds;
    QMargins m_frame;
    std::function<void()> m_keepOnScreen;
    bool m_restoring = false;
    // A size change that a state change follows within this time was the
    // window manager's maximise, not the user's.
    QTimer m_settle;
};

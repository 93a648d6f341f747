// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/WidgetPlacement.h"

#include "desktop/NormalBoundsTracker.h"
#include "engine/placement/WindowPlacementStore.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

constexpr Qt::WindowStates kNotNormal =
    Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

} // namespace

WidgetPlacement::WidgetPlacement(QWidget& widget)
    : m_widget(widget), m_tracker(NormalBoundsTracker::of(widget)) {}

QRect WidgetPlacement::normalBounds() const {
    // A window resting in the normal state is measured as it stands; in any
    // other state, or just asked to leave it, the window manager has yet to
    // give it back its bounds.
    const bool normal = !(m_widget.windowState() & kNotNormal);
    if (!normal || !m_widget.isVisible() || m_tracker.restoring()) {
        if (const auto known = m_tracker.bounds()) return *known;
    }
    const QRect client = m_widget.geometry();
    const QPoint margin = client.topLeft() - m_widget.frameGeometry().topLeft();
    return QRect(client.topLeft() - margin, client.size());
}

void WidgetPlacement::setNormalGeometry(int left, int top, int width, int height) {
    // Absurd stored values are kept within what a widget can hold.
    const auto coordinate = [](int v) { return std::clamp(v, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); };
    const auto size = [](int v) { return std::clamp(v, 1, QWIDGETSIZE_MAX); };
    const QRect bounds(coordinate(left), coordinate(top), size(width), size(height));
    m_tracker.setBounds(bounds);
    if (m_widget.windowState() & kNotNormal) return; // kept as the bounds to return to
    m_widget.resize(bounds.size());
    m_widget.move(bounds.topLeft()); // a window's pos is its frame's
}

PlacedWindow::State WidgetPlacement::windowState() const {
    const Qt::WindowStates states = m_widget.windowState();
    if (states & Qt::WindowMinimized) return Minimised;
    // Maximised without a title bar is shown full screen.
    if (states & (Qt::WindowMaximized | Qt::WindowFullScreen)) return Maximised;
    return Normal;
}

void WidgetPlacement::setWindowState(State state) {
    const Qt::WindowStates states = m_widget.windowState();
    switch (state) {
    case Normal:
        if (states & kNotNormal) {
            const QRect bounds = normalBounds();
            m_widget.setWindowState(states & ~kNotNormal);
            m_tracker.restoreTo(bounds);
        }
        break;
    case Minimised:
        m_widget.setWindowState(states | Qt::WindowMinimized);
        break;
    case Maximised:
        m_widget.setWindowState((states & ~kNotNormal) | Qt::WindowMaximized);
        break;
    }
}

bool WidgetPlacement::hasDialogFrame() const {
    return m_widget.windowType() == Qt::Dialog || m_widget.minimumSize() == m_widget.maximumSize();
}

QString WidgetPlacement::componentName() const {
    const QString name = m_widget.objectName();
    return name.isEmpty() ? QString::fromLatin1(m_widget.metaObject()->className()) : name;
}

QMargins WidgetPlacement::frameMargins() const {
    const QMargins own = m_tracker.frame();
    if (!own.isNull()) return own;
    // Not framed yet: another window of the program is framed alike.
    for (QWidget* other : QApplication::topLevelWidgets())
        if (other != &m_widget && other->isVisible())
            if (const auto* tracker =
                    other->findChild<NormalBoundsTracker*>(QString(), Qt::FindDirectChildrenOnly);
                tracker && !tracker->frame().isNull())
                return tracker->frame();
    return {};
}

void WidgetPlacement::keepOnScreenOnceFramed() {
    QWidget* widget = &m_widget;
    m_tracker.keepOnScreenOnceFramed([widget] {
        WidgetPlacement placement(*widget);
        KeepFormOnScreen(placement, placement);
    });
}

std::vector<PlacementScreen::Monitor> WidgetPlacement::monitors() const {
    std::vector<Monitor> all;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) all.push_back({primary->geometry(), primary->availableGeometry()});
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary) all.push_back({screen->geometry(), screen->availableGeometry()});
    return all;
}

int WidgetPlacement::screenWidth() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}

int WidgetPlacement::screenHeight() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

int WidgetPlacement::monitorCount() const {
    return int(QGuiApplication::screens().size());
}

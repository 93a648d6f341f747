// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/NormalBoundsTracker.h"

#include <QEvent>
#include <QWidget>

#include <utility>

namespace {
constexpr int kSettleMs = 150;
} // namespace

NormalBoundsTracker& NormalBoundsTracker::of(QWidget& widget) {
    if (auto* found = widget.findChild<NormalBoundsTracker*>(QString(), Qt::FindDirectChildrenOnly))
        return *found;
    return *new NormalBoundsTracker(widget);
}

NormalBoundsTracker::NormalBoundsTracker(QWidget& widget) : QObject(&widget), m_widget(widget) {
    setObjectName(QStringLiteral("NormalBoundsTracker"));
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &NormalBoundsTracker::note);
    widget.installEventFilter(this);
}

bool NormalBoundsTracker::resting() const {
    return m_widget.isVisible() &&
           !(m_widget.windowState() &
             (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

bool NormalBoundsTracker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_widget) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
            if (resting()) m_settle.start();
            break;
        case QEvent::WindowStateChange:
            // The size changes just before were the new state's, not the user's.
            if (!resting())
                m_settle.stop();
            else
                m_settle.start();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void NormalBoundsTracker::note() {
    if (!resting()) return;
    m_restoring = false;
    const QRect client = m_widget.geometry();
    const QRect outer = m_widget.frameGeometry();
    const QMargins frame(client.left() - outer.left(), client.top() - outer.top(),
                         outer.right() - client.right(), outer.bottom() - client.bottom());
    const bool framedNow = m_frame.isNull() && !frame.isNull();
    m_frame = frame;
    m_bounds = QRect(outer.topLeft(), client.size());
    if (framedNow && m_keepOnScreen) std::exchange(m_keepOnScreen, nullptr)();
}

#include "ui/WidgetPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

constexpr Qt::WindowStates kNotNormal =
    Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

} // namespace

QRect WidgetPlacement::normalBounds() const {
    if (m_restored) return *m_restored;
    QRect client = m_widget.normalGeometry();
    if (client.isEmpty()) client = m_widget.geometry();
    const QPoint margin = m_widget.geometry().topLeft() - m_widget.frameGeometry().topLeft();
    return QRect(client.topLeft() - margin, client.size());
}

void WidgetPlacement::setNormalGeometry(int left, int top, int width, int height) {
    m_restored.reset();
    // Absurd stored values are kept within what a widget can hold.
    const auto coordinate = [](int v) { return std::clamp(v, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); };
    const auto size = [](int v) { return std::clamp(v, 1, QWIDGETSIZE_MAX); };
    m_widget.resize(size(width), size(height));
    m_widget.move(coordinate(left), coordinate(top)); // a window's pos is its frame's
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
            m_restored = bounds;
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

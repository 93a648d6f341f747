#pragma once

#include "ui/PlacedWindow.h"
#include "ui/PlacementScreen.h"

#include <QRect>
#include <optional>

class QWidget;

// The placement store's view of a real top-level widget and of the display
// it opens on. Bounds are the outer frame's; until the window manager has
// framed the window, the frame adds nothing.
class WidgetPlacement : public PlacedWindow, public PlacementScreen {
public:
    explicit WidgetPlacement(QWidget& widget) : m_widget(widget) {}

    int normalLeft() const override { return normalFrame().x(); }
    int normalTop() const override { return normalFrame().y(); }
    int normalWidth() const override { return normalFrame().width(); }
    int normalHeight() const override { return normalFrame().height(); }
    void setNormalGeometry(int left, int top, int width, int height) override;

    State windowState() const override;
    void setWindowState(State state) override;

    // Qt has no dialog frame style: a dialog window or a fixed size stands for it.
    bool hasDialogFrame() const override;
    // The object name ("OptionDlg"), else the class name.
    QString componentName() const override;

    int screenWidth() const override;
    int screenHeight() const override;
    int monitorCount() const override;

private:
    QRect normalFrame() const;

    QWidget& m_widget;
    // The normal bounds noted when the window leaves the maximised or
    // minimised state: the window manager applies the change later, and until
    // then Qt reports the old geometry as the normal one.
    std::optional<QRect> m_restored;
};

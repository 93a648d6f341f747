// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/field/Shape.h"

#include <QHash>
#include <QPixmap>
#include <QWidget>
#include <deque>
#include <vector>

class Piece;

// The main window's client area: the background colour and picture, then the
// pieces' shapes in stacking order. Only shapes whose colour or place changed
// are repainted; a press on a body and everything up to its release goes to
// that body's piece.
class FieldView : public QWidget {
    Q_OBJECT
public:
    explicit FieldView(QWidget* parent = nullptr);

    Shape& createShape();
    const std::deque<Shape>& shapes() const { return m_shapes; }

    // Schedules a repaint of every shape that changed since the last call.
    void refresh();
    // Forgets the scaled background so the next paint uses the current picture.
    void pictureChanged();

    // The topmost shape under a point of the view, or -1.
    int shapeAt(QPoint pos) const;

    // Counts of the last full paint, for checking what was drawn.
    int lastPictureDraws() const { return m_pictureDraws; }
    // The size of what the background is drawn from: never more than the view.
    QSize pictureCacheSize() const { return m_cache.size(); }

signals:
    // A press where no shape lies.
    void backgroundPressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    const QPixmap& sprite(const Shape& shape);
    Piece* pieceOfBody(const Shape& shape) const;
    void paintPicture(class QPainter& painter, const QRect& area);

    std::deque<Shape> m_shapes;
    std::vector<QRect> m_painted; // where each shape was last drawn
    QHash<quint64, QPixmap> m_sprites;
    Piece* m_captured = nullptr;
    // The picture as drawn, no larger than the view: scaled to it when
    // stretched, else the picture's part that a tile shows. A photo of 100
    // megapixels then costs no more to paint than a small picture.
    QPixmap m_cache;
    qint64 m_pictureKey = 0;
    bool m_cacheStretched = false;
    // A picture larger than the screen, scaled down to it once, so that
    // stretching it anew at each size change stays quick.
    QImage m_fitted;
    qint64 m_fittedKey = 0;
    int m_pictureDraws = 0;
};

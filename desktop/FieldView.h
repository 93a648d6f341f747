// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/field/KeyboardPlay.h"
#include "engine/field/Pieces.h"
#include "engine/field/Shape.h"

#include <QHash>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <deque>
#include <vector>

class Piece;

// The main window's client area: the background colour and picture, then the
// pieces' shapes in stacking order. Only shapes whose colour or place changed
// are repainted; a press on a body and everything up to its release goes to
// that body's piece.
//
// It also plays without a mouse: one piece is current, marked by a focus ring
// while the keyboard is in use; the arrow keys choose the nearest piece that
// way, and keys stand for the mouse gestures on the current piece. To
// assistive tools it is a list of the 49 pieces, and it tells them when one
// changes.
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
    // The piece whose body lies topmost under a point of the view, or -1.
    int pieceAt(QPoint pos) const;

    // The piece the keyboard plays, or -1 before the view first had focus.
    int currentPiece() const { return m_current; }
    void setCurrentPiece(int index);
    // Whether the focus ring shows: while the view has focus and the
    // keyboard, not the mouse, was used last.
    bool focusRingShown() const;
    // Where the ring is drawn, in the view; empty while it is not shown.
    QRect focusRingRect() const;
    // Plays a click on a piece as the keyboard does; it becomes current.
    void play(int index, BodyClick click);
    // Drags a piece by (dx, dy) as the keyboard does; it becomes current.
    void nudge(int index, int dx, int dy);
    // Where a context menu opens: at the pointer, or at the current piece
    // when the keyboard asked for it.
    QPoint menuPosition() const;
    // The voice (1 to 4) of the last note a piece played, 0 before its first.
    int lastVoice(int index) const;
    // The keys, as the field's description and the focus ring's tip say them.
    static QString keyHelp();

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
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;

private:
    // What an assistive tool is told of a piece; a change is announced.
    struct Told {
        int status = -1;
        int voice = 0;
        int x = 0;
        int y = 0;
        int facing = 0;
    };

    const QPixmap& sprite(const Shape& shape);
    Piece* pieceOfBody(const Shape& shape) const;
    void paintPicture(class QPainter& painter, const QRect& area);
    int startingPiece() const;
    void showRing();
    void announceFocus();
    void announceChanges(bool all);
    void retranslate();

    std::deque<Shape> m_shapes;
    std::vector<QRect> m_painted; // where each shape was last drawn
    QHash<quint64, QPixmap> m_sprites;
    Piece* m_captured = nullptr;
    int m_current = -1;
    bool m_keyboardUsed = false;
    bool m_keyboardMenu = false; // a menu asked for by a key opens at the piece
    QRect m_ringPainted;
    std::array<int, kPieceCount> m_lastVoice{};
    std::array<Told, kPieceCount> m_told{};

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

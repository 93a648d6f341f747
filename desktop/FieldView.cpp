// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/FieldView.h"

#include "engine/field/PieceStatus.h"
#include "engine/pictures/BackgroundTiles.h"
#include "engine/settings/SettingsRecord.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

namespace {
constexpr int kMaxSprites = 4096; // blends give a few hundred colours in practice
// The focus ring circles the satellites (their outer edge lies 24 pixels
// from the body's centre) with room for its pen.
constexpr int kRingRadius = 28;
constexpr int kRingPen = 2;
// Ctrl+Shift+arrow moves by this many pixels; Ctrl+arrow by a grid step.
constexpr int kFineStep = 4;
constexpr int kRingTipMs = 10000;

QColor toQColor(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QRect rectOf(const Shape& s) {
    return QRect(s.left, s.top, s.width, s.height);
}
} // namespace

FieldView::FieldView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(120, 80);
    retranslate();
}

Shape& FieldView::createShape() {
    m_painted.emplace_back();
    return m_shapes.emplace_back();
}

void FieldView::refresh() {
    // Adding rectangles to one region one at a time costs time quadratic in
    // their number, and a busy field changes hundreds a tick: unite in pairs.
    std::vector<QRegion> parts;
    for (std::size_t i = 0; i < m_shapes.size(); ++i) {
        Shape& s = m_shapes[i];
        if (!s.dirty) continue;
        s.dirty = false;
        const QRect now = rectOf(s);
        if (m_painted[i] != now && !m_painted[i].isEmpty()) parts.emplace_back(m_painted[i]);
        if (!now.isEmpty()) parts.emplace_back(now);
        m_painted[i] = now;
    }
    // The ring follows the current piece, and shows or hides with the focus.
    const QRect ring = focusRingRect();
    if (ring != m_ringPainted) {
        if (!m_ringPainted.isEmpty()) parts.emplace_back(m_ringPainted);
        if (!ring.isEmpty()) parts.emplace_back(ring);
        m_ringPainted = ring;
    }
    for (std::size_t step = 1; step < parts.size(); step *= 2)
        for (std::size_t i = 0; i + step < parts.size(); i += 2 * step)
            parts[i] += parts[i + step];
    if (!parts.empty() && !parts.front().isEmpty()) update(parts.front());
    announceChanges(false);
}

void FieldView::pictureChanged() {
    m_cache = QPixmap();
    m_pictureKey = 0;
    m_fitted = QImage();
    m_fittedKey = 0;
    update();
}

int FieldView::shapeAt(QPoint pos) const {
    for (int i = int(m_shapes.size()) - 1; i >= 0; --i)
        if (rectOf(m_shapes[std::size_t(i)]).contains(pos)) return i;
    return -1;
}

int FieldView::pieceAt(QPoint pos) const {
    for (int i = kPieceCount - 1; i >= 0; --i)
        if (pieces[i] && rectOf(*pieces[i]->body).contains(pos)) return i;
    return -1;
}

const QPixmap& FieldView::sprite(const Shape& s) {
    const quint64 key = (quint64(s.width & 0xFF) << 56) | (quint64(s.height & 0xFF) << 48) |
                        (quint64(s.pen & 0xFFFFFF) << 24) | quint64(s.brush & 0xFFFFFF);
    auto found = m_sprites.constFind(key);
    if (found != m_sprites.constEnd()) return *found;
    if (m_sprites.size() >= kMaxSprites) m_sprites.clear();
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(QSize(s.width, s.height) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(toQColor(s.pen), 1));
    p.setBrush(toQColor(s.brush));
    p.drawEllipse(QRectF(0.5, 0.5, s.width - 1, s.height - 1));
    p.end();
    return *m_sprites.insert(key, pixmap);
}

void FieldView::paintPicture(QPainter& painter, const QRect& area) {
    m_pictureDraws = 0;
    const QImage* image = prm.bgBitmap.get();
    if (!image || image->isNull() || !prm.EnableBgImage) {
        m_cache = QPixmap();
        return;
    }
    const QSize wanted = prm.StretchBgImage ? size() : image->size().boundedTo(size());
    if (m_cache.isNull() || m_pictureKey != image->cacheKey() ||
        m_cacheStretched != prm.StretchBgImage || m_cache.size() != wanted) {
        if (prm.StretchBgImage && m_fittedKey != image->cacheKey()) {
            const QSize screenSize =
                screen() ? screen()->size() * screen()->devicePixelRatio() : QSize(4096, 4096);
            const QSize fitted = image->size().boundedTo(screenSize);
            m_fitted = fitted == image->size()
                           ? *image
                           : image->scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            m_fittedKey = image->cacheKey();
        }
        m_cache =
            QPixmap::fromImage(prm.StretchBgImage ? m_fitted.scaled(wanted, Qt::IgnoreAspectRatio,
                                                                    Qt::SmoothTransformation)
                                                  : image->copy(QRect(QPoint(0, 0), wanted)));
        m_pictureKey = image->cacheKey();
        m_cacheStretched = prm.StretchBgImage;
    }
    if (prm.StretchBgImage) {
        painter.drawPixmap(area, m_cache, area);
        ++m_pictureDraws;
        return;
    }
    // Tiles stand at the picture's own size; each shows no more than the cache holds.
    const QSize tile = image->size();
    for (QPoint at : TilePositions(size(), tile)) {
        if (!area.intersects(QRect(at, tile))) continue;
        painter.drawPixmap(at, m_cache);
        ++m_pictureDraws;
    }
}

void FieldView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, toQColor(prm.Background));
    paintPicture(painter, area);
    for (const Shape& s : m_shapes)
        if (area.intersects(rectOf(s))) painter.drawPixmap(s.left, s.top, sprite(s));
    const QRect ring = focusRingRect();
    if (!ring.isEmpty() && area.intersects(ring)) {
        // Light on a dark ground, dark on a light one, dashed so that it
        // reads as a mark and not as another circle of the field.
        const QColor ground = toQColor(prm.Background);
        const QColor mark = ground.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(mark, kRingPen, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(ring).adjusted(kRingPen, kRingPen, -kRingPen, -kRingPen));
    }
}

void FieldView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update(); // a stretched or tiled picture is redrawn for the new size
}

Piece* FieldView::pieceOfBody(const Shape& shape) const {
    for (const auto& piece : pieces)
        if (piece && piece->body == &shape) return piece.get();
    return nullptr;
}

void FieldView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    m_captured = nullptr;
    // The mouse is in use: the ring hides until the next key.
    m_keyboardUsed = false;
    refresh();
    const int index = shapeAt(pos);
    if (index < 0) {
        emit backgroundPressed(event->button(), event->modifiers(), pos);
        return;
    }
    const Shape& shape = m_shapes[std::size_t(index)];
    Piece* piece = pieceOfBody(shape);
    if (!piece) return; // satellites take no part
    for (int i = 0; i < kPieceCount; ++i)
        if (pieces[i].get() == piece) setCurrentPiece(i);
    m_captured = piece;
    piece->BodyMouseDown(event->button(), event->modifiers(), pos.x() - shape.left,
                         pos.y() - shape.top);
    refresh();
}

void FieldView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_captured) return;
    const QPoint pos = event->position().toPoint();
    m_captured->BodyMouseMove(event->modifiers(), pos.x() - m_captured->body->left,
                              pos.y() - m_captured->body->top);
    refresh();
}

void FieldView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_captured) return;
    Piece* piece = m_captured;
    if (event->buttons() == Qt::NoButton) m_captured = nullptr;
    const QPoint pos = event->position().toPoint();
    piece->BodyMouseUp(event->button(), event->modifiers(), pos.x() - piece->body->left,
                       pos.y() - piece->body->top);
    refresh();
}

bool FieldView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = shapeAt(help->pos());
        if (index >= 0 && !m_shapes[std::size_t(index)].hint.isEmpty()) {
            const Shape& s = m_shapes[std::size_t(index)];
            QToolTip::showText(help->globalPos(), s.hint, this, rectOf(s));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void FieldView::setCurrentPiece(int index) {
    if (index < 0 || index >= kPieceCount || !pieces[index] || index == m_current) return;
    m_current = index;
    refresh();
    announceFocus();
}

bool FieldView::focusRingShown() const {
    return m_keyboardUsed && hasFocus() && m_current >= 0 && pieces[m_current];
}

QRect FieldView::focusRingRect() const {
    if (!focusRingShown()) return {};
    const Shape& body = *pieces[m_current]->body;
    const QPoint centre(body.left + body.width / 2, body.top + body.height / 2);
    return QRect(centre - QPoint(kRingRadius, kRingRadius),
                 QSize(2 * kRingRadius, 2 * kRingRadius));
}

void FieldView::play(int index, BodyClick click) {
    if (index < 0 || index >= kPieceCount || !pieces[index]) return;
    setCurrentPiece(index);
    // The menu opens at the piece: a keyboard user's pointer may be anywhere.
    m_keyboardMenu = click == BodyClick::Menu;
    ClickBody(*pieces[index], click);
    m_keyboardMenu = false;
    refresh();
}

void FieldView::nudge(int index, int dx, int dy) {
    if (index < 0 || index >= kPieceCount || !pieces[index]) return;
    setCurrentPiece(index);
    DragBody(*pieces[index], dx, dy);
    refresh();
}

QPoint FieldView::menuPosition() const {
    if (m_keyboardMenu && m_current >= 0 && pieces[m_current]) {
        const Shape& body = *pieces[m_current]->body;
        return mapToGlobal(QPoint(body.left + body.width / 2, body.top + body.height / 2));
    }
    return QCursor::pos();
}

int FieldView::lastVoice(int index) const {
    return index >= 0 && index < kPieceCount ? m_lastVoice[std::size_t(index)] : 0;
}

QString FieldView::keyHelp() {
    return tr("矢印キーで駒を選び、スペースか Enter で刺激、T で回転、Q で休止、N で休眠、"
              "Ctrl+矢印キーで移動（Ctrl+Shift+矢印キーで少しずつ）、Page Up と Page Down で"
              "番号順に選択、アプリケーションキーか Shift+F10 でメニュー");
}

void FieldView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers shift =
        event->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool plain = shift == Qt::NoModifier;
    int heading = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        heading = int(Heading::Left);
        break;
    case Qt::Key_Right:
        heading = int(Heading::Right);
        break;
    case Qt::Key_Up:
        heading = int(Heading::Up);
        break;
    case Qt::Key_Down:
        heading = int(Heading::Down);
        break;
    default:
        break;
    }
    if (m_current < 0) m_current = startingPiece();
    const int current = m_current;
    // The keys' tip has been read once a key is used; it would hide pieces.
    if (plain || heading >= 0) QToolTip::hideText();
    bool done = current >= 0;
    if (!done) {
        // No piece to play.
    } else if (heading >= 0 && plain) {
        const int next = NearestPiece(current, Heading(heading));
        if (next >= 0) setCurrentPiece(next);
    } else if (heading >= 0 && (shift == Qt::ControlModifier ||
                                shift == (Qt::ControlModifier | Qt::ShiftModifier))) {
        // A grid step, or a few pixels; the drop snaps as a mouse drop does.
        const int step =
            shift == Qt::ControlModifier && prm.GridSize > 0 ? prm.GridSize : kFineStep;
        const Heading h = Heading(heading);
        const int dx = h == Heading::Left ? -step : h == Heading::Right ? step : 0;
        const int dy = h == Heading::Up ? -step : h == Heading::Down ? step : 0;
        nudge(current, dx, dy);
    } else if (plain && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                         event->key() == Qt::Key_Enter)) {
        play(current, BodyClick::Excite);
    } else if (plain && event->key() == Qt::Key_T) {
        play(current, BodyClick::Turn);
    } else if (plain && event->key() == Qt::Key_Q) {
        play(current, BodyClick::Quiet);
    } else if (plain && event->key() == Qt::Key_N) {
        play(current, BodyClick::Sleep);
    } else if (plain && event->key() == Qt::Key_PageDown) {
        setCurrentPiece((current + 1) % kPieceCount);
    } else if (plain && event->key() == Qt::Key_PageUp) {
        setCurrentPiece((current + kPieceCount - 1) % kPieceCount);
    } else if ((plain && event->key() == Qt::Key_Menu) ||
               (shift == Qt::ShiftModifier && event->key() == Qt::Key_F10)) {
        m_keyboardUsed = true; // the ring, but no tip over the menu
        play(current, BodyClick::Menu);
        return;
    } else {
        done = false;
    }
    if (!done) {
        // Modifier keys and the rest go on to the window: its cursor tells
        // what a click would do.
        QWidget::keyPressEvent(event);
        return;
    }
    showRing();
    event->accept();
}

void FieldView::contextMenuEvent(QContextMenuEvent* event) {
    // The menu key; the mouse's right button is handled on its press.
    if (event->reason() != QContextMenuEvent::Keyboard) {
        event->ignore();
        return;
    }
    if (m_current < 0) m_current = startingPiece();
    if (m_current < 0) {
        event->ignore();
        return;
    }
    m_keyboardUsed = true; // the ring, but no tip over the menu
    play(m_current, BodyClick::Menu);
    event->accept();
}

void FieldView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (m_current < 0) m_current = startingPiece();
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
        reason == Qt::ShortcutFocusReason)
        showRing();
    refresh();
    announceFocus();
}

void FieldView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    refresh(); // the ring goes with the focus
}

bool FieldView::focusNextPrevChild(bool next) {
    const bool moved = QWidget::focusNextPrevChild(next);
    // The field is the window's only stop: Tab keeps the focus here, and
    // shows where it is.
    if (hasFocus()) showRing();
    return moved;
}

void FieldView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        announceChanges(true);
    }
    QWidget::changeEvent(event);
}

// The piece nearest the top-left corner among those whose body the view
// shows, so the first key lands where reading starts; else the first piece.
int FieldView::startingPiece() const {
    int best = -1;
    qint64 bestDistance = 0;
    for (int i = 0; i < kPieceCount; ++i) {
        if (!pieces[i]) continue;
        const Shape& body = *pieces[i]->body;
        if (!rect().contains(QPoint(body.left + body.width / 2, body.top + body.height / 2)))
            continue;
        const qint64 distance = qint64(body.left) * body.left + qint64(body.top) * body.top;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    if (best < 0 && pieces[0]) best = 0;
    return best;
}

void FieldView::showRing() {
    const bool wasShown = focusRingShown();
    m_keyboardUsed = true;
    refresh();
    // The first time it shows, the ring tells the keys.
    if (!wasShown && focusRingShown()) {
        const QRect ring = focusRingRect();
        // The keys again, set out in short lines.
        const QString tip = tr("矢印キー: 駒を選ぶ\n"
                               "スペース／Enter: 刺激　T: 回転　Q: 休止　N: 休眠\n"
                               "Ctrl+矢印キー: 移動（Ctrl+Shift+矢印キー: 少しずつ）\n"
                               "Page Up／Page Down: 番号順　"
                               "アプリケーションキー／Shift+F10: メニュー");
        QToolTip::showText(mapToGlobal(ring.bottomLeft()), tip, this, ring, kRingTipMs);
    }
}

void FieldView::announceFocus() {
    if (!hasFocus() || m_current < 0 || !QAccessible::isActive()) return;
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(m_current);
    QAccessible::updateAccessibility(&focus);
}

// Keeps what assistive tools were told of each piece up to date: a piece
// that changes state or voice is renamed, one that moves or turns is
// described anew. A tool speaks the new name of the piece that has focus,
// so a change the user made there is heard at once.
void FieldView::announceChanges(bool all) {
    const bool active = QAccessible::isActive();
    for (int i = 0; i < kPieceCount; ++i) {
        if (!pieces[i]) continue;
        const Piece& piece = *pieces[i];
        if (piece.noteTicks > 0) m_lastVoice[std::size_t(i)] = piece.channel + 1;
        Told now{int(StatusOf(piece)), m_lastVoice[std::size_t(i)], piece.Xpos, piece.Ypos,
                 FacingDegrees(piece)};
        Told& told = m_told[std::size_t(i)];
        const bool renamed = all || now.status != told.status || now.voice != told.voice;
        const bool moved = all || now.x != told.x || now.y != told.y || now.facing != told.facing;
        const bool startedOrStopped =
            (now.status == int(PieceStatus::Playing)) != (told.status == int(PieceStatus::Playing));
        told = now;
        if (!active) continue;
        if (renamed) {
            QAccessibleEvent name(this, QAccessible::NameChanged);
            name.setChild(i);
            QAccessible::updateAccessibility(&name);
        }
        if (startedOrStopped) {
            QAccessible::State changed;
            changed.animated = true;
            QAccessibleStateChangeEvent state(this, changed);
            state.setChild(i);
            QAccessible::updateAccessibility(&state);
        }
        if (moved) {
            QAccessibleEvent description(this, QAccessible::DescriptionChanged);
            description.setChild(i);
            QAccessible::updateAccessibility(&description);
            QAccessibleEvent location(this, QAccessible::LocationChanged);
            location.setChild(i);
            QAccessible::updateAccessibility(&location);
        }
    }
}

void FieldView::retranslate() {
    setAccessibleName(tr("駒"));
    setAccessibleDescription(keyHelp());
}

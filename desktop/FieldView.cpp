// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/FieldView.h"

#include "engine/field/Pieces.h"
#include "engine/pictures/BackgroundTiles.h"
#include "engine/settings/SettingsRecord.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

namespace {
constexpr int kMaxSprites = 4096; // blends give a few hundred colours in practice

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
    for (std::size_t step = 1; step < parts.size(); step *= 2)
        for (std::size_t i = 0; i + step < parts.size(); i += 2 * step)
            parts[i] += parts[i + step];
    if (!parts.empty() && !parts.front().isEmpty()) update(parts.front());
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
    const int index = shapeAt(pos);
    if (index < 0) {
        emit backgroundPressed(event->button(), event->modifiers(), pos);
        return;
    }
    const Shape& shape = m_shapes[std::size_t(index)];
    Piece* piece = pieceOfBody(shape);
    if (!piece) return; // satellites take no part
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

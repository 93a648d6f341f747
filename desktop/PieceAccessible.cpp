// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/PieceAccessible.h"

#include "desktop/FieldView.h"
#include "engine/field/PieceStatus.h"
#include "engine/field/Pieces.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QWindow>

namespace {
QString translated(const char* text) {
    return QCoreApplication::translate("PieceAccessible", text);
}

QString statusText(PieceStatus status) {
    switch (status) {
    case PieceStatus::Playing:
        return translated(QT_TRANSLATE_NOOP("PieceAccessible", "演奏中"));
    case PieceStatus::Quiet:
        return translated(QT_TRANSLATE_NOOP("PieceAccessible", "休止中"));
    case PieceStatus::Asleep:
        return translated(QT_TRANSLATE_NOOP("PieceAccessible", "休眠中"));
    }
    return {};
}
} // namespace

PieceAccessible::PieceAccessible(FieldView* view, int index) : m_view(view), m_index(index) {}

bool PieceAccessible::isValid() const {
    return m_view && m_index >= 0 && m_index < kPieceCount && pieces[m_index];
}

QWindow* PieceAccessible::window() const {
    return m_view ? m_view->window()->windowHandle() : nullptr;
}

QAccessibleInterface* PieceAccessible::parent() const {
    return QAccessible::queryAccessibleInterface(m_view.data());
}

QString PieceAccessible::text(QAccessible::Text t) const {
    if (!isValid()) return {};
    const Piece& piece = *pieces[m_index];
    switch (t) {
    case QAccessible::Name: {
        const int voice = m_view->lastVoice(m_index);
        const QString status = statusText(StatusOf(piece));
        if (voice > 0)
            return translated(QT_TRANSLATE_NOOP("PieceAccessible", "駒%1、音色%2、%3"))
                .arg(m_index + 1)
                .arg(voice)
                .arg(status);
        return translated(QT_TRANSLATE_NOOP("PieceAccessible", "駒%1、%2"))
            .arg(m_index + 1)
            .arg(status);
    }
    case QAccessible::Description:
        return translated(QT_TRANSLATE_NOOP("PieceAccessible", "向き %1°、位置 %2, %3"))
            .arg(FacingDegrees(piece))
            .arg(piece.Xpos)
            .arg(piece.Ypos);
    case QAccessible::Help:
        return FieldView::keyHelp();
    default:
        return {};
    }
}

QRect PieceAccessible::rect() const {
    if (!isValid()) return {};
    const Shape& body = *pieces[m_index]->body;
    return QRect(m_view->mapToGlobal(QPoint(body.left, body.top)), QSize(body.width, body.height));
}

QAccessible::State PieceAccessible::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.focusable = true;
    state.focused = m_view->hasFocus() && m_view->currentPiece() == m_index;
    state.animated = StatusOf(*pieces[m_index]) == PieceStatus::Playing;
    const Shape& body = *pieces[m_index]->body;
    if (!m_view->isVisible())
        state.invisible = true;
    else if (!m_view->rect().intersects(QRect(body.left, body.top, body.width, body.height)))
        state.offscreen = true; // dragged out of the window
    return state;
}

void* PieceAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

QString PieceAccessible::turnAction() {
    return QStringLiteral("Turn");
}

QString PieceAccessible::quietAction() {
    return QStringLiteral("Quiet");
}

QString PieceAccessible::sleepAction() {
    return QStringLiteral("Sleep");
}

QStringList PieceAccessible::actionNames() const {
    return {pressAction(), turnAction(),     quietAction(),
            sleepAction(), showMenuAction(), setFocusAction()};
}

QString PieceAccessible::localizedActionName(const QString& name) const {
    if (name == pressAction()) return translated(QT_TRANSLATE_NOOP("PieceAccessible", "刺激"));
    if (name == turnAction()) return translated(QT_TRANSLATE_NOOP("PieceAccessible", "回転"));
    if (name == quietAction()) return translated(QT_TRANSLATE_NOOP("PieceAccessible", "休止"));
    if (name == sleepAction()) return translated(QT_TRANSLATE_NOOP("PieceAccessible", "休眠"));
    return QAccessibleActionInterface::localizedActionName(name);
}

QString PieceAccessible::localizedActionDescription(const QString& name) const {
    if (name == pressAction())
        return translated(QT_TRANSLATE_NOOP("PieceAccessible", "駒を刺激し、休眠中なら起こします"));
    if (name == turnAction())
        return translated(QT_TRANSLATE_NOOP("PieceAccessible", "駒を時計回りに 45 度回します"));
    if (name == quietAction())
        return translated(
            QT_TRANSLATE_NOOP("PieceAccessible", "駒の衛星の高まりと速さをすべて 0 にします"));
    if (name == sleepAction())
        return translated(QT_TRANSLATE_NOOP("PieceAccessible", "駒を休眠させます"));
    return QAccessibleActionInterface::localizedActionDescription(name);
}

void PieceAccessible::doAction(const QString& name) {
    if (!isValid()) return;
    if (name == pressAction())
        m_view->play(m_index, BodyClick::Excite);
    else if (name == turnAction())
        m_view->play(m_index, BodyClick::Turn);
    else if (name == quietAction())
        m_view->play(m_index, BodyClick::Quiet);
    else if (name == sleepAction())
        m_view->play(m_index, BodyClick::Sleep);
    else if (name == showMenuAction())
        m_view->play(m_index, BodyClick::Menu);
    else if (name == setFocusAction()) {
        m_view->setCurrentPiece(m_index);
        m_view->setFocus(Qt::OtherFocusReason);
    }
}

QStringList PieceAccessible::keyBindingsForAction(const QString& name) const {
    const auto keys = [](QKeyCombination key) {
        return QStringList{QKeySequence(key).toString(QKeySequence::NativeText)};
    };
    if (name == pressAction()) return keys(Qt::Key_Space);
    if (name == turnAction()) return keys(Qt::Key_T);
    if (name == quietAction()) return keys(Qt::Key_Q);
    if (name == sleepAction()) return keys(Qt::Key_N);
    if (name == showMenuAction()) return keys(Qt::Key_Menu);
    return {};
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/FieldAccessible.h"

#include "desktop/FieldView.h"
#include "desktop/PieceAccessible.h"

FieldAccessible::FieldAccessible(FieldView* view) : QAccessibleWidget(view, QAccessible::List) {}

FieldAccessible::~FieldAccessible() {
    for (QAccessible::Id id : m_children)
        if (id) QAccessible::deleteAccessibleInterface(id);
}

FieldView* FieldAccessible::view() const {
    return static_cast<FieldView*>(widget());
}

int FieldAccessible::childCount() const {
    return kPieceCount;
}

QAccessibleInterface* FieldAccessible::child(int index) const {
    if (index < 0 || index >= kPieceCount || !pieces[index]) return nullptr;
    QAccessible::Id& id = m_children[std::size_t(index)];
    if (!id) id = QAccessible::registerAccessibleInterface(new PieceAccessible(view(), index));
    return QAccessible::accessibleInterface(id);
}

int FieldAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* piece = dynamic_cast<const PieceAccessible*>(child);
    if (!piece || piece->view() != view()) return -1;
    return piece->index();
}

QAccessibleInterface* FieldAccessible::childAt(int x, int y) const {
    return child(view()->pieceAt(view()->mapFromGlobal(QPoint(x, y))));
}

QAccessibleInterface* FieldAccessible::focusChild() const {
    if (!view()->hasFocus()) return nullptr;
    return child(view()->currentPiece());
}

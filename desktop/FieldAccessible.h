// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/field/Pieces.h"

#include <QAccessibleWidget>
#include <array>

class FieldView;

// The field as an assistive tool meets it: a list of the 49 pieces in
// index order, the current piece its focused item.
class FieldAccessible : public QAccessibleWidget {
public:
    explicit FieldAccessible(FieldView* view);
    ~FieldAccessible() override;
    FieldAccessible(const FieldAccessible&) = delete;
    FieldAccessible& operator=(const FieldAccessible&) = delete;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

private:
    FieldView* view() const;

    // The pieces' interfaces, made on first asking and kept until the view
    // goes; the cache owns them, by these ids.
    mutable std::array<QAccessible::Id, kPieceCount> m_children{};
};

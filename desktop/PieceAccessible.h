// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QPointer>

class FieldView;

// One piece of the field as an assistive tool meets it: an item of the
// field's list, named by its number, the voice of its last note and its
// state, described by its facing and place, and able to do what the keys do.
class PieceAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PieceAccessible(FieldView* view, int index);

    int index() const { return m_index; }
    FieldView* view() const { return m_view; }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    QString localizedActionName(const QString& name) const override;
    QString localizedActionDescription(const QString& name) const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

    // The names of the actions beyond Qt's own press, menu and focus.
    static QString turnAction();
    static QString quietAction();
    static QString sleepAction();

private:
    QPointer<FieldView> m_view;
    int m_index;
};

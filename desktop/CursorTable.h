// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QCursor>
#include <QHash>

// The cursors by number, as the piece handlers ask for them; 0 is the arrow.
// Setting one other than 0 overrides every widget's own cursor.
class CursorTable {
public:
    // Registers the four piece cursors from the compiled-in pictures.
    void loadPieceCursors();
    void set(int number, const QCursor& cursor) { m_cursors.insert(number, cursor); }
    QCursor cursor(int number) const { return m_cursors.value(number, QCursor(Qt::ArrowCursor)); }
    bool contains(int number) const { return m_cursors.contains(number); }

    // Makes cursor number the application-wide cursor (0: none).
    void apply(int number) const;

private:
    QHash<int, QCursor> m_cursors;
};

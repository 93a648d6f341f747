// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/CursorTable.h"

#include "engine/field/Shape.h"

#include <QGuiApplication>
#include <QPixmap>

void CursorTable::loadPieceCursors() {
    Q_INIT_RESOURCE(marulet); // the pictures live in a static library
    const std::pair<int, const char*> resources[] = {
        {crMovePiece, ":/marulet/cursors/IDC_MOV_PIECE.xpm"},
        {crTurnPiece, ":/marulet/cursors/IDC_ROT_PIECE.xpm"},
        {crChangePiece, ":/marulet/cursors/IDC_CHG_PIECE.xpm"},
        {crSleepPiece, ":/marulet/cursors/IDC_ZZZ_PIECE.xpm"},
    };
    for (const auto& [number, path] : resources) {
        const QPixmap picture(QString::fromLatin1(path));
        // The hot spot is the top-left pixel.
        set(number, picture.isNull() ? QCursor(Qt::ArrowCursor) : QCursor(picture, 0, 0));
    }
}

void CursorTable::apply(int number) const {
    if (number == crDefault) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    if (QGuiApplication::overrideCursor())
        QGuiApplication::changeOverrideCursor(cursor(number));
    else
        QGuiApplication::setOverrideCursor(cursor(number));
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/pictures/BackgroundTiles.h"

std::vector<QPoint> TilePositions(QSize area, QSize tile) {
    std::vector<QPoint> positions;
    if (tile.width() <= 0 || tile.height() <= 0) return positions;
    for (qint64 x = 0; x < area.width(); x += tile.width())
        for (qint64 y = 0; y < area.height(); y += tile.height())
            positions.emplace_back(int(x), int(y));
    return positions;
}

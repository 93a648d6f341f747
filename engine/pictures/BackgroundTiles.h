// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QPoint>
#include <QSize>
#include <vector>

// Where a picture of size tile is drawn to tile an area: column by column,
// each column from top to bottom; the last column and row are cut by the edge.
std::vector<QPoint> TilePositions(QSize area, QSize tile);

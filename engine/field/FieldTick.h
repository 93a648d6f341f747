// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

// One tick of the whole field: every piece updates, then every satellite that
// fired in this tick excites the pieces within reach in its direction.
void TickField();

// The propagation half of the tick, over the fired flags the updates set.
void PropagateFirings();

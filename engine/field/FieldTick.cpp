// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/FieldTick.h"

#include "engine/field/Pieces.h"
#include "engine/field/Response.h"
#include "engine/settings/SettingsRecord.h"

#include <cmath>

namespace {
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kQuarterPi = 0.7853981633974483;
constexpr double kSixthPi = 0.5235987755982988;

void excite(const Piece& source, int satellite, double reach, double bound) {
    const double t = response::wrap(satellite * kHalfPi + source.Angle + kQuarterPi);
    for (auto& entry : pieces) {
        Piece& target = *entry;
        // Wide arithmetic: coordinates from a damaged layout may be near the
        // 32-bit limits.
        const double dx = double(target.Xpos) - double(source.Xpos);
        const double dy = double(target.Ypos) - double(source.Ypos);
        const double d2 = dx * dx + dy * dy;
        if (d2 == 0 || d2 >= bound) // out of reach before any trigonometry
            continue;
        const double d = std::sqrt(d2);
        if (!(d > 0 && d < reach)) continue;
        double u = std::acos(dx / d);
        if (dy < 0) u = -u;
        if (!(response::gap(u, t) < kSixthPi)) continue;
        const int facing = response::facingMask(u, target.Angle);
        const double x = prm.ActiveLv * ((reach - d) / reach + 1);
        const int table = response::chooseTable(prm.ActivePtn);
        const int mask = response::excitationMask(table, facing);
        if (mask != 0) target.AddRates(mask, x);
    }
}
} // namespace

void PropagateFirings() {
    const double reach = prm.Reach;
    const double bound = (reach + 1) * (reach + 1);
    for (auto& entry : pieces) {
        Piece& source = *entry;
        for (int i = 0; i < 4; ++i) {
            if (!source.fired[i]) continue;
            if (reach > 0) excite(source, i, reach, bound);
            source.fired[i] = false;
        }
    }
}

void TickField() {
    for (auto& entry : pieces)
        entry->Update();
    PropagateFirings();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/Response.h"

#include "engine/field/Random.h"

#include <cmath>

namespace response {

double wrap(double v) {
    double r = std::fmod(v, kTwoPi);
    if (r > kPi) r -= kTwoPi;
    if (r < -kPi) r += kTwoPi;
    return r;
}

double gap(double a, double b) {
    double g = std::fabs(a - b);
    if (g > kPi) g = std::fabs(g - kTwoPi);
    return g;
}

int facingMask(double u, double targetAngle) {
    int mask = 0;
    for (int l = 0; l < 4; ++l) {
        const double back = wrap(l * 1.5707963267948966 + targetAngle - 3.141592653589793);
        if (gap(u, back) < 0.8975979010256552) mask |= 1 << l;
    }
    return mask;
}

int excitationMask(int table, int facing) {
    // Rows: facing masks 1, 2, 4, 8, 3, 6, 12, 9.
    static constexpr int kFacing[8] = {1, 2, 4, 8, 3, 6, 12, 9};
    static constexpr int kTables[4][8] = {
        {6, 12, 9, 3, 1, 2, 4, 8},
        {9, 3, 6, 12, 4, 8, 1, 2},
        {6, 12, 9, 3, 10, 5, 10, 5},
        {9, 3, 6, 12, 10, 5, 10, 5},
    };
    if (table < 1 || table > 4) return 0;
    for (int row = 0; row < 8; ++row)
        if (kFacing[row] == facing) return kTables[table - 1][row];
    return 0;
}

int chooseTable(std::int32_t pattern) {
    const std::uint32_t r = Random();
    switch (pattern) {
    case 0:
        return 1;
    case 1:
        return 2;
    case 2:
        return 3;
    case 3:
        return 4;
    case 4:
        return r % 2 == 0 ? 1 : 2;
    case 5:
        return r % 2 == 0 ? 3 : 4;
    case 6:
        return static_cast<int>(Random() % 4) + 1;
    default:
        return 1;
    }
}

} // namespace response

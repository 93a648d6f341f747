// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/Random.h"

#include <random>

namespace {
std::mt19937 generator; // default seed: the same sequence on every start
}

std::uint32_t Random() {
    return static_cast<std::uint32_t>(generator());
}

void reseedRandom(std::uint32_t seed) {
    generator.seed(seed);
}

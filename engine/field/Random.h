// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <cstdint>

// The one process-wide source of uniform non-negative integers, shared by the
// note pitch and the random response patterns. The program never seeds it, so
// each start repeats the previous start's sequence; tests reseed it.
std::uint32_t Random();
void reseedRandom(std::uint32_t seed);

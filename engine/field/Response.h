// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <cstdint>

// Angle helpers and the response tables that decide which satellites of a
// reached piece take an excitation.
namespace response {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;

// An angle brought into -pi..pi.
double wrap(double v);
// The angular distance of two wrapped directions, 0..pi.
double gap(double a, double b);

// Which axes of a piece turned by targetAngle lie within 2pi/7 of the
// direction back to the source (u is the direction from source to target).
int facingMask(double u, double targetAngle);

// The excitation mask that table 1..4 gives for a facing mask (0 for none).
int excitationMask(int table, int facing);

// The table that pattern ActivePtn uses for one excitation; draws r, and r'
// for the pattern that picks among all four.
int chooseTable(std::int32_t pattern);

} // namespace response

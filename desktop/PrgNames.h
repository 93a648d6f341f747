// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

// The General MIDI program names shown in the voice lists, in program order.
// Each name is plain ASCII in a zero-padded 32-byte slot.
inline constexpr int kPrgNameCount = 128;
extern const char PrgNames[kPrgNameCount][32];

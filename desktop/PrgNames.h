#pragma once

// The General MIDI program names shown in the voice lists, in program order.
// Each name is plain ASCII in a zero-padded 32-byte slot.
inline constexpr int kPrgNameCount = 128;
extern const char PrgNames[kPrgNameCount][32];

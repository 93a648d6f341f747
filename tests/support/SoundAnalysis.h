// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <cstdint>
#include <vector>

class EmbeddedSynth;

// Listening to the synthesizer in tests: its sound rendered offline, its
// level and its pitch.
namespace sound {

// A packed short message: status, then data1 and data2.
std::uint32_t pack(int status, int data1 = 0, int data2 = 0);
// Whether a General MIDI soundfont is where the synth looks.
bool haveSoundFont();
// Seconds of sound at the synth's rate, mixed down to mono.
std::vector<float> renderMono(EmbeddedSynth& synth, double seconds);
// The samples from one time to another, in seconds.
std::vector<float> slice(const std::vector<float>& samples, int rate, double from, double to);
double rms(const std::vector<float>& samples);
// The fundamental by the cumulative mean normalised difference (YIN): the
// first lag whose difference dips under the threshold, refined by a
// parabola. Unlike a plain spectrum peak it does not jump to a strong second
// harmonic. 0 when none is found.
double fundamental(const std::vector<float>& x, int rate, double minHz = 60, double maxHz = 2000);

} // namespace sound

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <cstddef>

// Sees every block of audio the built-in synthesizer renders for its output,
// on the audio thread, after limiting: exactly what the user hears. It must
// never block (no locks, no allocation, no disk).
class AudioTap {
public:
    virtual ~AudioTap() = default;
    virtual void audioRendered(const float* interleavedStereo, std::size_t frames,
                               int sampleRate) = 0;
};

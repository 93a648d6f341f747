// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/SoundAnalysis.h"

#include "audio/EmbeddedSynth.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace sound {

std::uint32_t pack(int status, int data1, int data2) {
    return std::uint32_t(status) | (std::uint32_t(data1) << 8) | (std::uint32_t(data2) << 16);
}

bool haveSoundFont() {
    for (const QString& path : EmbeddedSynth::defaultSoundFonts())
        if (QFileInfo(path).isFile()) return true;
    return false;
}

std::vector<float> renderMono(EmbeddedSynth& synth, double seconds) {
    std::vector<float> stereo(2 * static_cast<std::size_t>(seconds * synth.sampleRate()));
    EXPECT_TRUE(synth.render(stereo));
    std::vector<float> mono(stereo.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return mono;
}

std::vector<float> slice(const std::vector<float>& samples, int rate, double from, double to) {
    const auto begin = std::min(samples.size(), static_cast<std::size_t>(from * rate));
    const auto end = std::min(samples.size(), static_cast<std::size_t>(to * rate));
    return {samples.begin() + static_cast<std::ptrdiff_t>(begin),
            samples.begin() + static_cast<std::ptrdiff_t>(std::max(begin, end))};
}

double rms(const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

double fundamental(const std::vector<float>& x, int rate, double minHz, double maxHz) {
    const auto maxLag = static_cast<std::size_t>(rate / minHz);
    const auto minLag = static_cast<std::size_t>(rate / maxHz);
    if (x.size() < 2 * maxLag) return 0;
    const std::size_t window = x.size() - maxLag - 1;
    std::vector<double> d(maxLag + 2, 0.0);
    for (std::size_t lag = 1; lag < d.size(); ++lag)
        for (std::size_t i = 0; i < window; ++i) {
            const double diff = double(x[i]) - x[i + lag];
            d[lag] += diff * diff;
        }
    std::vector<double> cmnd(d.size(), 1.0);
    double running = 0;
    for (std::size_t lag = 1; lag < d.size(); ++lag) {
        running += d[lag];
        cmnd[lag] = running > 0 ? d[lag] * double(lag) / running : 1.0;
    }
    for (std::size_t lag = std::max<std::size_t>(minLag, 1); lag + 1 < cmnd.size(); ++lag)
        if (cmnd[lag] < 0.15) {
            while (lag + 2 < cmnd.size() && cmnd[lag + 1] < cmnd[lag])
                ++lag;
            const double a = cmnd[lag - 1], b = cmnd[lag], c = cmnd[lag + 1];
            const double denom = a - 2 * b + c;
            return rate / (double(lag) + (denom != 0 ? 0.5 * (a - c) / denom : 0));
        }
    return 0;
}

} // namespace sound

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// The master limiter: loud sums stay under the ceiling, quiet ones pass.
#include "audio/PeakLimiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

std::vector<float> stereoSines(std::size_t frames, std::initializer_list<double> hz, double amp) {
    std::vector<float> out(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        double sum = 0;
        for (double f : hz)
            sum += amp * std::sin(2 * M_PI * f * double(i) / 44100.0);
        out[2 * i] = float(sum);
        out[2 * i + 1] = float(-0.9 * sum);
    }
    return out;
}

TEST(PeakLimiterTest, FullScaleSumsStayUnderTheCeilingAndStayLoud) {
    PeakLimiter limiter;
    ASSERT_LT(limiter.ceiling(), 1.0f);
    // Eight full-scale voices in phase now and then: peaks near 8.
    std::vector<float> block = stereoSines(44100, {110, 220, 330, 440, 550, 660, 770, 880}, 1.0);
    const float inputPeak = *std::max_element(block.begin(), block.end());
    ASSERT_GT(inputPeak, 4.0f);
    for (std::size_t at = 0; at < block.size(); at += 2 * 512) // as the audio thread would
        limiter.process(block.data() + at, std::min<std::size_t>(512, (block.size() - at) / 2));
    float peak = 0;
    for (float s : block)
        peak = std::max(peak, std::fabs(s));
    EXPECT_LE(peak, limiter.ceiling());
    EXPECT_GT(peak, 0.5f * limiter.ceiling()) << "limited into near silence";

    // A sudden full-scale step after silence is caught too: look-ahead, not clipping.
    std::vector<float> step(2 * 2000, 0.0f);
    std::fill(step.begin() + 2 * 1000, step.end(), 1.0f);
    limiter.process(step.data(), 2000);
    EXPECT_LE(*std::max_element(step.begin(), step.end()), limiter.ceiling());

    std::vector<float> broken{NAN, 0.1f, INFINITY, -INFINITY};
    limiter.process(broken.data(), 2);
    std::vector<float> flush(2 * PeakLimiter::kLookAhead, 0.0f);
    limiter.process(flush.data(), PeakLimiter::kLookAhead);
    for (float s : flush)
        EXPECT_TRUE(std::isfinite(s) && std::fabs(s) <= limiter.ceiling());
}

TEST(PeakLimiterTest, AQuietSignalPassesUnchangedOnlyDelayed) {
    PeakLimiter limiter;
    const std::vector<float> in = stereoSines(8192, {220, 331, 517}, 0.25); // peaks under 0.75
    std::vector<float> out = in;
    limiter.process(out.data(), 8192);
    const std::size_t delay = 2 * PeakLimiter::kLookAhead;
    for (std::size_t i = 0; i < delay; ++i)
        ASSERT_EQ(out[i], 0.0f);
    for (std::size_t i = delay; i < out.size(); ++i)
        ASSERT_EQ(out[i], in[i - delay]) << "sample " << i;
    EXPECT_EQ(limiter.gain(), 1.0f);
}

} // namespace

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

namespace {

constexpr int kRate = 48000;

// A loud low tone: its needed gain rises for far longer than the look-ahead
// on every half wave.
std::vector<float> loudTone(double hz, double timesCeiling, float ceiling, double seconds) {
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    std::vector<float> out(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double s = timesCeiling * ceiling * std::sin(2 * M_PI * hz * double(i) / kRate);
        out[2 * i] = float(s);
        out[2 * i + 1] = float(-0.7 * s);
    }
    return out;
}

// The gain each frame should get, worked out the slow way from the limiter's
// description: the least needed gain of the window by brute force, released
// slowly, then averaged over the window.
std::vector<double> referenceGains(const std::vector<float>& in, float ceiling, double release) {
    constexpr int window = PeakLimiter::kLookAhead + 1;
    const std::size_t frames = in.size() / 2;
    std::vector<float> needed(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float peak = std::max(std::fabs(in[2 * i]), std::fabs(in[2 * i + 1]));
        needed[i] = peak > ceiling ? 0.99999f * ceiling / peak : 1.0f;
    }
    std::vector<double> released(frames), gains(frames);
    double level = 1.0;
    for (std::size_t n = 0; n < frames; ++n) {
        double hold = 1.0;
        for (std::size_t k = n >= window - 1 ? n - (window - 1) : 0; k <= n; ++k)
            hold = std::min<double>(hold, needed[k]);
        if (hold <= level) {
            level = hold;
        } else {
            level += (hold - level) * release;
            if (hold - level < 1e-6) level = hold;
        }
        released[n] = level;
        double sum = 0;
        for (int k = 0; k < window; ++k)
            sum += n >= std::size_t(k) ? released[n - k] : 1.0;
        gains[n] = sum / window;
    }
    return gains;
}

struct LoudTone {
    double hz;
    double timesCeiling;
};

void PrintTo(const LoudTone& tone, std::ostream* out) {
    *out << tone.hz << " Hz at " << tone.timesCeiling << " times the ceiling";
}

class PeakLimiterLoudToneTest : public ::testing::TestWithParam<LoudTone> {};

TEST_P(PeakLimiterLoudToneTest, TheSmoothGainFollowsTheTrueWindowMinimumAndNothingClips) {
    PeakLimiter limiter(0.891f, kRate);
    const std::vector<float> in =
        loudTone(GetParam().hz, GetParam().timesCeiling, limiter.ceiling(), 1.0);
    const std::vector<double> expected =
        referenceGains(in, limiter.ceiling(), limiter.releasePerFrame());

    std::vector<float> out = in;
    const std::size_t frames = in.size() / 2;
    double worst = 0, steepest = 0;
    float previous = 1.0f;
    std::size_t worstFrame = 0;
    for (std::size_t n = 0; n < frames; ++n) {
        limiter.process(out.data() + 2 * n, 1);
        const double error = std::fabs(limiter.gain() - expected[n]);
        if (error > worst) {
            worst = error;
            worstFrame = n;
        }
        steepest = std::max(steepest, double(std::fabs(limiter.gain() - previous)));
        previous = limiter.gain();
    }
    EXPECT_LT(worst, 1e-4) << "at frame " << worstFrame;
    // The gain glides: no step larger than one term of the mean, so nothing
    // is clipped by a gain that jumps to what one sample needs.
    EXPECT_LE(steepest, 1.0 / (PeakLimiter::kLookAhead + 1) + 1e-6);

    float peak = 0;
    for (float s : out)
        peak = std::max(peak, std::fabs(s));
    EXPECT_LE(peak, limiter.ceiling());
    EXPECT_GT(peak, 0.95f * limiter.ceiling()) << "limited more than needed";

    // Blocks of any size give the very same output.
    PeakLimiter blocks(0.891f, kRate);
    std::vector<float> inBlocks = in;
    for (std::size_t at = 0, size = 1; at < frames; at += size, size = size * 3 % 1000 + 1)
        blocks.process(inBlocks.data() + 2 * at, std::min(size, frames - at));
    EXPECT_EQ(inBlocks, out);
}

INSTANTIATE_TEST_SUITE_P(Tones, PeakLimiterLoudToneTest,
                         ::testing::Values(LoudTone{40, 3}, LoudTone{40, 8}, LoudTone{100, 3},
                                           LoudTone{100, 8}),
                         [](const auto& info) {
                             return std::to_string(int(info.param.hz)) + "Hz" +
                                    std::to_string(int(info.param.timesCeiling)) + "x";
                         });

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/EmbeddedSynth.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kAudible = 0.002;

std::uint32_t pack(int status, int data1 = 0, int data2 = 0) {
    return std::uint32_t(status) | (std::uint32_t(data1) << 8) | (std::uint32_t(data2) << 16);
}

bool haveSoundFont() {
    for (const QString& path : EmbeddedSynth::defaultSoundFonts())
        if (QFileInfo(path).isFile()) return true;
    return false;
}

// Renders seconds of sound at the synth's rate, mixed down to mono.
std::vector<float> renderMono(EmbeddedSynth& synth, double seconds) {
    std::vector<float> stereo(2 * static_cast<std::size_t>(seconds * synth.sampleRate()));
    EXPECT_TRUE(synth.render(stereo));
    std::vector<float> mono(stereo.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return mono;
}

std::vector<float> slice(const std::vector<float>& samples, int rate, double from, double to) {
    const auto begin = static_cast<std::size_t>(from * rate);
    const auto end = std::min(samples.size(), static_cast<std::size_t>(to * rate));
    return {samples.begin() + static_cast<std::ptrdiff_t>(begin),
            samples.begin() + static_cast<std::ptrdiff_t>(end)};
}

double rms(const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

// The fundamental by the cumulative mean normalised difference: the first
// lag that dips under the threshold, refined by a parabola.
double fundamental(const std::vector<float>& x, int rate, double minHz = 100, double maxHz = 2000) {
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
    for (std::size_t lag = minLag; lag + 1 < cmnd.size(); ++lag)
        if (cmnd[lag] < 0.15) {
            while (lag + 2 < cmnd.size() && cmnd[lag + 1] < cmnd[lag])
                ++lag;
            const double a = cmnd[lag - 1], b = cmnd[lag], c = cmnd[lag + 1];
            const double denom = a - 2 * b + c;
            return rate / (double(lag) + (denom != 0 ? 0.5 * (a - c) / denom : 0));
        }
    return 0;
}

class SynthRateTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
        ASSERT_TRUE(synth.isReady()) << synth.error().toStdString();
    }

    // A flute's A4 held on channel 0: its level and fundamental.
    std::pair<double, double> playA4() {
        EXPECT_EQ(synth.send(pack(0x90, 69, 100)), 0);
        const auto held = slice(renderMono(synth, 0.9), synth.sampleRate(), 0.3, 0.9);
        EXPECT_EQ(synth.send(pack(0x80, 69, 0)), 0);
        renderMono(synth, 1.5);
        return {rms(held), fundamental(held, synth.sampleRate())};
    }

    EmbeddedSynth synth;
};

TEST_F(SynthRateTest, NotesSoundAtPitchAfterTheRateChanges) {
    for (const std::uint32_t message : {pack(0xC0, 73)}) {
        synth.prepare(message);
        ASSERT_EQ(synth.send(message), 0);
    }
    for (const int rate : {44100, 96000, 22050, 48000}) {
        ASSERT_TRUE(synth.setSampleRate(rate)) << rate;
        EXPECT_EQ(synth.sampleRate(), rate);
        const auto [level, heard] = playA4();
        EXPECT_GT(level, kAudible) << "silent at " << rate;
        EXPECT_NEAR(heard, 440.0, 0.01 * 440.0) << "off pitch at " << rate;
    }
}

TEST_F(SynthRateTest, TheChannelsKeepTheirProgramsControllersAndPresets) {
    // A flute on channel 0 at full volume, the same flute on channel 1 turned
    // down, and a program held on channel 2.
    for (const std::uint32_t message :
         {pack(0xC0, 73), pack(0xC1, 73), pack(0xB1, 7, 20), pack(0xC2, 56)}) {
        synth.prepare(message);
        ASSERT_EQ(synth.send(message), 0);
    }
    const int held = synth.heldPresets();
    const double loud = playA4().first;
    ASSERT_TRUE(synth.setSampleRate(44100));
    EXPECT_EQ(synth.heldPresets(), held);

    const auto [level, heard] = playA4();
    EXPECT_NEAR(level, loud, 0.2 * loud) << "channel 0's flute changed";
    EXPECT_NEAR(heard, 440.0, 0.01 * 440.0);

    ASSERT_EQ(synth.send(pack(0x91, 69, 100)), 0);
    const double soft = rms(slice(renderMono(synth, 0.9), 44100, 0.3, 0.9));
    ASSERT_EQ(synth.send(pack(0x81, 69, 0)), 0);
    EXPECT_GT(soft, 1e-5);
    EXPECT_LT(soft, 0.25 * loud) << "channel 1 lost its volume";

    // Later program changes still find their presets.
    for (const std::uint32_t message : {pack(0xC0, 0), pack(0xFF)}) {
        synth.prepare(message);
        EXPECT_EQ(synth.send(message), 0);
    }
    renderMono(synth, 0.1);
    synth.prepare(pack(0xC0, 73));
    ASSERT_EQ(synth.send(pack(0xC0, 73)), 0);
    EXPECT_NEAR(playA4().second, 440.0, 0.01 * 440.0);
}

TEST_F(SynthRateTest, ARateFluidSynthCannotRenderIsRefused) {
    EXPECT_FALSE(synth.setSampleRate(192000));
    EXPECT_FALSE(synth.setSampleRate(0));
    EXPECT_EQ(synth.sampleRate(), EmbeddedSynth::kDefaultSampleRate);
    synth.prepare(pack(0xC0, 73));
    ASSERT_EQ(synth.send(pack(0xC0, 73)), 0);
    EXPECT_NEAR(playA4().second, 440.0, 0.01 * 440.0);
}

} // namespace

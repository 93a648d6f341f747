// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/EmbeddedSynth.h"
#include "support/SoundAnalysis.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using sound::fundamental;
using sound::haveSoundFont;
using sound::pack;
using sound::renderMono;
using sound::rms;
using sound::slice;

constexpr double kAudible = 0.002;

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
        return {rms(held), fundamental(held, synth.sampleRate(), 100)};
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

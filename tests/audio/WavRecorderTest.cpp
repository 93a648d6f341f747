// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/WavRecorder.h"
#include "audio/EmbeddedSynth.h"
#include "support/SoundAnalysis.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <sndfile.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using sound::haveSoundFont;

constexpr int kRate = EmbeddedSynth::kDefaultSampleRate;

struct WavFile {
    SF_INFO info{};
    std::vector<float> samples; // interleaved
};

// Reads a file back through libsndfile; nothing when it does not open.
std::optional<WavFile> readWav(const QString& path) {
    WavFile wav;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &wav.info);
    if (!file) return std::nullopt;
    wav.samples.resize(static_cast<std::size_t>(wav.info.frames * wav.info.channels));
    const sf_count_t read = sf_readf_float(file, wav.samples.data(), wav.info.frames);
    sf_close(file);
    if (read != wav.info.frames) return std::nullopt;
    return wav;
}

class WavRecorderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("take.wav"));
};

TEST_F(WavRecorderTest, ARenderedNoteReadsBackWhereItWasPlayed) {
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    EmbeddedSynth synth;
    ASSERT_TRUE(synth.isReady()) << synth.error().toStdString();
    WavRecorder recorder;
    ASSERT_TRUE(recorder.open(path, kRate)) << recorder.error().toStdString();

    // An audio thread of its own hands over blocks as a sound server asks for
    // them: silence, a note from 0.5 s to 1 s, its release. The square lead
    // sounds at once (the piano's sample starts with 6 ms of nothing).
    synth.send(0xC0 | (80 << 8));
    constexpr int kOn = kRate / 2, kOff = kRate, kEnd = kRate * 3 / 2, kBlock = 512;
    std::thread audio([&] {
        std::vector<float> block(2 * kBlock);
        for (int frame = 0; frame < kEnd;) {
            if (frame == kOn) synth.send(0x90 | (69 << 8) | (100 << 16));
            if (frame == kOff) synth.send(0x90 | (69 << 8));
            int frames = std::min(kBlock, kEnd - frame);
            if (frame < kOn) frames = std::min(frames, kOn - frame);
            if (frame < kOff) frames = std::min(frames, kOff - frame);
            ASSERT_TRUE(synth.render(std::span(block).first(2 * std::size_t(frames))));
            recorder.audioRendered(block.data(), std::size_t(frames), kRate);
            frame += frames;
        }
    });
    audio.join();
    EXPECT_TRUE(recorder.finish()) << recorder.error().toStdString();
    EXPECT_EQ(recorder.framesWritten(), kEnd);
    EXPECT_EQ(recorder.framesDropped(), 0);

    const auto wav = readWav(path);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->info.frames, kEnd);
    EXPECT_EQ(wav->info.samplerate, kRate);
    EXPECT_EQ(wav->info.channels, 2);
    EXPECT_EQ(wav->info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
    EXPECT_EQ(wav->info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
    std::size_t onset = wav->samples.size();
    for (std::size_t i = 0; i < wav->samples.size(); ++i) {
        if (std::fabs(wav->samples[i]) > 0.002f) {
            onset = i / 2;
            break;
        }
    }
    ASSERT_LT(onset, wav->samples.size());
    EXPECT_NEAR(double(onset), double(kOn), 0.005 * kRate);
}

TEST_F(WavRecorderTest, AFullRingDropsFramesInsteadOfWaiting) {
    WavRecorder recorder(0.01); // room for about 10 ms
    ASSERT_TRUE(recorder.open(path, kRate));
    std::vector<float> block(2 * 256);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = 0.25f * float(std::sin(double(i) * 0.05));
    constexpr int kBlocks = 400;
    for (int i = 0; i < kBlocks; ++i)
        recorder.audioRendered(block.data(), 256, 22050); // the blocks' rate wins
    EXPECT_FALSE(recorder.finish());                      // frames were lost
    EXPECT_GT(recorder.framesDropped(), 0);
    EXPECT_EQ(recorder.framesWritten() + recorder.framesDropped(), 256 * kBlocks);
    const auto wav = readWav(path);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->info.frames, recorder.framesWritten());
    EXPECT_EQ(wav->info.samplerate, 22050);
}

TEST_F(WavRecorderTest, APauseOfTheOutputIsKeptAsSilence) {
    WavRecorder recorder;
    ASSERT_TRUE(recorder.open(path, kRate));
    constexpr int kTenth = kRate / 10;
    const std::vector<float> loud(2 * kTenth, 0.5f), soft(2 * kTenth, 0.25f);
    for (int i = 0; i < 10; ++i) // a second of sound, handed over at once
        recorder.audioRendered(loud.data(), kTenth, kRate);
    // Its last block would have ended 0.1 s from now; the output then pauses.
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    for (int i = 0; i < 10; ++i)
        recorder.audioRendered(soft.data(), kTenth, kRate);
    EXPECT_TRUE(recorder.finish());
    const auto wav = readWav(path);
    ASSERT_TRUE(wav);
    // One second, about 1.5 s of silence (longer if the sleep overslept), one second.
    EXPECT_GE(double(wav->info.frames) / kRate, 3.45);
    EXPECT_LE(double(wav->info.frames) / kRate, 3.9);
    const auto at = [&](double seconds) { return wav->samples[2 * std::size_t(seconds * kRate)]; };
    EXPECT_NEAR(at(0.99), 0.5f, 0.001f);
    EXPECT_EQ(at(1.1), 0.0f);
    EXPECT_EQ(at(2.3), 0.0f);
    EXPECT_NEAR(wav->samples.back(), 0.25f, 0.001f);
    EXPECT_NEAR(wav->samples[wav->samples.size() - 2 * kRate], 0.25f, 0.001f);
}

// A tone at a rate, handed over in blocks as the audio thread does.
void playTone(WavRecorder& recorder, double hz, int rate, double seconds) {
    constexpr int kBlock = 1024;
    std::vector<float> block(2 * kBlock);
    const auto frames = static_cast<int>(seconds * rate);
    for (int done = 0; done < frames; done += kBlock) {
        for (int i = 0; i < kBlock; ++i)
            block[2 * i] = block[2 * i + 1] =
                0.5f * float(std::sin(2 * M_PI * hz * double(done + i) / rate));
        recorder.audioRendered(block.data(), std::size_t(std::min(kBlock, frames - done)), rate);
    }
}

// The tone's frequency between two times, by its rising zero crossings.
double toneAt(const WavFile& wav, double from, double to) {
    const int rate = wav.info.samplerate;
    int rises = 0;
    std::size_t first = 0, last = 0;
    for (auto i = std::size_t(from * rate); i < std::size_t(to * rate); ++i)
        if (wav.samples[2 * i] <= 0 && wav.samples[2 * i + 2] > 0) {
            if (rises++ == 0) first = i;
            last = i;
        }
    return rises > 1 ? double(rises - 1) * rate / double(last - first) : 0;
}

TEST_F(WavRecorderTest, AnOutputAtAnotherRateKeepsItsPitchAndLength) {
    WavRecorder recorder;
    ASSERT_TRUE(recorder.open(path)); // the rate is not known yet
    playTone(recorder, 440, 44100, 1.0);
    playTone(recorder, 440, 48000, 1.0); // the output came back at its own rate
    playTone(recorder, 440, 22050, 1.0);
    EXPECT_TRUE(recorder.finish());
    const auto wav = readWav(path);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->info.samplerate, 44100); // the first block's
    EXPECT_NEAR(double(wav->info.frames) / 44100, 3.0, 0.01);
    for (const double second : {0.0, 1.0, 2.0})
        EXPECT_NEAR(toneAt(*wav, second + 0.1, second + 0.9), 440.0, 2.0) << "from " << second;
}

TEST_F(WavRecorderTest, AFullDiskStopsTheWritingAndKeepsTheFile) {
    WavRecorder recorder;
    ASSERT_TRUE(recorder.open(path, kRate));
    // A file size limit fails writes the way a full disk does.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::vector<float> block(2 * 1024, 0.5f);
    for (int i = 0; i < 100 && !recorder.failed(); ++i) {
        recorder.audioRendered(block.data(), 1024, kRate);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (int i = 0; i < 200 && !recorder.failed(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool failed = recorder.failed();
    const bool finished = recorder.finish();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_TRUE(failed);
    EXPECT_FALSE(recorder.error().isEmpty());
    EXPECT_FALSE(finished);
    const auto wav = readWav(path);
    ASSERT_TRUE(wav);
    EXPECT_GT(wav->info.frames, 8000);
    EXPECT_LE(wav->info.frames * 4, 64 * 1024);
    EXPECT_NEAR(wav->samples.back(), 0.5f, 0.001f);
}

TEST_F(WavRecorderTest, AFileThatCannotBeMadeSaysWhy) {
    WavRecorder recorder;
    EXPECT_FALSE(recorder.open(dir.filePath(QStringLiteral("no/such/folder/x.wav")), kRate));
    EXPECT_FALSE(recorder.error().isEmpty());
    const float frame[2] = {0, 0};
    recorder.audioRendered(frame, 1, kRate); // nowhere to go, and no crash
}

} // namespace

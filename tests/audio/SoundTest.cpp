// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/AudioOutput.h"
#include "audio/AudioScheduler.h"
#include "audio/AudioTap.h"
#include "audio/EmbeddedSynth.h"
#include "audio/SystemMidiService.h"
#include "engine/midi/TMidiPort.h"
#include "support/SoundAnalysis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

constexpr double kRate = EmbeddedSynth::kDefaultSampleRate;

using sound::haveSoundFont;
using sound::pack;
using sound::renderMono;
using sound::rms;

std::vector<float> slice(const std::vector<float>& samples, double from, double to) {
    return sound::slice(samples, int(kRate), from, to);
}

double fundamental(const std::vector<float>& x) {
    return sound::fundamental(x, int(kRate));
}

// Silence renders below 1e-5; a held note at the synth's default gain is
// around 0.005 to 0.015.
constexpr double kAudible = 0.002;

double noteFrequency(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// --- the synthesizer heard offline -----------------------------------------

struct Voice {
    const char* name;
    int channel;
    int program;
    int note;
};

void PrintTo(const Voice& voice, std::ostream* out) {
    *out << voice.name;
}

class SynthVoiceTest : public ::testing::TestWithParam<Voice> {
protected:
    void SetUp() override {
        if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
        ASSERT_TRUE(synth.isReady()) << synth.error().toStdString();
    }
    EmbeddedSynth synth;
};

TEST_P(SynthVoiceTest, NoteIsSilentBeforeAtPitchWhilePlayingAndDecaysAfter) {
    const Voice voice = GetParam();
    ASSERT_EQ(synth.send(pack(0xC0 + voice.channel, voice.program)), 0);

    EXPECT_LT(rms(renderMono(synth, 0.2)), 1e-5) << "sound before any note";

    ASSERT_EQ(synth.send(pack(0x90 + voice.channel, voice.note, 100)), 0);
    const std::vector<float> playing = renderMono(synth, 1.0);
    const std::vector<float> held = slice(playing, 0.3, 0.9);
    const double level = rms(held);
    EXPECT_GT(level, kAudible) << "the note is not audible";

    const double expected = noteFrequency(voice.note);
    const double heard = fundamental(held);
    EXPECT_NEAR(heard, expected, 0.03 * expected) << "fundamental off the note";

    // Velocity 0 ends the note, as the piece tick does.
    ASSERT_EQ(synth.send(pack(0x90 + voice.channel, voice.note, 0)), 0);
    const std::vector<float> after = renderMono(synth, 2.5);
    EXPECT_LT(rms(slice(after, 2.2, 2.5)), 0.05 * level) << "the note did not decay";
}

INSTANTIATE_TEST_SUITE_P(Voices, SynthVoiceTest,
                         ::testing::Values(Voice{"FluteA4", 0, 73, 69},
                                           Voice{"PianoC4OnChannel2", 2, 0, 60},
                                           Voice{"TrumpetG4OnChannel3", 3, 56, 67}),
                         [](const auto& info) { return std::string(info.param.name); });

class SynthTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
        ASSERT_TRUE(synth.isReady()) << synth.error().toStdString();
        EXPECT_TRUE(synth.error().isEmpty());
        ASSERT_EQ(synth.send(pack(0xC0, 73)), 0);
    }
    EmbeddedSynth synth;
};

TEST_F(SynthTest, NoteOffAndAllNotesOffEndANoteToo) {
    for (const std::uint32_t end : {pack(0x80, 69, 64), pack(0xB0, 123, 0)}) {
        ASSERT_EQ(synth.send(pack(0x90, 69, 100)), 0);
        const double level = rms(slice(renderMono(synth, 0.6), 0.3, 0.6));
        ASSERT_GT(level, kAudible);
        EXPECT_EQ(synth.send(end), 0);
        EXPECT_LT(rms(slice(renderMono(synth, 2.5), 2.2, 2.5)), 0.05 * level)
            << std::hex << "end message 0x" << end;
    }
}

TEST_F(SynthTest, MalformedMessagesAreRefusedAndMakeNoSound) {
    EXPECT_NE(synth.send(pack(0x45, 69, 100)), 0) << "no status byte";
    EXPECT_NE(synth.send(pack(0x90, 0x80 | 69, 100)), 0) << "note with its top bit set";
    EXPECT_NE(synth.send(pack(0x90, 69, 0xE4)), 0) << "velocity with its top bit set";
    EXPECT_NE(synth.send(pack(0xF0, 0x7E, 0x7F)), 0) << "exclusive as a short message";
    EXPECT_LT(rms(renderMono(synth, 0.5)), 1e-5);
    // A program change has no second data byte, so whatever is there is ignored.
    EXPECT_EQ(synth.send(pack(0xC0, 73, 0xFF)), 0);
    // A note that is not sounding can still be ended.
    EXPECT_EQ(synth.send(pack(0x90, 40, 0)), 0);
}

TEST_F(SynthTest, MissingAudioOutputsAreNamedWithTheirReasons) {
    {
        AudioOutput output(synth, {QStringLiteral("no-such-output")});
        EXPECT_EQ(output.problem(),
                  QStringLiteral("no audio output (no-such-output: no such audio output); "
                                 "trying again"));
    }
    {
        AudioOutput output(synth,
                           {QStringLiteral("first-missing"), QStringLiteral("second-missing"),
                            QStringLiteral("third-missing")});
        EXPECT_TRUE(output.problem().startsWith(QStringLiteral(
            "no audio output (first-missing: no such audio output; second-missing: ")))
            << output.problem().toStdString();
        EXPECT_TRUE(output.problem().contains(QStringLiteral("; third-missing: ")));
    }
    {
        AudioOutput output(synth, {});
        EXPECT_FALSE(output.problem().isEmpty());
    }
    {
        AudioOutput output(synth, {QStringLiteral("none")});
        EXPECT_EQ(output.problem(), QString()) << "playing into nothing was asked for";
    }

    // Still playable offline after every output failed.
    ASSERT_EQ(synth.send(pack(0x90, 69, 100)), 0);
    EXPECT_GT(rms(slice(renderMono(synth, 0.5), 0.2, 0.5)), kAudible);
}

// --- the scheduler: each message at its own frame ---------------------------

constexpr auto kLead = std::chrono::milliseconds(45);
constexpr std::int64_t kBlock = 64; // FluidSynth's own block

// Renders in 256-frame pieces as an audio thread would and posts one note-on
// meant for frame `due` once the render has reached frame `postAt`; gives the
// first frame of the rendered audio that is not silent (silence renders as
// exact zeros).
std::int64_t heardOnset(std::int64_t due, std::int64_t postAt) {
    EmbeddedSynth synth;
    EXPECT_TRUE(synth.isReady()) << synth.error().toStdString();
    AudioScheduler scheduler(synth, kLead, EmbeddedSynth::kDefaultSampleRate);
    scheduler.setFrameZero(MidiClock::now());
    scheduler.post(pack(0xC0, 0), scheduler.timeOf(0)); // piano: a sharp attack
    const std::int64_t total = std::max(due, postAt) + 8192;
    std::vector<float> out(static_cast<std::size_t>(2 * total));
    bool posted = false;
    for (std::int64_t at = 0; at < total; at += 256) {
        if (!posted && at >= postAt) {
            scheduler.post(pack(0x90, 60, 110), scheduler.timeOf(due) - kLead);
            posted = true;
        }
        EXPECT_EQ(scheduler.position(), at);
        scheduler.render(out.data() + 2 * at,
                         static_cast<std::size_t>(std::min<std::int64_t>(256, total - at)));
    }
    for (std::size_t i = 0; i < out.size(); ++i)
        if (std::fabs(out[i]) > 1e-6f) return static_cast<std::int64_t>(i / 2);
    return -1;
}

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    }
};

TEST_F(SchedulerTest, ANoteSoundsWithinOneBlockOfItsTimeWhenItArrivesEarlyOrOnTime) {
    // Frames that do not fall on a render piece's or a synthesis block's edge.
    for (const std::int64_t due : {std::int64_t(10000), std::int64_t(22071)}) {
        const std::int64_t early = heardOnset(due, 0);
        EXPECT_GE(early, due) << "early, due " << due;
        EXPECT_LT(early, due + kBlock) << "early, due " << due;
    }
    // Posted just as the render reaches the frame it must be applied at
    // (the limiter's look-ahead before it is heard).
    const std::int64_t due = 40 * 256 + PeakLimiter::kLookAhead;
    const std::int64_t onTime = heardOnset(due, 40 * 256);
    EXPECT_GE(onTime, due);
    EXPECT_LT(onTime, due + kBlock);
}

TEST_F(SchedulerTest, ALateNotePlaysAtOnceAndOneMoreThanATickLateNotAtAll) {
    const std::int64_t arrived = 50 * 256;
    const std::int64_t late = heardOnset(arrived - 1500, arrived);
    EXPECT_GE(late, arrived);
    EXPECT_LT(late, arrived + PeakLimiter::kLookAhead + kBlock);
    // Out of time by more than a tick: better unheard.
    EXPECT_EQ(heardOnset(arrived - 3000, arrived), -1);
}

TEST_F(SchedulerTest, FramesFollowTheClockAndTheLead) {
    EmbeddedSynth synth;
    AudioScheduler scheduler(synth, kLead, EmbeddedSynth::kDefaultSampleRate);
    const MidiTime zero = MidiClock::now();
    scheduler.setFrameZero(zero);
    constexpr int kRate = EmbeddedSynth::kDefaultSampleRate;
    EXPECT_EQ(scheduler.frameAt(zero + std::chrono::seconds(1)), kRate);
    EXPECT_EQ(scheduler.frameAt(scheduler.timeOf(123457)), 123457);
    EXPECT_EQ(scheduler.frameAt(zero - std::chrono::milliseconds(10)), -kRate / 100);
}

// --- the synthesizer without a usable soundfont ------------------------------

class SynthWithoutSoundFontTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(SynthWithoutSoundFontTest, NothingFoundNamesWhereItLooked) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    EmbeddedSynth synth({dir.filePath(QStringLiteral("a.sf2")),
                         dir.filePath(QStringLiteral("sub/b.sf2")),
                         dir.filePath(QStringLiteral("c.sf2"))});
    EXPECT_FALSE(synth.isReady());
    EXPECT_EQ(synth.error(), QStringLiteral("no General MIDI soundfont found in ") + dir.path() +
                                 QStringLiteral(", ") + dir.filePath(QStringLiteral("sub")));
    EXPECT_NE(synth.send(pack(0x90, 60, 100)), 0);
    std::vector<float> buffer(64);
    EXPECT_FALSE(synth.render(buffer));
    EXPECT_EQ(synth.activeVoices(), 0);

    EmbeddedSynth nowhere(QStringList{});
    EXPECT_FALSE(nowhere.isReady());
    EXPECT_EQ(nowhere.error(), QStringLiteral("no General MIDI soundfont found"));
}

TEST_F(SynthWithoutSoundFontTest, DamagedFilesAreSkippedAndExplained) {
    const QString text = write(QStringLiteral("text.sf2"), "not a soundfont at all\n");
    const QString empty = write(QStringLiteral("empty.sf2"), {});
    QByteArray cut("RIFF\x00\x10\x00\x00sfbkLIST", 16);
    cut.append(QByteArray(64, '\x7F'));
    const QString truncated = write(QStringLiteral("truncated.sf2"), cut);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.sf2")));
    const QString folder = dir.filePath(QStringLiteral("folder.sf2"));

    EmbeddedSynth broken({text, empty, folder, truncated});
    EXPECT_FALSE(broken.isReady());
    const QString why = broken.error();
    EXPECT_TRUE(why.startsWith(QStringLiteral("no usable General MIDI soundfont: ")))
        << why.toStdString();
    EXPECT_TRUE(why.contains(text + QStringLiteral(" is not a SoundFont file")));
    EXPECT_TRUE(why.contains(empty + QStringLiteral(" is not a SoundFont file")));
    EXPECT_TRUE(why.contains(truncated + QStringLiteral(" could not be loaded")));
    EXPECT_FALSE(why.contains(folder));

    if (!haveSoundFont()) return;
    // A damaged file ahead of a good one only costs a detour.
    QStringList candidates{text, truncated};
    candidates += EmbeddedSynth::defaultSoundFonts();
    EmbeddedSynth recovered(candidates);
    EXPECT_TRUE(recovered.isReady()) << recovered.error().toStdString();
    EXPECT_TRUE(EmbeddedSynth::defaultSoundFonts().contains(recovered.soundFont()));
}

// --- the system's MIDI outputs ---------------------------------------------

TEST(SystemMidiServiceTest, ListsTheSynthFirstAndNothingPastTheEnd) {
    SystemMidiService service;
    const unsigned count = service.deviceCount();
    ASSERT_GE(count, 1u);
    EXPECT_EQ(service.deviceName(0), QStringLiteral("Marulet Synth"));
    for (unsigned i = 1; i < count; ++i)
        EXPECT_TRUE(service.deviceName(i).has_value()) << "port " << i;
    EXPECT_FALSE(service.deviceName(count).has_value());
    EXPECT_FALSE(service.deviceName(~0u).has_value());
    EXPECT_FALSE(service.open(count).has_value());
    EXPECT_FALSE(service.open(~0u).has_value());
    if (!QFileInfo::exists(QStringLiteral("/dev/snd/seq"))) {
        EXPECT_EQ(count, 1u) << "external ports without an ALSA sequencer";
    }
}

TEST(SystemMidiServiceTest, SynthWithoutSoundFontFailsToOpenAndSaysWhy) {
    SystemMidiService service({QStringLiteral("/nonexistent-marulet/x.sf2")});
    EXPECT_EQ(service.deviceName(0), QStringLiteral("Marulet Synth"));
    EXPECT_FALSE(service.open(0).has_value());
    EXPECT_EQ(
        service.deviceName(0),
        QStringLiteral(
            "Marulet Synth (no sound: no General MIDI soundfont found in /nonexistent-marulet)"));
    EXPECT_EQ(service.send(1, pack(0x90, 60, 100), MidiClock::now()),
              SystemMidiService::kInvalidHandle);
    service.close(1);
    EXPECT_FALSE(service.open(0).has_value()) << "a second try fails the same way";
}

TEST(SystemMidiServiceTest, SynthWithoutAudioOutputOpensSaysWhyAndKeepsTrying) {
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    SystemMidiService service(EmbeddedSynth::defaultSoundFonts(),
                              {QStringLiteral("missing-one"), QStringLiteral("missing-two")});
    const auto handle = service.open(0);
    ASSERT_TRUE(handle.has_value()) << "the port opens and sound comes once an output works";
    const QString name = service.deviceName(0).value_or(QString());
    EXPECT_EQ(name, QStringLiteral("Marulet Synth (no sound: no audio output (missing-one: no "
                                   "such audio output; missing-two: no such audio output); "
                                   "trying again)"));
    EXPECT_EQ(service.deviceProblem(0), name.mid(25, name.size() - 26));
    EXPECT_EQ(service.send(*handle, pack(0x90, 60, 100), MidiClock::now()), 0);
    service.close(*handle);
    EXPECT_EQ(service.deviceName(0), QStringLiteral("Marulet Synth"));
}

TEST(SystemMidiServiceTest, RealAudioOutputEitherPlaysOrSaysWhy) {
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    SystemMidiService service;
    const auto handle = service.open(0);
    ASSERT_TRUE(handle.has_value());
    const QString name = service.deviceName(0).value_or(QString());
    if (name != QStringLiteral("Marulet Synth")) {
        EXPECT_TRUE(
            name.startsWith(QStringLiteral("Marulet Synth (no sound: no audio output (pulse: ")))
            << name.toStdString();
        EXPECT_TRUE(name.contains(QStringLiteral("; alsa: "))) << name.toStdString();
    }
    EXPECT_EQ(service.send(*handle, pack(0xC0, 73), MidiClock::now()), 0);
    service.close(*handle);
}

TEST(SystemMidiServiceTest, MessageLengthFollowsTheStatusAndRefusesGarbledBytes) {
    EXPECT_EQ(SystemMidiService::messageLength(pack(0x90, 60, 100)), 3);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xBF, 123, 0)), 3);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xE0, 0, 64)), 3);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xC3, 12, 0xFF)), 2) << "unused byte ignored";
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xD0, 5)), 2);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xF2, 1, 2)), 3);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xF3, 1)), 2);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xF8, 0xFF, 0xFF)), 1);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xFF)), 1);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0x3C, 100)), 0) << "no status";
    EXPECT_EQ(SystemMidiService::messageLength(pack(0x90, 0xBC, 100)), 0);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xB0, 7, 0x80)), 0);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xC0, 0xC8)), 0);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xF0, 1, 2)), 0);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xF7)), 0);
    EXPECT_EQ(SystemMidiService::messageLength(pack(0xF4)), 0);
}

// --- the port on the real service --------------------------------------------

TEST(SystemMidiPortTest, PortWhoseOpenFailedDropsEverySend) {
    SystemMidiService service({QStringLiteral("/nonexistent-marulet/x.sf2")});
    TMidiPort port(service);
    EXPECT_EQ(port.GetNumDevs(), service.deviceCount());
    port.deviceId = 0;
    port.Open();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.NoteOn(0, 60, 100), TMidiPort::kInvalidHandle);
    EXPECT_EQ(port.AllNotesOff(0), TMidiPort::kInvalidHandle);
    port.ProgramChange(2, 40);
    EXPECT_EQ(port.programs[2], 40);
    port.Close();
    EXPECT_FALSE(port.isOpen());

    port.deviceId = service.deviceCount();
    port.Open();
    EXPECT_FALSE(port.isOpen());
}

// Keeps what the synthesizer plays; the test thread reads it when the audio
// thread can no longer call.
class Capture : public AudioTap {
public:
    void audioRendered(const float* data, std::size_t frames, int rate) override {
        EXPECT_EQ(rate, EmbeddedSynth::kDefaultSampleRate);
        samples.insert(samples.end(), data, data + 2 * frames);
        ++calls;
    }
    std::vector<float> samples;
    std::atomic<int> calls{0};
};

// The "none" output stands in for a sound card: it takes frames at the
// clock's pace, so the whole path from port to samples runs without a sound
// server, and the tap hears what would be played.
TEST(SystemMidiPortTest, SynthPlaysThroughItsAudioThreadIntoTheTapAndReopens) {
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    SystemMidiService service(EmbeddedSynth::defaultSoundFonts(), {QStringLiteral("none")});
    Capture first;
    service.setAudioTap(&first); // before the open: applies to the later open
    TMidiPort port(service);
    port.Open();
    ASSERT_TRUE(port.isOpen()) << service.deviceName(0)->toStdString();
    EXPECT_EQ(service.deviceName(0), QStringLiteral("Marulet Synth"));
    port.ProgramChange(0, 73);
    port.SetVolume(0, 100);
    EXPECT_EQ(port.NoteOn(0, 69, 110), 0);
    EXPECT_EQ(port.ShortMsg(0x90, 0x80, 1), SystemMidiService::kBadMessage);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(port.NoteOn(0, 69, 0), 0);

    Capture second;
    service.setAudioTap(&second);
    const int firstCalls = first.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(first.calls, firstCalls) << "the old tap was called after it was replaced";
    EXPECT_GT(second.calls, 0);
    EXPECT_GT(first.samples.size(), std::size_t(2 * kRate / 5)) << "too little was played";
    EXPECT_GT(rms(first.samples), 0.003) << "the audio thread played silence";
    float peak = 0;
    for (float s : first.samples)
        peak = std::max(peak, std::fabs(s));
    EXPECT_LT(peak, 1.0f);

    const MidiHandle handle = *port.handle;
    port.Close();
    EXPECT_EQ(service.send(handle, pack(0x90, 69, 100), MidiClock::now()),
              SystemMidiService::kInvalidHandle);

    service.setAudioTap(nullptr);
    const int secondCalls = second.calls;
    port.Open();
    EXPECT_TRUE(port.isOpen()) << "opening again after a close";
    EXPECT_EQ(port.NoteOn(0, 60, 100), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(second.calls, secondCalls) << "a removed tap was called";
}

} // namespace

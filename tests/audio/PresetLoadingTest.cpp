// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// A program's samples are read from the soundfont before its program change
// can reach the audio thread, and let go once no channel uses it. The kernel
// tells every open of a private copy of the soundfont, so the tests see
// exactly when the synthesizer reads it.
#include "audio/AudioTap.h"
#include "audio/EmbeddedSynth.h"
#include "audio/SystemMidiService.h"
#include "engine/midi/TMidiPort.h"
#include "support/SoundAnalysis.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using sound::pack;

constexpr int kFlute = 73;
constexpr int kViolin = 40;
constexpr int kTrumpet = 56;
constexpr int kOrgan = 19; // sounds as long as its key is held

// Counts the opens of one file as they happen; the kernel queues each one
// before the open returns, so nothing here waits or races.
class FileOpens {
public:
    explicit FileOpens(const QString& path) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(m_fd, 0);
        EXPECT_GE(inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN), 0);
    }
    ~FileOpens() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileOpens(const FileOpens&) = delete;
    FileOpens& operator=(const FileOpens&) = delete;

    // The opens since the last call.
    int take() {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0) return opens;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_OPEN) ++opens;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int m_fd;
};

double rms(const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

class PresetLoadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The small soundfont when it is there: the copy is private, so no
        // other test's synthesizer opens it.
        QStringList found;
        for (const QString& path : EmbeddedSynth::defaultSoundFonts())
            if (QFileInfo(path).isFile()) found << path;
        if (found.isEmpty()) GTEST_SKIP() << "no General MIDI soundfont installed";
        QString source = found.first();
        for (const QString& path : found)
            if (path.endsWith(QStringLiteral("TimGM6mb.sf2"))) source = path;
        ASSERT_TRUE(dir.isValid());
        copy = dir.filePath(QStringLiteral("gm.sf2"));
        ASSERT_TRUE(QFile::copy(source, copy));
    }

    // What the port does for a program change: prepare, then play.
    static void programChange(EmbeddedSynth& synth, int channel, int program) {
        synth.prepare(pack(0xC0 | channel, program));
        EXPECT_EQ(synth.send(pack(0xC0 | channel, program)), 0);
    }
    static std::vector<float> render(EmbeddedSynth& synth, double seconds) {
        std::vector<float> out(
            2 * static_cast<std::size_t>(seconds * EmbeddedSynth::kDefaultSampleRate));
        EXPECT_TRUE(synth.render(out));
        return out;
    }
    static void renderUntilSilent(EmbeddedSynth& synth) {
        for (int i = 0; i < 1200 && synth.activeVoices() > 0; ++i)
            render(synth, 0.05);
        ASSERT_EQ(synth.activeVoices(), 0);
    }

    QTemporaryDir dir;
    QString copy;
};

TEST_F(PresetLoadingTest, APreparedProgramPlaysWithoutReadingTheSoundFont) {
    EmbeddedSynth synth({copy});
    ASSERT_TRUE(synth.isReady()) << synth.error().toStdString();
    FileOpens opens(copy);

    synth.prepare(pack(0xC0, kFlute));
    EXPECT_GT(opens.take(), 0) << "preparing did not read the samples";
    EXPECT_EQ(synth.send(pack(0xC0, kFlute)), 0);
    EXPECT_EQ(synth.send(pack(0x90, 72, 110)), 0);
    EXPECT_GT(rms(render(synth, 0.3)), 0.002) << "the prepared program is silent";
    EXPECT_EQ(opens.take(), 0) << "the soundfont was read while playing";

    // The same program on another channel shares what was loaded.
    synth.prepare(pack(0xC1, kFlute));
    EXPECT_EQ(opens.take(), 0);

    // A program change that skips prepare() reads the disk where it is
    // played: what the audio thread must never do, and what the watch sees.
    EXPECT_EQ(synth.send(pack(0xC2, kTrumpet)), 0);
    EXPECT_EQ(synth.send(pack(0x92, 60, 110)), 0);
    render(synth, 0.1);
    EXPECT_GT(opens.take(), 0);
}

TEST_F(PresetLoadingTest, AProgramNoChannelUsesIsLetGoOnceItsLastNoteHasEnded) {
    EmbeddedSynth synth({copy});
    ASSERT_TRUE(synth.isReady()) << synth.error().toStdString();
    const int initial = synth.heldPresets(); // the first program of every channel
    ASSERT_GT(initial, 0);

    programChange(synth, 0, kFlute);
    EXPECT_EQ(synth.heldPresets(), initial + 1);
    synth.prepare(pack(0x90, 72, 110));
    synth.send(pack(0x90, 72, 110));
    render(synth, 0.1);

    // The flute's note still sounds after the change: its samples stay.
    programChange(synth, 0, kViolin);
    synth.prepare(pack(0x90, 60, 100));
    synth.send(pack(0x90, 60, 100));
    render(synth, 0.1);
    synth.prepare(pack(0x90, 60, 0));
    EXPECT_EQ(synth.heldPresets(), initial + 2);

    synth.send(pack(0x90, 60, 0));
    synth.prepare(pack(0x90, 72, 0));
    synth.send(pack(0x90, 72, 0));
    renderUntilSilent(synth);
    synth.prepare(pack(0xB0, 7, 100)); // any later message gives the chance
    EXPECT_EQ(synth.heldPresets(), initial + 1) << "the unused flute was kept";

    // Its samples are gone: playing it unprepared has to read them again,
    // while the violin a channel still has reads nothing.
    FileOpens opens(copy);
    synth.send(pack(0xC3, kViolin));
    synth.send(pack(0x93, 60, 100));
    render(synth, 0.05);
    EXPECT_EQ(opens.take(), 0);
    synth.send(pack(0xC2, kFlute));
    synth.send(pack(0x92, 72, 110));
    render(synth, 0.05);
    EXPECT_GT(opens.take(), 0);
}

TEST_F(PresetLoadingTest, GoingThroughEveryProgramHoldsOnlyWhatIsUsedOrStillSounds) {
    EmbeddedSynth synth({copy});
    ASSERT_TRUE(synth.isReady()) << synth.error().toStdString();
    const int initial = synth.heldPresets(); // the first program of every channel

    // An organ note held all along on the channel that goes through them all.
    programChange(synth, 1, kOrgan);
    synth.prepare(pack(0x91, 48, 100));
    synth.send(pack(0x91, 48, 100));
    render(synth, 0.05);
    const int organVoices = synth.activeVoices();
    ASSERT_GT(organVoices, 0);
    for (int program = 0; program < 128; ++program) {
        if (program == kOrgan) continue;
        programChange(synth, 1, program);
        synth.prepare(pack(0x91, 64, 100));
        synth.send(pack(0x91, 64, 100));
        render(synth, 0.05);
        synth.prepare(pack(0x91, 64, 0));
        synth.send(pack(0x91, 64, 0));
    }
    for (int i = 0; i < 1200 && synth.activeVoices() > organVoices; ++i)
        render(synth, 0.05);
    ASSERT_EQ(synth.activeVoices(), organVoices);
    synth.prepare(pack(0xB1, 7, 100)); // any later message gives the chance
    // Channel 1's last program and the organ that still sounds; the notes
    // of the others have ended, whatever the organ does.
    EXPECT_EQ(synth.heldPresets(), initial + 2);

    synth.prepare(pack(0x91, 48, 0));
    synth.send(pack(0x91, 48, 0));
    renderUntilSilent(synth);
    synth.prepare(pack(0xB1, 7, 100));
    EXPECT_EQ(synth.heldPresets(), initial + 1);

    // A reset gives every channel its first program back, all of it held.
    synth.prepare(0xFF);
    synth.send(0xFF);
    synth.prepare(pack(0xB1, 7, 100));
    EXPECT_EQ(synth.heldPresets(), initial);
}

// The real service prepares in the caller's thread, before the message is
// posted to the audio thread, which plays it 45 ms later.
TEST_F(PresetLoadingTest, TheServiceLoadsAProgramBeforePostingItsChange) {
    class Loudness : public AudioTap {
    public:
        void audioRendered(const float* data, std::size_t frames, int) override {
            double sum = 0;
            for (std::size_t i = 0; i < 2 * frames; ++i)
                sum += double(data[i]) * data[i];
            if (frames > 0 && std::sqrt(sum / double(2 * frames)) > 0.002) heard = true;
        }
        std::atomic<bool> heard{false};
    } tap;
    SystemMidiService service({copy}, {QStringLiteral("none")});
    service.setAudioTap(&tap);
    TMidiPort port(service);
    port.Open();
    ASSERT_TRUE(port.isOpen()) << service.deviceName(0)->toStdString();
    FileOpens opens(copy);

    port.ProgramChange(0, kFlute);
    EXPECT_GT(opens.take(), 0) << "the program change was posted before its samples were read";
    port.SetVolume(0, 100);
    port.NoteOn(0, 72, 110);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!tap.heard && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(tap.heard) << "the note was never heard";
    port.NoteOn(0, 72, 0);
    port.Close();
    service.setAudioTap(nullptr);
    EXPECT_EQ(opens.take(), 0) << "the audio thread read the soundfont";
}

} // namespace

#include "sound/EmbeddedSynth.h"
#include "sound/SystemMidiService.h"
#include "sound/TMidiPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

constexpr double kRate = EmbeddedSynth::kSampleRate;
// Silence renders below 1e-5; a held note at the synth's default gain is
// around 0.005 to 0.015.
constexpr double kAudible = 0.002;

std::uint32_t pack(int status, int data1 = 0, int data2 = 0) {
    return std::uint32_t(status) | (std::uint32_t(data1) << 8) | (std::uint32_t(data2) << 16);
}

double noteFrequency(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

bool haveSoundFont() {
    for (const QString& path : EmbeddedSynth::defaultSoundFonts())
        if (QFileInfo(path).isFile()) return true;
    return false;
}

// Renders seconds of sound and mixes it down to mono.
std::vector<float> renderMono(EmbeddedSynth& synth, double seconds) {
    std::vector<float> stereo(2 * static_cast<std::size_t>(seconds * kRate));
    EXPECT_TRUE(synth.render(stereo));
    std::vector<float> mono(stereo.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return mono;
}

std::vector<float> slice(const std::vector<float>& samples, double from, double to) {
    const auto begin = static_cast<std::size_t>(from * kRate);
    const auto end = std::min(samples.size(), static_cast<std::size_t>(to * kRate));
    return {samples.begin() + static_cast<std::ptrdiff_t>(begin),
            samples.begin() + static_cast<std::ptrdiff_t>(end)};
}

double rms(const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

// The fundamental by the cumulative mean normalised difference (YIN): the first
// lag whose difference dips under the threshold, refined by a parabola. Unlike a
// plain spectrum peak it does not jump to a strong second harmonic.
double fundamental(const std::vector<float>& x, double minHz = 60, double maxHz = 2000) {
    const auto maxLag = static_cast<std::size_t>(kRate / minHz);
    const auto minLag = static_cast<std::size_t>(kRate / maxHz);
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
    std::size_t best = 0;
    for (std::size_t lag = minLag; lag + 1 < cmnd.size(); ++lag)
        if (cmnd[lag] < 0.15) {
            while (lag + 2 < cmnd.size() && cmnd[lag + 1] < cmnd[lag])
                ++lag;
            best = lag;
            break;
        }
    if (best == 0) return 0;
    const double a = cmnd[best - 1], b = cmnd[best], c = cmnd[best + 1];
    const double denom = a - 2 * b + c;
    const double shift = denom != 0 ? 0.5 * (a - c) / denom : 0;
    return kRate / (double(best) + shift);
}

// The 16-bit samples of a WAV file as written by FluidSynth's file driver,
// past its 44-byte header.
std::vector<float> wavSamples(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 44) return {};
    const QByteArray data = file.readAll().mid(44);
    std::vector<float> samples(static_cast<std::size_t>(data.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = std::uint8_t(data[qsizetype(2 * i)]);
        const auto high = std::uint8_t(data[qsizetype(2 * i + 1)]);
        samples[i] = std::int16_t(std::uint16_t(low | (high << 8))) / 32768.0f;
    }
    return samples;
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

TEST_F(SynthTest, MissingAudioDriversAreNamedWithTheirReasons) {
    EXPECT_FALSE(synth.startAudio({QStringLiteral("no-such-driver")}));
    EXPECT_FALSE(synth.hasAudio());
    EXPECT_TRUE(synth.error().startsWith(
        QStringLiteral("no audio output: no-such-driver failed (no-such-driver: ")))
        << synth.error().toStdString();

    EXPECT_FALSE(
        synth.startAudio({QStringLiteral("first-missing"), QStringLiteral("second-missing"),
                          QStringLiteral("third-missing")}));
    EXPECT_TRUE(synth.error().startsWith(QStringLiteral(
        "no audio output: first-missing, second-missing and third-missing all failed (")))
        << synth.error().toStdString();
    EXPECT_TRUE(synth.error().contains(QStringLiteral("; third-missing: ")));

    EXPECT_FALSE(synth.startAudio({}));
    EXPECT_FALSE(synth.error().isEmpty());

    // Still playable offline after every driver failed.
    ASSERT_EQ(synth.send(pack(0x90, 69, 100)), 0);
    EXPECT_GT(rms(slice(renderMono(synth, 0.5), 0.2, 0.5)), kAudible);
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
    EXPECT_FALSE(synth.startAudio());
    EXPECT_FALSE(synth.hasAudio());

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
    EXPECT_EQ(service.send(1, pack(0x90, 60, 100), MidiClock::now()), SystemMidiService::kInvalidHandle);
    service.close(1);
    EXPECT_FALSE(service.open(0).has_value()) << "a second try fails the same way";
}

TEST(SystemMidiServiceTest, SynthWithoutAudioOutputSaysWhichDriversFailed) {
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    SystemMidiService service(EmbeddedSynth::defaultSoundFonts(),
                              {QStringLiteral("missing-one"), QStringLiteral("missing-two")});
    EXPECT_FALSE(service.open(0).has_value());
    const QString name = service.deviceName(0).value_or(QString());
    EXPECT_TRUE(name.startsWith(QStringLiteral(
        "Marulet Synth (no sound: no audio output: missing-one and missing-two both failed (")))
        << name.toStdString();
    EXPECT_TRUE(name.endsWith(QStringLiteral("))")));
}

TEST(SystemMidiServiceTest, RealAudioOutputEitherOpensOrSaysWhy) {
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    SystemMidiService service;
    const auto handle = service.open(0);
    if (!handle) {
        EXPECT_TRUE(service.deviceName(0)->startsWith(QStringLiteral(
            "Marulet Synth (no sound: no audio output: pulseaudio, pipewire and alsa")))
            << service.deviceName(0)->toStdString();
        return;
    }
    EXPECT_EQ(service.deviceName(0), QStringLiteral("Marulet Synth"));
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

// FluidSynth's file driver stands in for a sound card: it plays in real time
// into fluidsynth.wav in the working folder, so the whole path from port to
// samples runs without a sound server.
TEST(SystemMidiPortTest, SynthPlaysThroughAnAudioDriverAndReopens) {
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    QTemporaryDir dir;
    const QString home = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    {
        SystemMidiService service(EmbeddedSynth::defaultSoundFonts(), {QStringLiteral("file")});
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
        const MidiHandle first = *port.handle;
        port.Close();
        EXPECT_EQ(service.send(first, pack(0x90, 69, 100), MidiClock::now()), SystemMidiService::kInvalidHandle);

        const std::vector<float> heard = wavSamples(dir.filePath(QStringLiteral("fluidsynth.wav")));
        EXPECT_GT(heard.size(), std::size_t(2 * kRate / 10)) << "too little was played";
        EXPECT_GT(rms(heard), 0.003) << "the driver played silence";

        port.Open();
        EXPECT_TRUE(port.isOpen()) << "opening again after a close";
        EXPECT_EQ(port.NoteOn(0, 60, 100), 0);
    }
    QDir::setCurrent(home);
}

} // namespace

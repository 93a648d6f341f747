// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/AlsaSink.h"
#include "audio/NullSink.h"
#include "audio/PulseSink.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <alsa/asoundlib.h>
#include <chrono>
#include <future>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A sound server's socket that takes connections and never answers, as a
// server stuck after a suspend does.
class HungServer {
public:
    HungServer() {
        path = dir.filePath(QStringLiteral("native")).toStdString();
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        listening = fd >= 0 &&
                    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    ::listen(fd, 8) == 0;
    }
    ~HungServer() {
        for (const int client : clients)
            ::close(client);
        if (fd >= 0) ::close(fd);
    }
    QString name() const { return QStringLiteral("unix:") + QString::fromStdString(path); }
    // Waits (boundedly) for a client and takes it in, saying nothing.
    bool accept() {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, 5000) != 1) return false;
        const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return false;
        clients.push_back(client);
        return true;
    }

    QTemporaryDir dir;
    std::string path;
    int fd = -1;
    bool listening = false;
    std::vector<int> clients;
};

TEST(PulseSinkTest, AServerThatNeverAnswersIsGivenUpInTimeAndThePreferredRateKept) {
    HungServer server;
    ASSERT_TRUE(server.listening);
    PulseSink sink(server.name());
    const auto start = MidiClock::now();
    const QString why = sink.open(44100);
    const auto took = MidiClock::now() - start;
    EXPECT_EQ(why, QStringLiteral("the sound server did not answer"));
    EXPECT_GE(took, PulseSink::kOpenLimit);
    EXPECT_LT(took, PulseSink::kOpenLimit + 1s);
    EXPECT_EQ(sink.rate(), 44100);
}

TEST(PulseSinkTest, CancelEndsAnOpenThatWaitsForTheServer) {
    HungServer server;
    ASSERT_TRUE(server.listening);
    PulseSink sink(server.name());
    auto opening = std::async(std::launch::async, [&sink] { return sink.open(48000); });
    // Once the server has the connection, the open is waiting for its answer.
    ASSERT_TRUE(server.accept());
    const auto cancelled = MidiClock::now();
    sink.cancel();
    ASSERT_EQ(opening.wait_for(PulseSink::kOpenLimit / 4), std::future_status::ready)
        << "cancel() did not end the open";
    EXPECT_EQ(opening.get(), QStringLiteral("opening was abandoned"));
    EXPECT_LT(MidiClock::now() - cancelled, PulseSink::kOpenLimit / 4);
    EXPECT_EQ(sink.rate(), 48000);
}

TEST(PulseSinkTest, ACancelBeforeTheOpenStillEndsIt) {
    // The opener may be told to give up before it has begun.
    HungServer server;
    ASSERT_TRUE(server.listening);
    PulseSink sink(server.name());
    sink.cancel();
    const auto start = MidiClock::now();
    EXPECT_FALSE(sink.open(48000).isEmpty());
    EXPECT_LT(MidiClock::now() - start, PulseSink::kOpenLimit / 4);
}

TEST(PulseSinkTest, NoServerAtAllFailsAtOnce) {
    QTemporaryDir dir;
    PulseSink sink(QStringLiteral("unix:") + dir.filePath(QStringLiteral("nothing-here")));
    const auto start = MidiClock::now();
    EXPECT_TRUE(sink.open(48000).startsWith(QStringLiteral("no sound server: ")));
    EXPECT_LT(MidiClock::now() - start, PulseSink::kOpenLimit / 4);
    EXPECT_EQ(sink.rate(), 48000);
}

// A private PulseAudio whose only sink runs at 44.1 kHz, stopped by its own
// pid file's id when the test ends. Skipped where PulseAudio is missing.
class PulseServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (program.isEmpty()) GTEST_SKIP() << "PulseAudio is not installed";
        ASSERT_TRUE(dir.isValid());
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        environment.insert(QStringLiteral("HOME"), dir.path());
        environment.remove(QStringLiteral("PULSE_SERVER"));
        socket = dir.filePath(QStringLiteral("native"));
        QProcess start;
        start.setProcessEnvironment(environment);
        // Daemonised, it returns once the server is up.
        start.start(
            program,
            {QStringLiteral("--daemonize=yes"), QStringLiteral("--use-pid-file=yes"),
             QStringLiteral("--exit-idle-time=-1"), QStringLiteral("-n"),
             QStringLiteral("--disable-shm=yes"), QStringLiteral("-L"),
             QStringLiteral("module-null-sink sink_name=slow rate=44100"), QStringLiteral("-L"),
             QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket});
        ASSERT_TRUE(start.waitForFinished(15000));
        if (start.exitCode() != 0) GTEST_SKIP() << "PulseAudio did not start here";
        started = true;
    }
    void TearDown() override {
        if (!started) return;
        QProcess stop;
        stop.setProcessEnvironment(environment);
        stop.start(QStandardPaths::findExecutable(QStringLiteral("pulseaudio")),
                   {QStringLiteral("--kill")});
        stop.waitForFinished(10000);
    }

    QTemporaryDir dir;
    QProcessEnvironment environment;
    QString socket;
    bool started = false;
};

TEST_F(PulseServerTest, TheStreamRunsAtTheServersRateAndItsMessagesWakeNobody) {
    PulseSink sink(QStringLiteral("unix:") + socket);
    ASSERT_EQ(sink.open(48000), QString());
    EXPECT_EQ(sink.rate(), 44100);

    const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::vector<float> block(2 * 4410, 0.0f);
    // Playing: the server asks for more as it goes, but only the timeout ends
    // the sleep.
    for (int tick = 0; tick < 4; ++tick) {
        ASSERT_TRUE(sink.write(block.data(), 4410 / 2));
        const auto start = MidiClock::now();
        ASSERT_TRUE(sink.wait(50, wake));
        EXPECT_GE(MidiClock::now() - start, 50ms) << "a server message ended the sleep";
    }
    // The wake-up descriptor ends it at once.
    const std::uint64_t one = 1;
    ASSERT_EQ(::write(wake, &one, sizeof one), ssize_t(sizeof one));
    const auto start = MidiClock::now();
    ASSERT_TRUE(sink.wait(5000, wake));
    EXPECT_LT(MidiClock::now() - start, 1s);
    ::close(wake);
}

TEST_F(PulseServerTest, QueueMeasuresAreDatedWhenTheyWereTrueAndFollowTheSinksClock) {
    PulseSink sink(QStringLiteral("unix:") + socket);
    ASSERT_EQ(sink.open(48000), QString());
    const int rate = sink.rate();
    // A tick's worth at a time, measured as often as an answer comes. A
    // fresh null sink holds its first two seconds; the clock shows after.
    std::vector<float> block(2 * std::size_t(rate) / 20, 0.0f);
    std::int64_t written = 0;
    struct Heard {
        std::int64_t frame;
        MidiTime at;
    };
    std::vector<Heard> heard;
    MidiTime asked{};
    bool asking = false;
    for (int tick = 0; tick < 100 && (heard.size() < 2 || heard.back().at - heard.front().at < 1s);
         ++tick) {
        ASSERT_TRUE(sink.write(block.data(), block.size() / 2));
        written += std::int64_t(block.size() / 2);
        ASSERT_TRUE(sink.wait(50, -1));
        if (const auto queue = sink.takeQueue()) {
            asking = false;
            EXPECT_GE(queue->at, asked);
            EXPECT_LE(queue->at, MidiClock::now());
            EXPECT_GT(queue->frames, 0);
            // Playing: what was written less what is queued has been heard.
            if (queue->frames < written) heard.push_back({written - queue->frames, queue->at});
        }
        if (!asking) {
            asked = MidiClock::now();
            sink.requestQueue();
            asking = true;
        }
    }
    ASSERT_GE(heard.size(), 2u) << "the stream did not play";
    // A measure taken in late (a busy machine): still dated when it was true.
    std::vector<float> more(2 * std::size_t(rate) * 3 / 10, 0.0f);
    ASSERT_TRUE(sink.write(more.data(), more.size() / 2));
    written += std::int64_t(more.size() / 2);
    for (int round = 0; asking && round < 200 && !sink.takeQueue(); ++round)
        ASSERT_TRUE(sink.wait(5, -1));
    asked = MidiClock::now();
    sink.requestQueue();
    ASSERT_TRUE(sink.wait(250, -1));
    const auto late = sink.takeQueue();
    ASSERT_TRUE(late.has_value());
    EXPECT_GE(late->at, asked);
    EXPECT_LT(late->at, asked + 200ms); // not when it was taken in
    heard.push_back({written - late->frames, late->at});
    const double seconds =
        std::chrono::duration<double>(heard.back().at - heard.front().at).count();
    ASSERT_GT(seconds, 0.5);
    EXPECT_NEAR(double(heard.back().frame - heard.front().frame) / seconds, rate, 0.05 * rate);
}

TEST_F(PulseServerTest, ALostServerIsToldByTheNextWait) {
    PulseSink sink(QStringLiteral("unix:") + socket);
    ASSERT_EQ(sink.open(48000), QString());
    ASSERT_TRUE(sink.wait(10, -1));
    TearDown();
    started = false;
    bool alive = true;
    // The server closes our connection as it ends; a wait or two sees it.
    for (int round = 0; round < 100 && alive; ++round)
        alive = sink.wait(50, -1);
    EXPECT_FALSE(alive);
    std::vector<float> block(2 * 64, 0.0f);
    EXPECT_FALSE(sink.write(block.data(), 64));
}

// An ALSA configuration of a desktop: the default device and others lead to
// the sound server, directly or through plugins; the card does not.
constexpr char kDesktopConfig[] = R"(
pcm.pulse { type pulse }
pcm.pipewire { type pipewire }
pcm.default { type pulse }
pcm.card { type hw card 0 }
pcm.plugged { type plug slave.pcm "pulse" }
pcm.softened { type softvol slave.pcm "plugged" control.name "Soft" }
pcm.split { type asym playback.pcm "pipewire" capture.pcm "card" }
pcm.inline { type plug slave { pcm { type jack } } }
pcm.plugcard { type plug slave { pcm { type hw card 0 } } }
pcm.circle { type plug slave.pcm "circle" }
)";

TEST(AlsaSinkTest, DevicesThatLeadToASoundServerAreKnown) {
    snd_config_t* config = nullptr;
    ASSERT_EQ(snd_config_top(&config), 0);
    snd_input_t* input = nullptr;
    ASSERT_EQ(snd_input_buffer_open(&input, kDesktopConfig, sizeof kDesktopConfig - 1), 0);
    ASSERT_EQ(snd_config_load(config, input), 0);
    snd_input_close(input);

    for (const char* name :
         {"pulse", "pipewire", "default", "plugged", "softened", "split", "inline"})
        EXPECT_TRUE(AlsaSink::leadsToServer(QString::fromLatin1(name), config)) << name;
    for (const char* name : {"card", "plugcard", "circle", "undefined"})
        EXPECT_FALSE(AlsaSink::leadsToServer(QString::fromLatin1(name), config)) << name;
    snd_config_delete(config);
}

TEST(AlsaSinkTest, OnlyTheCardsThemselvesAreTried) {
    EXPECT_EQ(AlsaSink::cardDevices({0, 2}),
              (QStringList{QStringLiteral("plughw:0,0"), QStringLiteral("plughw:2,0")}));
    // As this machine's ALSA configuration defines them: none leads to a server.
    snd_config_t* config = nullptr;
    ASSERT_GE(snd_config_update_ref(&config), 0);
    for (const QString& device : AlsaSink::cardDevices({0, 1, 2}))
        EXPECT_FALSE(AlsaSink::leadsToServer(device, config)) << device.toStdString();
    const bool pulsePlugin = AlsaSink::leadsToServer(QStringLiteral("pulse"), config);
    snd_config_unref(config);
    if (!pulsePlugin) return;
    // Named outright, the server's plugin is refused before it is opened.
    AlsaSink sink(QStringLiteral("pulse"));
    EXPECT_EQ(sink.open(48000),
              QStringLiteral("the ALSA device pulse plays through a sound server"));
}

TEST(NullSinkTest, PlaysAtThePreferredRate) {
    NullSink sink;
    ASSERT_EQ(sink.open(44100), QString());
    EXPECT_EQ(sink.rate(), 44100);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// The external MIDI ports through a real MIDI server: a private JACK server
// with no sound card (jackd's dummy driver) and a receiving client made here.
// Skipped where jackd is not installed.
#include "audio/ExternalMidiPorts.h"
#include "audio/JackMidiClient.h"
#include "audio/SystemMidiService.h"
#include "engine/midi/TMidiPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The probe below asks before the server is up; libjack would say so.
void quiet(const char*) {}

// Polls until done() holds, at most timeout; no fixed sleep decides anything.
bool eventually(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A soundfont that is not there: device 0 never opens, so nothing here
// needs a sound server, and what device 0 would get is not looked at.
QStringList noSoundFont() {
    return {QStringLiteral("/nonexistent-marulet/x.sf2")};
}

// Points libjack of this process at a server name of its own for the test.
class JackServerName {
public:
    explicit JackServerName(const std::string& name) {
        if (const char* old = std::getenv("JACK_DEFAULT_SERVER")) m_old = old;
        ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    }
    ~JackServerName() {
        if (m_old.empty())
            ::unsetenv("JACK_DEFAULT_SERVER");
        else
            ::setenv("JACK_DEFAULT_SERVER", m_old.c_str(), 1);
    }

private:
    std::string m_old;
};

// jackd with the dummy driver under a private name.
class JackServer {
public:
    JackServer(const std::string& name, int period) : m_name(name) {
        const QString jackd = QStandardPaths::findExecutable(QStringLiteral("jackd"));
        if (jackd.isEmpty()) return;
        const std::string program = jackd.toStdString();
        std::vector<std::string> args = {
            program, "-n", name, "-d", "dummy", "-r", "48000", "-p", std::to_string(period)};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        m_up = m_pid > 0 && eventually([this] {
                   jack_status_t status{};
                   jack_client_t* probe = jack_client_open("probe", JackNoStartServer, &status);
                   if (probe) jack_client_close(probe);
                   return probe != nullptr;
               });
    }
    ~JackServer() {
        stop();
        // A server that went before its clients leaves their semaphores behind.
        const QDir shm(QStringLiteral("/dev/shm"));
        const QString pattern =
            QStringLiteral("jack_sem.*_%1_*").arg(QString::fromStdString(m_name));
        for (const QString& left : shm.entryList({pattern}, QDir::Files | QDir::System))
            QFile::remove(shm.filePath(left));
    }
    bool up() const { return m_up; }
    // Stops and resumes the server as a hung one would stand still.
    void pause() { ::kill(m_pid, SIGSTOP); }
    void resume() { ::kill(m_pid, SIGCONT); }
    void stop() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = 0;
        m_up = false;
    }

private:
    std::string m_name;
    pid_t m_pid = 0;
    bool m_up = false;
};

// A client with one MIDI input port, "receiver:in", that keeps every message
// with the frame it arrived at.
class Receiver {
public:
    struct Message {
        jack_nframes_t frame;
        std::vector<int> bytes;
    };

    Receiver() {
        m_queue = jack_ringbuffer_create(1 << 16);
        jack_status_t status{};
        m_client = jack_client_open("receiver", JackNoStartServer, &status);
        if (!m_client) return;
        m_port = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_client, &Receiver::process, this);
        if (!m_port || jack_activate(m_client) != 0) {
            jack_client_close(m_client);
            m_client = nullptr;
        }
    }
    ~Receiver() {
        leave();
        jack_ringbuffer_free(m_queue);
    }
    bool ready() const { return m_client != nullptr; }
    // The receiving program ends: its port goes away.
    void leave() {
        if (m_client) jack_client_close(m_client);
        m_client = nullptr;
    }
    bool connectFrom(const std::string& source) {
        return m_client && jack_connect(m_client, source.c_str(), "receiver:in") == 0;
    }
    // Everything received so far, in order.
    const std::vector<Message>& messages() {
        Record record{};
        while (jack_ringbuffer_read_space(m_queue) >= sizeof record) {
            jack_ringbuffer_read(m_queue, reinterpret_cast<char*>(&record), sizeof record);
            m_messages.push_back(
                {record.frame, std::vector<int>(record.bytes, record.bytes + record.length)});
        }
        return m_messages;
    }
    std::vector<std::vector<int>> bytes() {
        std::vector<std::vector<int>> out;
        for (const Message& m : messages())
            out.push_back(m.bytes);
        return out;
    }

private:
    struct Record {
        jack_nframes_t frame;
        std::uint8_t length;
        std::uint8_t bytes[3];
    };

    static int process(jack_nframes_t frames, void* arg) {
        auto& self = *static_cast<Receiver*>(arg);
        void* buffer = jack_port_get_buffer(self.m_port, frames);
        const jack_nframes_t start = jack_last_frame_time(self.m_client);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size > 3) continue;
            Record record{start + event.time, static_cast<std::uint8_t>(event.size), {}};
            std::copy(event.buffer, event.buffer + event.size, record.bytes);
            jack_ringbuffer_write(self.m_queue, reinterpret_cast<const char*>(&record),
                                  sizeof record);
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    jack_ringbuffer_t* m_queue = nullptr;
    std::vector<Message> m_messages;
};

class ExternalMidiTest : public ::testing::Test {
protected:
    std::string serverName = "marulet-test-" + std::to_string(::getpid());
    JackServerName useServer{serverName};
    std::unique_ptr<JackServer> server;

    void SetUp() override {
        jack_set_error_function(&quiet);
        jack_set_info_function(&quiet);
        if (QStandardPaths::findExecutable(QStringLiteral("jackd")).isEmpty())
            GTEST_SKIP() << "jackd is not installed (package jackd2)";
        server = std::make_unique<JackServer>(serverName, period());
        ASSERT_TRUE(server->up()) << "the private JACK server did not start";
    }

    // Frames per cycle: a short period, as a studio set-up runs.
    virtual int period() const { return 64; }

    // The device index of a name in the service's list, or -1.
    static int indexOf(SystemMidiService& service, const QString& name) {
        const unsigned count = service.deviceCount();
        for (unsigned i = 0; i < count; ++i)
            if (service.deviceName(i) == name) return int(i);
        return -1;
    }
};

std::vector<int> bytesOf(int status, int data1, int data2) {
    return {status, data1, data2};
}

TEST_F(ExternalMidiTest, TheServersMidiInputsAreListedAfterAlsaAndTheOwnPortLast) {
    SystemMidiService service(noSoundFont());
    if (!QFileInfo::exists(QStringLiteral("/dev/snd/seq"))) {
        EXPECT_EQ(service.deviceCount(), 2u) << "device 0 and the own port: no MIDI input yet";
    }

    Receiver receiver;
    ASSERT_TRUE(receiver.ready());
    const unsigned count = service.deviceCount();
    const int at = indexOf(service, QStringLiteral("receiver:in (JACK)"));
    ASSERT_GE(at, 1);
    EXPECT_EQ(service.deviceKey(unsigned(at)), QStringLiteral("receiver:in (JACK)"));
    EXPECT_EQ(service.deviceName(count - 1), QStringLiteral("Marulet (仮想ポート)"));
    EXPECT_EQ(service.deviceKey(count - 1), QString::fromLatin1(ExternalMidiPorts::kOwnPortKey));
    EXPECT_EQ(service.deviceKey(0), QStringLiteral("Marulet Synth"));

    // A program that leaves takes its port out of the next list.
    receiver.leave();
    EXPECT_EQ(indexOf(service, QStringLiteral("receiver:in (JACK)")), -1);
}

// A long period, as desktop sound servers run (1024 frames, 21.3 ms): a
// message placed at its cycle's start would be up to a period early.
class LongCycleTest : public ExternalMidiTest {
protected:
    int period() const override { return 1024; }
};

TEST_F(LongCycleTest, APortChosenGetsExactlyWhatThePortSendsAndItsSpacing) {
    Receiver receiver;
    ASSERT_TRUE(receiver.ready());
    SystemMidiService service(noSoundFont());
    TMidiPort port(service);
    const int at = indexOf(service, QStringLiteral("receiver:in (JACK)"));
    ASSERT_GE(at, 1);
    port.chooseDevice(unsigned(at));
    port.Open();
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.deviceName, QStringLiteral("receiver:in (JACK)"));

    port.ProgramChange(0, 12);
    port.SetVolume(0, 90);
    port.SetPan(1, 30);
    const jack_time_t first = jack_get_time();
    EXPECT_EQ(port.NoteOn(1, 60, 100), 0);
    // Sent 20 ms apart by JACK's clock, however long this thread sleeps.
    while (jack_get_time() < first + 20000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const jack_time_t second = jack_get_time();
    EXPECT_EQ(port.NoteOn(1, 60, 0), 0);
    port.Close();

    ASSERT_TRUE(eventually([&] { return receiver.messages().size() >= 21; }));
    // A program change is two bytes on the wire.
    std::vector<std::vector<int>> expected = {{0xC0, 12},
                                              bytesOf(0xB0, 7, 90),
                                              bytesOf(0xB1, 10, 30),
                                              bytesOf(0x91, 60, 100),
                                              bytesOf(0x91, 60, 0)};
    for (int channel = 0; channel < 16; ++channel)
        expected.push_back(bytesOf(0xB0 + channel, 123, 0));
    EXPECT_EQ(receiver.bytes(), expected);

    // The spacing survives the server's cycles: each message is placed one
    // period after it was sent, not at its cycle's start.
    const auto& got = receiver.messages();
    const double sentMs = double(second - first) / 1000.0;
    const double arrivedMs = double(got[4].frame - got[3].frame) / 48.0;
    EXPECT_NEAR(arrivedMs, sentMs, 1.0) << "sent " << sentMs << " ms apart";
}

TEST_F(ExternalMidiTest, APortThatGoesAwayHandsOverToDeviceZeroOnce) {
    auto receiver = std::make_unique<Receiver>();
    ASSERT_TRUE(receiver->ready());
    SystemMidiService service(noSoundFont());
    TMidiPort port(service);
    port.chooseDevice(unsigned(indexOf(service, QStringLiteral("receiver:in (JACK)"))));
    port.Open();
    ASSERT_TRUE(port.isOpen());
    const MidiDeviceChoice chosen = port.savedChoice();

    receiver->leave(); // the cable is pulled
    ASSERT_TRUE(eventually([&] { return port.NoteOn(0, 64, 90) == MidiOutService::kDeviceGone; }))
        << "the port was not found gone";
    EXPECT_EQ(port.deviceId, 0u);
    EXPECT_EQ(port.takeLostDevice(), QStringLiteral("receiver:in (JACK)"));
    EXPECT_EQ(port.takeLostDevice(), std::nullopt);
    EXPECT_EQ(port.savedChoice(), chosen) << "still the choice";

    // Back again, at whatever number: the next listing takes it up.
    receiver = std::make_unique<Receiver>();
    ASSERT_TRUE(receiver->ready());
    port.followChosenDevice(port.GetNumDevs());
    EXPECT_EQ(port.deviceName, QStringLiteral("receiver:in (JACK)"));
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.NoteOn(0, 64, 90), 0);
    EXPECT_TRUE(eventually([&] {
        const auto got = receiver->bytes();
        return !got.empty() && got.back() == bytesOf(0x90, 64, 90);
    }));
}

TEST_F(ExternalMidiTest, TheOwnPortIsHeardByAProgramThatConnectsToIt) {
    Receiver receiver;
    ASSERT_TRUE(receiver.ready());
    SystemMidiService service(noSoundFont());
    const int own = indexOf(service, QStringLiteral("Marulet (仮想ポート)"));
    ASSERT_GE(own, 1);
    const auto handle = service.open(unsigned(own));
    ASSERT_TRUE(handle.has_value());
    ASSERT_TRUE(receiver.connectFrom("Marulet:Marulet"));
    EXPECT_EQ(service.send(*handle, 0x90 | 67 << 8 | 80 << 16, MidiClock::now()), 0);
    EXPECT_EQ(service.send(*handle, 0x90 | 67 << 8, MidiClock::now()), 0);
    ASSERT_TRUE(eventually([&] { return receiver.messages().size() >= 2; }));
    EXPECT_EQ(receiver.bytes(),
              (std::vector<std::vector<int>>{bytesOf(0x90, 67, 80), bytesOf(0x90, 67, 0)}));
    service.close(*handle);
}

TEST_F(ExternalMidiTest, AServerThatStopsTakesItsPortsAndNothingWaitsOnIt) {
    Receiver receiver;
    ASSERT_TRUE(receiver.ready());
    SystemMidiService service(noSoundFont());
    const auto handle =
        service.open(unsigned(indexOf(service, QStringLiteral("receiver:in (JACK)"))));
    ASSERT_TRUE(handle.has_value());
    receiver.leave();
    server->stop();
    ASSERT_TRUE(eventually([&] {
        return service.send(*handle, 0x90 | 60 << 8 | 1 << 16, MidiClock::now()) ==
               MidiOutService::kDeviceGone;
    }));
    const auto start = Clock::now();
    if (!QFileInfo::exists(QStringLiteral("/dev/snd/seq"))) {
        EXPECT_EQ(service.deviceCount(), 1u) << "no server, no sequencer: device 0 alone";
    }
    service.close(*handle);
    // At worst the client's wait on the server runs out once.
    EXPECT_LT(Clock::now() - start, JackMidiClient::kServerWait + std::chrono::seconds(1));
}

TEST_F(ExternalMidiTest, AServerThatHangsCostsOneWaitAndNoMore) {
    const auto took = [](const std::function<void()>& work) {
        const auto start = Clock::now();
        work();
        return Clock::now() - start;
    };
    const auto bound = JackMidiClient::kServerWait + std::chrono::seconds(1);
    Receiver receiver;
    ASSERT_TRUE(receiver.ready());

    // Playing when the server stops answering: it runs no cycle, so device 0
    // takes over; leaving does not wait on the server for long.
    auto playing = std::make_unique<SystemMidiService>(noSoundFont());
    {
        TMidiPort port(*playing);
        port.chooseDevice(unsigned(indexOf(*playing, QStringLiteral("receiver:in (JACK)"))));
        port.Open();
        ASSERT_TRUE(port.isOpen());
        EXPECT_EQ(port.NoteOn(0, 60, 100), 0);
        server->pause();
        EXPECT_TRUE(eventually([&] {
            return port.NoteOn(0, 60, 100) == MidiOutService::kDeviceGone;
        })) << "a hung server is not noticed";
        EXPECT_EQ(port.deviceId, 0u);
        EXPECT_EQ(port.takeLostDevice(), QStringLiteral("receiver:in (JACK)"));
    }
    EXPECT_LT(took([&] { playing.reset(); }), bound);

    // Starting while it hangs: one wait, then it is passed over.
    auto service = std::make_unique<SystemMidiService>(noSoundFont());
    unsigned count = 0;
    EXPECT_LT(took([&] { count = service->deviceCount(); }), bound);
    EXPECT_LT(took([&] { count = service->deviceCount(); }), std::chrono::milliseconds(200))
        << "a server that did not answer is passed over";
    if (!QFileInfo::exists(QStringLiteral("/dev/snd/seq"))) {
        EXPECT_EQ(count, 1u);
    }
    EXPECT_LT(took([&] { service.reset(); }), bound);
    server->resume();
}

// Where a user runs no MIDI server: only device 0 (and the own port where an
// ALSA sequencer offers it), found quickly, and not a word on the terminal.
TEST(NoMidiServerTest, TheListHoldsDeviceZeroAndNothingIsPrinted) {
    JackServerName nowhere("marulet-test-none-" + std::to_string(::getpid()));
    char path[] = "/tmp/marulet-quiet-XXXXXX";
    const int capture = ::mkstemp(path);
    ASSERT_GE(capture, 0);
    ::unlink(path);
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(1), savedErr = ::dup(2);
    ::dup2(capture, 1);
    ::dup2(capture, 2);

    const auto start = Clock::now();
    unsigned count = 0;
    std::optional<QString> last;
    std::optional<MidiHandle> opened;
    {
        SystemMidiService service(noSoundFont());
        count = service.deviceCount();
        last = service.deviceName(count - 1);
        opened = service.open(count - 1);
        if (opened) service.close(*opened);
        TMidiPort port(service);
        port.chooseDevice(count);
        port.Open();
    }
    const auto took = Clock::now() - start;

    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    const off_t printed = ::lseek(capture, 0, SEEK_END);
    std::string text(static_cast<std::size_t>(std::max<off_t>(printed, 0)), '\0');
    EXPECT_EQ(::pread(capture, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    ::close(capture);

    EXPECT_EQ(text, "") << "printed on the terminal";
    EXPECT_LT(took, std::chrono::milliseconds(500));
    if (!QFileInfo::exists(QStringLiteral("/dev/snd/seq"))) {
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(last, QStringLiteral("Marulet Synth"));
    }
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/JackMidiClient.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <type_traits>

namespace {

// One message as it waits for the server's cycle: when it was sent, by
// JACK's clock, and its bytes.
struct Event {
    jack_time_t sent;
    std::uint8_t length;
    std::uint8_t bytes[3];
};

constexpr std::size_t kQueueBytes = 4096 * sizeof(Event);
constexpr std::size_t kSlots = 8;
// How long closing waits for queued messages (the last all-notes-off) to leave.
constexpr auto kDrainWait = std::chrono::milliseconds(250);

// An output port of ours. The worker fills and empties it; the process
// callback reads it while live; the sender writes its queue.
struct Slot {
    std::atomic<bool> live{false};
    std::atomic<bool> gone{false};
    // The port it is connected to, watched while set.
    std::atomic<jack_port_t*> destinationPort{nullptr};
    bool used = false;
    jack_port_t* port = nullptr;
    jack_ringbuffer_t* queue = nullptr;
};

// libjack complains on the terminal when no server runs: that is no news here.
void quiet(const char*) {}

} // namespace

struct JackMidiClient::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::deque<std::function<void()>> jobs;
    bool stopping = false;
    bool done = false;

    std::atomic<bool> answering{true}; // false while a call to the server is overdue
    std::atomic<bool> serverGone{false};
    std::atomic<std::uint64_t> cycles{0};

    // The worker's own, read by the process callback while the client lives.
    jack_client_t* client = nullptr;
    bool active = false;
    std::array<Slot, kSlots> slots;
};

namespace {

using Shared = JackMidiClient::Shared;

// Where a message sent at sent falls in the cycle from cycleStart to
// nextStart: one period later, so messages keep their spacing. Nothing when
// it falls in the next cycle (this one's callback runs late).
std::optional<jack_nframes_t> placeInCycle(jack_time_t sent, jack_time_t cycleStart,
                                           jack_time_t nextStart, jack_nframes_t frames) {
    const jack_time_t period = nextStart - cycleStart;
    const jack_time_t due = sent + period;
    if (due <= cycleStart) return 0;
    const jack_time_t into = due - cycleStart;
    if (into >= period) return std::nullopt;
    return static_cast<jack_nframes_t>(into * frames / period);
}

int process(jack_nframes_t frames, void* arg) {
    Shared& s = *static_cast<Shared*>(arg);
    jack_nframes_t startFrame = 0;
    jack_time_t start = 0, next = 0;
    float period = 0;
    const bool timed =
        jack_get_cycle_times(s.client, &startFrame, &start, &next, &period) == 0 && next > start;
    for (Slot& slot : s.slots) {
        if (!slot.live.load(std::memory_order_acquire)) continue;
        void* buffer = jack_port_get_buffer(slot.port, frames);
        jack_midi_clear_buffer(buffer);
        jack_nframes_t at = 0;
        Event event{};
        while (jack_ringbuffer_read_space(slot.queue) >= sizeof event) {
            jack_ringbuffer_peek(slot.queue, reinterpret_cast<char*>(&event), sizeof event);
            if (timed) {
                const auto place = placeInCycle(event.sent, start, next, frames);
                if (!place) break;
                at = std::max(at, *place);
            }
            // A full port buffer keeps the rest for the next cycle.
            if (jack_midi_event_write(buffer, at, event.bytes, event.length) != 0) break;
            jack_ringbuffer_read_advance(slot.queue, sizeof event);
        }
    }
    s.cycles.fetch_add(1, std::memory_order_release);
    return 0;
}

// Called like a signal handler: a flag is all it may set.
void serverShutDown(jack_status_t, const char*, void* arg) {
    static_cast<Shared*>(arg)->serverGone.store(true);
}

// A port went away somewhere: a slot connected to it has lost its device.
void portRegistered(jack_port_id_t id, int registered, void* arg) {
    if (registered) return;
    Shared& s = *static_cast<Shared*>(arg);
    jack_port_t* port = jack_port_by_id(s.client, id);
    if (!port) return;
    for (Slot& slot : s.slots)
        if (slot.destinationPort.load() == port) slot.gone = true;
}

// --- on the worker -------------------------------------------------------------

void waitCycles(Shared& s, std::uint64_t count) {
    if (!s.active || s.serverGone) return;
    const std::uint64_t target = s.cycles.load(std::memory_order_acquire) + count;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (s.cycles.load(std::memory_order_acquire) < target &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// A client whose server went away is closed; its ports went with it.
void reap(Shared& s) {
    if (!s.client || !s.serverGone) return;
    for (Slot& slot : s.slots) {
        slot.live = false;
        slot.gone = true;
        slot.port = nullptr;
    }
    jack_client_close(s.client);
    s.client = nullptr;
    s.active = false;
}

bool connect(Shared& s) {
    reap(s);
    if (s.client) return true;
    jack_status_t status{};
    jack_client_t* client = jack_client_open(JackMidiClient::kName, JackNoStartServer, &status);
    if (!client) return false;
    s.serverGone = false;
    s.client = client;
    jack_set_process_callback(client, &process, &s);
    jack_set_port_registration_callback(client, &portRegistered, &s);
    jack_on_info_shutdown(client, &serverShutDown, &s);
    return true;
}

bool activate(Shared& s) {
    if (!s.active && jack_activate(s.client) == 0) s.active = true;
    return s.active;
}

void closeSlot(Shared& s, JackMidiClient::Port index, bool drain) {
    Slot& slot = s.slots[index];
    if (!slot.used) return;
    if (drain && slot.live && !slot.gone) {
        const auto end = std::chrono::steady_clock::now() + kDrainWait;
        while (jack_ringbuffer_read_space(slot.queue) > 0 && !s.serverGone &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        waitCycles(s, 1); // the last events leave the port's buffer
    }
    slot.live.store(false, std::memory_order_release);
    slot.destinationPort = nullptr;
    waitCycles(s, 2); // a cycle that was reading the slot has ended
    if (slot.port && s.client && !s.serverGone) jack_port_unregister(s.client, slot.port);
    jack_ringbuffer_free(slot.queue);
    slot.queue = nullptr;
    slot.port = nullptr;
    slot.gone = false;
    slot.used = false;
    // An idle client is woken by no cycle.
    const bool anyUsed =
        std::any_of(s.slots.begin(), s.slots.end(), [](const Slot& other) { return other.used; });
    if (!anyUsed && s.active && s.client && !s.serverGone) {
        jack_deactivate(s.client);
        s.active = false;
    }
}

std::optional<JackMidiClient::Port> openSlot(Shared& s, const std::string& portName,
                                             const std::string& destination) {
    if (!connect(s)) return std::nullopt;
    const auto free =
        std::find_if(s.slots.begin(), s.slots.end(), [](const Slot& slot) { return !slot.used; });
    if (free == s.slots.end()) return std::nullopt;
    const auto index = static_cast<JackMidiClient::Port>(free - s.slots.begin());
    jack_port_t* port = nullptr;
    for (int n = 1; !port && n <= int(kSlots); ++n) {
        const std::string name = n == 1 ? portName : portName + "-" + std::to_string(n);
        port =
            jack_port_register(s.client, name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (destination.empty()) break; // the port others connect to has one name only
    }
    if (!port) return std::nullopt;
    Slot& slot = *free;
    slot.queue = jack_ringbuffer_create(kQueueBytes);
    if (!slot.queue) {
        jack_port_unregister(s.client, port);
        return std::nullopt;
    }
    slot.port = port;
    slot.gone = false;
    slot.used = true;
    slot.live.store(true, std::memory_order_release);
    if (!destination.empty()) {
        // Watched from before the connection, so that no going is missed.
        slot.destinationPort = jack_port_by_name(s.client, destination.c_str());
        if (!slot.destinationPort.load()) {
            closeSlot(s, index, false);
            return std::nullopt;
        }
    }
    if (!activate(s) || (!destination.empty() &&
                         jack_connect(s.client, jack_port_name(port), destination.c_str()) != 0)) {
        closeSlot(s, index, false);
        return std::nullopt;
    }
    return index;
}

void run(const std::shared_ptr<Shared>& shared) {
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&] { return s.stopping || !s.jobs.empty(); });
        if (!s.jobs.empty()) {
            auto job = std::move(s.jobs.front());
            s.jobs.pop_front();
            lock.unlock();
            job();
            s.answering = true;
            lock.lock();
        } else {
            break; // stopping, and every job done
        }
    }
    lock.unlock();
    for (JackMidiClient::Port index = 0; index < kSlots; ++index)
        closeSlot(s, index, false);
    if (s.client) jack_client_close(s.client);
    s.client = nullptr;
    lock.lock();
    s.done = true;
    s.finished.notify_all();
}

} // namespace

JackMidiClient::JackMidiClient() : m_shared(std::make_shared<Shared>()) {
    jack_set_error_function(&quiet);
    jack_set_info_function(&quiet);
}

JackMidiClient::~JackMidiClient() {
    if (!m_worker.joinable()) return;
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->wake.notify_one();
    // A server that hangs keeps the worker: it is left behind, holding what it uses.
    if (m_shared->finished.wait_for(lock, kServerWait, [&] { return m_shared->done; })) {
        lock.unlock();
        m_worker.join();
    } else {
        m_worker.detach();
    }
}

void JackMidiClient::post(std::function<void()> job) {
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->jobs.push_back(std::move(job));
    }
    if (!m_worker.joinable()) m_worker = std::thread(&run, m_shared);
    m_shared->wake.notify_one();
}

template <class T> std::optional<T> JackMidiClient::ask(std::function<std::optional<T>()> job) {
    if (!m_shared->answering) return std::nullopt;
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        bool abandoned = false;
        std::optional<T> value;
    };
    auto answer = std::make_shared<Answer>();
    post([answer, job = std::move(job), shared = m_shared] {
        std::optional<T> value = job();
        const std::lock_guard lock(answer->mutex);
        if (answer->abandoned) {
            // Too late for the caller: a port opened meanwhile is closed again.
            if constexpr (std::is_same_v<T, Port>)
                if (value) closeSlot(*shared, *value, false);
            return;
        }
        answer->value = std::move(value);
        answer->done = true;
        answer->ready.notify_one();
    });
    std::unique_lock lock(answer->mutex);
    if (!answer->ready.wait_for(lock, kServerWait, [&] { return answer->done; })) {
        answer->abandoned = true;
        m_shared->answering = false;
        return std::nullopt;
    }
    return std::move(answer->value);
}

std::optional<std::vector<std::string>> JackMidiClient::inputPorts() {
    return ask<std::vector<std::string>>(
        [s = m_shared]() -> std::optional<std::vector<std::string>> {
            if (!connect(*s)) return std::nullopt;
            std::vector<std::string> names;
            if (const char** ports =
                    jack_get_ports(s->client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
                for (const char** port = ports; *port; ++port)
                    names.emplace_back(*port);
                jack_free(ports);
            }
            return names;
        });
}

std::optional<JackMidiClient::Port> JackMidiClient::openOutput(const std::string& destination) {
    if (destination.empty()) return std::nullopt;
    m_sendsSince = std::chrono::steady_clock::time_point::max();
    return ask<Port>([s = m_shared, destination] { return openSlot(*s, "output", destination); });
}

std::optional<JackMidiClient::Port> JackMidiClient::openOwnPort() {
    m_sendsSince = std::chrono::steady_clock::time_point::max();
    return ask<Port>([s = m_shared] { return openSlot(*s, kName, std::string()); });
}

JackMidiClient::Sent JackMidiClient::send(Port port, const unsigned char* bytes,
                                          std::size_t length) {
    if (port >= kSlots) return Sent::Gone;
    Slot& slot = m_shared->slots[port];
    if (m_shared->serverGone || slot.gone || !slot.queue) return Sent::Gone;
    // A server that runs no cycle any more has hung: its ports are as good as gone.
    const std::uint64_t cycles = m_shared->cycles.load(std::memory_order_acquire);
    const auto now = std::chrono::steady_clock::now();
    if (cycles != m_lastCycles || m_sendsSince > now) {
        m_lastCycles = cycles;
        m_sendsSince = now;
    } else if (now - m_sendsSince > kStalled) {
        return Sent::Gone;
    }
    Event event{jack_get_time(), static_cast<std::uint8_t>(std::min<std::size_t>(length, 3)), {}};
    std::memcpy(event.bytes, bytes, event.length);
    if (jack_ringbuffer_write_space(slot.queue) < sizeof event) return Sent::Full;
    jack_ringbuffer_write(slot.queue, reinterpret_cast<const char*>(&event), sizeof event);
    return Sent::Queued;
}

void JackMidiClient::close(Port port) {
    if (port >= kSlots) return;
    post([s = m_shared, port] { closeSlot(*s, port, true); });
}

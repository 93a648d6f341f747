// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Marulet's client of a running JACK server: it lists the server's MIDI
// inputs, sends to them through output ports of its own, and offers the port
// "Marulet" for other programs to connect to. A server is never started.
// Every call that waits on the server runs on a thread of this client's own
// and is waited for a bounded time, so a server that hangs costs a moment once
// and is then passed over until it answers again; sending only queues the
// message for the server's next cycle.
class JackMidiClient {
public:
    using Port = unsigned;
    enum class Sent { Queued, Full, Gone };

    // How long a caller waits for the server to answer.
    static constexpr std::chrono::milliseconds kServerWait{1500};
    // How long sends find no cycle run before the server counts as hung.
    static constexpr std::chrono::milliseconds kStalled{1000};
    // The name of the client, and of the port others connect to.
    static constexpr const char* kName = "Marulet";

    JackMidiClient();
    ~JackMidiClient();
    JackMidiClient(const JackMidiClient&) = delete;
    JackMidiClient& operator=(const JackMidiClient&) = delete;

    // The running server's MIDI input ports by their full names
    // ("client:port"), or nothing when no server runs or it does not answer.
    std::optional<std::vector<std::string>> inputPorts();
    // A port of ours connected to destination, a full port name.
    std::optional<Port> openOutput(const std::string& destination);
    // The port "Marulet", connected to nothing: others connect to it.
    std::optional<Port> openOwnPort();
    // Queues one message of up to three bytes. It leaves one period after
    // now, in the server's cycle that follows. Gone once the destination or
    // the server went away.
    Sent send(Port port, const unsigned char* bytes, std::size_t length);
    // Lets the queued messages leave, then closes the port; returns at once.
    void close(Port port);

    struct Shared;

private:
    template <class T> std::optional<T> ask(std::function<std::optional<T>()> job);
    void post(std::function<void()> job);

    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
    // The cycle count the last send saw, and since when; a fresh port starts
    // the watch at its first send.
    std::uint64_t m_lastCycles = 0;
    std::chrono::steady_clock::time_point m_sendsSince =
        std::chrono::steady_clock::time_point::max();
};

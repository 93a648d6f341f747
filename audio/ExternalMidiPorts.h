// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class JackMidiClient;
class RtMidiOut;

// The MIDI outputs beyond the built-in synthesizer, listed in this order: the
// ALSA sequencer's ports (through RtMidi), a running JACK server's MIDI
// inputs, and Marulet's own port that a sequencer or another synthesizer
// connects to, offered when either system is there. refresh() reads the
// list anew; an index counts within the last list read. Nothing here prints
// to the terminal, starts a JACK server or waits long on one.
class ExternalMidiPorts {
public:
    using Handle = std::uint64_t;
    enum class Sent { Done, Failed, Gone };

    // How the own port is kept in the settings, in every language.
    static constexpr const char* kOwnPortKey = "Marulet (virtual port)";

    ExternalMidiPorts();
    ~ExternalMidiPorts();
    ExternalMidiPorts(const ExternalMidiPorts&) = delete;
    ExternalMidiPorts& operator=(const ExternalMidiPorts&) = delete;

    // Reads the list of ports present now; gives its length.
    unsigned refresh();
    // The port's name as the user sees it: ALSA ports as RtMidi names them
    // ("client:port 20:0"), JACK ports by their full name and " (JACK)".
    std::optional<QString> name(unsigned index);
    // The name kept in the settings: an ALSA port's without its address,
    // which the sequencer hands out anew when a device is plugged in.
    std::optional<QString> key(unsigned index);
    std::optional<Handle> open(unsigned index);
    // Sends one complete short message of length bytes at once.
    Sent send(Handle handle, const unsigned char* bytes, std::size_t length);
    void close(Handle handle);

private:
    enum class Kind { Alsa, Jack, Own };
    struct Entry {
        Kind kind;
        std::string port; // RtMidi's ALSA name, or JACK's full port name
    };
    struct OpenPort;

    const Entry* entry(unsigned index);
    std::vector<std::string> alsaPorts();
    std::unique_ptr<RtMidiOut> alsaOutput(std::string* errorSink);
    bool alsaPortThere(OpenPort& open);

    std::unique_ptr<RtMidiOut> m_alsaLister;
    std::string m_listerError;
    std::unique_ptr<JackMidiClient> m_jack;
    std::vector<Entry> m_list;
    bool m_listed = false;
    std::map<Handle, std::unique_ptr<OpenPort>> m_open;
    Handle m_next = 1;
};

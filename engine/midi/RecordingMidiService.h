// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiOutService.h"

#include <QStringList>
#include <map>
#include <vector>

// A MIDI output that keeps every message it is sent: the stand-in device for
// tests and benchmarks. Devices are named by the list given; indexes listed in
// failing refuse to open, and sends to a device opened at an index listed in
// gone report it gone. setNames plugs and unplugs devices.
class RecordingMidiService : public MidiOutService {
public:
    struct Message {
        MidiHandle handle;
        std::uint32_t packed;
        MidiTime when;
        std::uint8_t status() const { return packed & 0xFF; }
        std::uint8_t data1() const { return (packed >> 8) & 0xFF; }
        std::uint8_t data2() const { return (packed >> 16) & 0xFF; }
    };

    explicit RecordingMidiService(QStringList names = {QStringLiteral("Recorder")});

    unsigned deviceCount() override;
    std::optional<QString> deviceName(unsigned index) override;
    std::optional<MidiHandle> open(unsigned index) override;
    int send(MidiHandle handle, std::uint32_t message, MidiTime when) override;
    void close(MidiHandle handle) override;
    std::optional<QString> deviceProblem(unsigned index) override {
        const auto found = problems.find(index);
        if (found == problems.end()) return std::nullopt;
        return found->second;
    }
    std::optional<std::chrono::nanoseconds> tickPeriod(MidiHandle) override { return period; }

    void setNames(QStringList names) { m_names = std::move(names); }

    std::vector<unsigned> failing;
    std::vector<unsigned> gone;
    std::vector<Message> messages;
    std::vector<unsigned> opened; // device index of each successful open
    std::vector<MidiHandle> closed;
    std::map<unsigned, QString> problems;           // why a device cannot sound, by index
    std::optional<std::chrono::nanoseconds> period; // a device clock's tick

private:
    QStringList m_names;
    std::map<MidiHandle, unsigned> m_openedOn;
    MidiHandle m_next = 1;
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiOutService.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

// The program's one path to sound: one output device, opened by index, with
// the last program, volume and pan asked for on each channel.
class TMidiPort {
public:
    static constexpr int kInvalidHandle = 5; // what a send on a closed port returns

    std::optional<MidiHandle> handle;
    std::uint32_t deviceId = 0;
    std::array<std::int32_t, 16> programs{};
    std::array<std::int32_t, 16> volumes{};
    std::array<std::int32_t, 16> pans{};

    explicit TMidiPort(MidiOutService& service);
    ~TMidiPort();
    TMidiPort(const TMidiPort&) = delete;
    TMidiPort& operator=(const TMidiPort&) = delete;

    unsigned GetNumDevs();
    void Open();
    void Close();
    bool isOpen() const { return handle.has_value(); }
    MidiOutService& service() { return m_service; }

    // Stamps every message sent until reset with this time (the field tick
    // sets its ideal time); without one each message carries the moment it
    // is sent.
    void setEventTime(std::optional<MidiTime> when) { m_eventTime = when; }
    // Tells the device that the tick stamped tickTime has sent everything.
    void tickSent(MidiTime tickTime) {
        if (handle) m_service.tickSent(*handle, tickTime);
    }

    int ShortMsg(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    void ProgramChange(int channel, int program);
    void SetVolume(int channel, int value);
    void SetPan(int channel, int value);
    int NoteOn(int channel, int note, int velocity);
    int AllNotesOff(int channel);

private:
    MidiOutService& m_service;
    std::optional<MidiTime> m_eventTime;
};

// The one port, created and destroyed by the main window; null before that.
extern std::unique_ptr<TMidiPort> midiPort;

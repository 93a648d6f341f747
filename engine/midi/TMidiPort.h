// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiDeviceChoice.h"
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
    // The name the settings keep beside deviceId (MidiOutService::deviceKey),
    // which finds the device again when its number moved.
    QString deviceName;
    // The device the user chose, while it is missing and device 0 plays in
    // its place; the settings keep it, and it takes over again once it is back.
    std::optional<MidiDeviceChoice> awaitedDevice;
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

    // Makes device index the user's choice: deviceId and deviceName, and no
    // device awaited any more. Opens nothing.
    void chooseDevice(std::uint32_t index);
    // The choice the settings keep: the awaited device, else the one in use.
    MidiDeviceChoice savedChoice() const;
    // After the device list was read anew (count devices): deviceId follows
    // its device when the number moved, and an awaited device that is back
    // takes over from device 0 (closed, opened, voices sent again).
    void followChosenDevice(unsigned count);
    // The name of a device that went away while it played, once; device 0
    // took over when it did.
    std::optional<QString> takeLostDevice();
    MidiOutService& service() { return m_service; }

    // Stamps every message sent until reset with this time (the field tick
    // sets its ideal time); without one each message carries the moment it
    // is sent.
    void setEventTime(std::optional<MidiTime> when) { m_eventTime = when; }
    // Tells the device that the tick stamped tickTime has sent everything.
    void tickSent(MidiTime tickTime) {
        if (handle) m_service.tickSent(*handle, tickTime);
    }
    // The open device's tick length on the system clock, if it keeps one.
    std::optional<std::chrono::nanoseconds> tickPeriod() {
        return handle ? m_service.tickPeriod(*handle) : std::nullopt;
    }

    int ShortMsg(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    void ProgramChange(int channel, int program);
    void SetVolume(int channel, int value);
    void SetPan(int channel, int value);
    int NoteOn(int channel, int note, int velocity);
    int AllNotesOff(int channel);

private:
    // The open device has gone: device 0 takes over and the device is awaited.
    void standIn();
    // Programs and volumes of the four voices, sent again to a new device.
    void sendVoices();

    MidiOutService& m_service;
    std::optional<QString> m_lostDevice;
    bool m_closing = false;
    std::optional<MidiTime> m_eventTime;
};

// The one port, created and destroyed by the main window; null before that.
extern std::unique_ptr<TMidiPort> midiPort;

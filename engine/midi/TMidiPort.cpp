// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/TMidiPort.h"

#include <algorithm>
#include <utility>

std::unique_ptr<TMidiPort> midiPort;

namespace {
// Channels outside 0..15 still only index their low four bits.
std::size_t slot(int channel) {
    return static_cast<std::size_t>(channel) & 0x0F;
}

std::uint8_t status(int base, int channel) {
    return static_cast<std::uint8_t>((base + channel) & 0xFF);
}

// A data byte with its top bit set would read as a status byte on the wire.
// Programs wrap: a damaged settings file's 129 still names some voice.
std::uint8_t data7(int value) {
    return static_cast<std::uint8_t>(value & 0x7F);
}

// Levels and notes are clamped: a volume of -1 is silence, not full blast.
std::uint8_t clamped7(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}
} // namespace

TMidiPort::TMidiPort(MidiOutService& service) : m_service(service) {
    volumes.fill(90);
    pans.fill(64);
}

TMidiPort::~TMidiPort() {
    Close();
}

unsigned TMidiPort::GetNumDevs() {
    return m_service.deviceCount();
}

void TMidiPort::Open() {
    handle = m_service.open(deviceId);
}

void TMidiPort::Close() {
    if (!handle) return;
    // A device found gone here is being left anyway: no stand-in.
    m_closing = true;
    for (int channel = 0; channel < 16; ++channel)
        AllNotesOff(channel);
    m_closing = false;
    m_service.close(*handle);
    handle.reset();
}

void TMidiPort::chooseDevice(std::uint32_t index) {
    deviceId = index;
    deviceName = m_service.deviceKey(index).value_or(QString());
    awaitedDevice.reset();
}

MidiDeviceChoice TMidiPort::savedChoice() const {
    return awaitedDevice.value_or(MidiDeviceChoice{deviceId, deviceName});
}

void TMidiPort::followChosenDevice(unsigned count) {
    if (awaitedDevice) {
        const auto found = FindChosenDevice(m_service, count, *awaitedDevice);
        if (!found) return;
        const QString name = awaitedDevice->name;
        Close();
        chooseDevice(*found);
        if (!name.isEmpty()) deviceName = name;
        Open();
        sendVoices();
        return;
    }
    // The open port stays bound to its device; only the number it goes by moves.
    if (deviceName.isEmpty()) return;
    if (const auto found = FindChosenDevice(m_service, count, {deviceId, deviceName}))
        deviceId = *found;
}

std::optional<QString> TMidiPort::takeLostDevice() {
    return std::exchange(m_lostDevice, std::nullopt);
}

void TMidiPort::standIn() {
    m_lostDevice = deviceName.isEmpty() ? QString::number(deviceId) : deviceName;
    const MidiDeviceChoice gone{deviceId, deviceName};
    // Nothing reaches a device that is gone: no all-notes-off.
    m_service.close(*handle);
    handle.reset();
    chooseDevice(0);
    awaitedDevice = gone;
    Open();
    sendVoices();
}

void TMidiPort::sendVoices() {
    for (int channel = 0; channel < 4; ++channel) {
        ProgramChange(channel, programs[channel]);
        SetVolume(channel, volumes[channel]);
    }
}

int TMidiPort::ShortMsg(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    if (!handle) return kInvalidHandle;
    const std::uint32_t packed =
        std::uint32_t(status) | (std::uint32_t(data1) << 8) | (std::uint32_t(data2) << 16);
    const int result = m_service.send(*handle, packed, m_eventTime.value_or(MidiClock::now()));
    // The message itself is lost with the device; the next ones play on device 0.
    if (result == MidiOutService::kDeviceGone && deviceId != 0 && !m_closing) standIn();
    return result;
}

// Each value is kept before it is sent: when the send finds the device gone,
// device 0 takes over with the voices as they are now.
void TMidiPort::ProgramChange(int channel, int program) {
    programs[slot(channel)] = program;
    ShortMsg(status(0xC0, channel), data7(program), 0);
}

void TMidiPort::SetVolume(int channel, int value) {
    volumes[slot(channel)] = value;
    ShortMsg(status(0xB0, channel), 7, clamped7(value));
}

void TMidiPort::SetPan(int channel, int value) {
    pans[slot(channel)] = value;
    ShortMsg(status(0xB0, channel), 10, clamped7(value));
}

int TMidiPort::NoteOn(int channel, int note, int velocity) {
    return ShortMsg(status(0x90, channel), clamped7(note), clamped7(velocity));
}

int TMidiPort::AllNotesOff(int channel) {
    return ShortMsg(status(0xB0, channel), 123, 0);
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiOutService.h"

#include <functional>

// Passes everything on to the real device and shows every message sent to an
// open device to a listener, with the time it is meant to sound: a recording
// hears exactly what the device is given.
class MidiTee : public MidiOutService {
public:
    using Listener = std::function<void(std::uint32_t message, MidiTime when)>;

    explicit MidiTee(MidiOutService& device) : m_device(device) {}

    // An empty listener stops listening.
    void setListener(Listener listener) { m_listener = std::move(listener); }
    MidiOutService& device() { return m_device; }

    unsigned deviceCount() override { return m_device.deviceCount(); }
    std::optional<QString> deviceName(unsigned index) override {
        return m_device.deviceName(index);
    }
    std::optional<QString> deviceKey(unsigned index) override { return m_device.deviceKey(index); }
    std::optional<MidiHandle> open(unsigned index) override { return m_device.open(index); }
    int send(MidiHandle handle, std::uint32_t message, MidiTime when) override;
    void close(MidiHandle handle) override { m_device.close(handle); }
    // The device schedules by ticks and knows its own troubles: both pass through.
    void tickSent(MidiHandle handle, MidiTime tickTime) override {
        m_device.tickSent(handle, tickTime);
    }
    std::optional<std::chrono::nanoseconds> tickPeriod(MidiHandle handle) override {
        return m_device.tickPeriod(handle);
    }
    std::optional<QString> deviceProblem(unsigned index) override {
        return m_device.deviceProblem(index);
    }

private:
    MidiOutService& m_device;
    Listener m_listener;
};

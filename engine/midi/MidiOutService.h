// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

using MidiHandle = std::uint64_t;
// When a message is meant to sound: a field tick's ideal time, or the moment a
// user's change was made. Devices that can schedule play it then; others at once.
using MidiClock = std::chrono::steady_clock;
using MidiTime = MidiClock::time_point;

// The five operations the port needs of a MIDI output backend. A packed short
// message holds status, data1 and data2 in its low three bytes.
class MidiOutService {
public:
    // What send returns when the device is no longer there (unplugged, or its
    // MIDI server stopped): the port then plays through device 0.
    static constexpr int kDeviceGone = 2;

    virtual ~MidiOutService() = default;
    virtual unsigned deviceCount() = 0;
    // The device's name, or nothing when it cannot be read.
    virtual std::optional<QString> deviceName(unsigned index) = 0;
    // The name the settings keep to find the device again in a later list:
    // its name without what changes from run to run (a passing remark, an
    // address the system hands out anew).
    virtual std::optional<QString> deviceKey(unsigned index) { return deviceName(index); }
    virtual std::optional<MidiHandle> open(unsigned index) = 0;
    // 0 on success, a non-zero code when the message was not sent.
    virtual int send(MidiHandle handle, std::uint32_t message, MidiTime when) = 0;
    virtual void close(MidiHandle handle) = 0;

    // Every message of the field tick stamped tickTime has been sent: a device
    // that schedules may render up to the next tick now.
    virtual void tickSent(MidiHandle, MidiTime) {}
    // How long a tick lasts on the system clock for a device with a clock
    // of its own (a sound card runs a little fast or slow): the field's
    // timer follows it, so the device's notes keep its grid. Nothing when
    // the device has no clock to follow.
    virtual std::optional<std::chrono::nanoseconds> tickPeriod(MidiHandle) { return std::nullopt; }
    // Why the device cannot sound now (it failed to open, or its output is
    // down), or nothing when it can or cannot tell.
    virtual std::optional<QString> deviceProblem(unsigned) { return std::nullopt; }
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/MidiTee.h"

int MidiTee::send(MidiHandle handle, std::uint32_t message, MidiTime when) {
    const int result = m_device.send(handle, message, when);
    // A device that drops a message (unplugged, say) leaves no hole in the
    // recording: what the port played is what is kept.
    if (m_listener) m_listener(message, when);
    return result;
}

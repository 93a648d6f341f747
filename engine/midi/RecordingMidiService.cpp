// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/RecordingMidiService.h"

#include <algorithm>

RecordingMidiService::RecordingMidiService(QStringList names) : m_names(std::move(names)) {}

unsigned RecordingMidiService::deviceCount() {
    return static_cast<unsigned>(m_names.size());
}

std::optional<QString> RecordingMidiService::deviceName(unsigned index) {
    if (index >= deviceCount()) return std::nullopt;
    return m_names[static_cast<qsizetype>(index)];
}

std::optional<MidiHandle> RecordingMidiService::open(unsigned index) {
    if (index >= deviceCount() || std::find(failing.begin(), failing.end(), index) != failing.end())
        return std::nullopt;
    opened.push_back(index);
    m_openedOn[m_next] = index;
    return m_next++;
}

int RecordingMidiService::send(MidiHandle handle, std::uint32_t message, MidiTime when) {
    const auto device = m_openedOn.find(handle);
    if (device != m_openedOn.end() &&
        std::find(gone.begin(), gone.end(), device->second) != gone.end())
        return kDeviceGone;
    messages.push_back({handle, message, when});
    return 0;
}

void RecordingMidiService::close(MidiHandle handle) {
    closed.push_back(handle);
}

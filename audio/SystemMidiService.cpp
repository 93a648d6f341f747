// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/SystemMidiService.h"

#include <QCoreApplication>

#include <alsa/asoundlib.h>
#include <exception>

namespace {
// The ALSA library prints its errors to the terminal (a missing card when the
// synthesizer tries its ALSA output); every failure that matters reaches the
// user through the device's name instead.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
} // namespace

SystemMidiService::SystemMidiService(QStringList soundFonts, QStringList audioOutputs)
    : m_soundFonts(std::move(soundFonts)), m_audioOutputs(std::move(audioOutputs)) {
    snd_lib_error_set_handler(&quietAlsa);
}

SystemMidiService::~SystemMidiService() = default;

unsigned SystemMidiService::deviceCount() {
    return 1 + m_external.refresh();
}

std::optional<QString> SystemMidiService::deviceName(unsigned index) {
    if (index == 0) {
        const QString name = QStringLiteral("Marulet Synth");
        const auto problem = deviceProblem(0);
        if (!problem) return name;
        return QCoreApplication::translate("SystemMidiService", "%1 (no sound: %2)")
            .arg(name, *problem);
    }
    return m_external.name(index - 1);
}

std::optional<QString> SystemMidiService::deviceKey(unsigned index) {
    if (index == 0) return QStringLiteral("Marulet Synth");
    return m_external.key(index - 1);
}

std::optional<MidiHandle> SystemMidiService::open(unsigned index) {
    auto device = std::make_unique<Device>();
    try {
        if (index == 0) {
            auto synth = std::make_unique<EmbeddedSynth>(m_soundFonts);
            if (!synth->isReady()) {
                m_synthProblem = synth->error();
                return std::nullopt;
            }
            m_synthProblem.clear();
            // Without an output yet the port still opens: the output is
            // tried again in the background and sound starts once it works.
            device->output = std::make_unique<AudioOutput>(*synth, m_audioOutputs);
            device->output->setTap(m_tap);
            device->synth = std::move(synth);
        } else {
            device->external = m_external.open(index - 1);
            if (!device->external) return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const MidiHandle handle = m_next++;
    m_open.emplace(handle, std::move(device));
    return handle;
}

int SystemMidiService::send(MidiHandle handle, std::uint32_t message, MidiTime when) {
    const auto found = m_open.find(handle);
    if (found == m_open.end()) return kInvalidHandle;
    const int length = messageLength(message);
    if (length == 0) return kBadMessage;
    Device& device = *found->second;
    if (device.output) {
        // Loads a new program's preset here, so the audio thread never reads the soundfont.
        device.synth->prepare(message);
        device.output->post(message, when);
        return 0;
    }

    const unsigned char bytes[3] = {static_cast<unsigned char>(message & 0xFF),
                                    static_cast<unsigned char>((message >> 8) & 0xFF),
                                    static_cast<unsigned char>((message >> 16) & 0xFF)};
    switch (m_external.send(*device.external, bytes, static_cast<std::size_t>(length))) {
    case ExternalMidiPorts::Sent::Done:
        return 0;
    case ExternalMidiPorts::Sent::Gone:
        return kDeviceGone;
    case ExternalMidiPorts::Sent::Failed:
        break;
    }
    return kSendFailed;
}

void SystemMidiService::close(MidiHandle handle) {
    const auto found = m_open.find(handle);
    if (found == m_open.end()) return;
    if (found->second->external) m_external.close(*found->second->external);
    m_open.erase(found);
}

void SystemMidiService::tickSent(MidiHandle handle, MidiTime tickTime) {
    const auto found = m_open.find(handle);
    if (found != m_open.end() && found->second->output) found->second->output->tickSent(tickTime);
}

std::optional<std::chrono::nanoseconds> SystemMidiService::tickPeriod(MidiHandle handle) {
    const auto found = m_open.find(handle);
    if (found == m_open.end() || !found->second->output) return std::nullopt;
    return found->second->output->tickPeriod();
}

std::optional<QString> SystemMidiService::deviceProblem(unsigned index) {
    if (index != 0) return std::nullopt;
    if (!m_synthProblem.isEmpty()) return m_synthProblem;
    for (const auto& [handle, device] : m_open)
        if (device->output) {
            const QString problem = device->output->problem();
            if (!problem.isEmpty()) return problem;
        }
    return std::nullopt;
}

void SystemMidiService::setAudioTap(AudioTap* tap) {
    m_tap = tap;
    for (const auto& [handle, device] : m_open)
        if (device->output) device->output->setTap(tap);
}

int SystemMidiService::messageLength(std::uint32_t packed) {
    const unsigned status = packed & 0xFF;
    const unsigned data1 = (packed >> 8) & 0xFF;
    const unsigned data2 = (packed >> 16) & 0xFF;
    int length = 0;
    if (status < 0x80) return 0;
    if (status < 0xF0) {
        const unsigned type = status & 0xF0;
        length = (type == 0xC0 || type == 0xD0) ? 2 : 3;
    } else {
        switch (status) {
        case 0xF1: // time code quarter frame
        case 0xF3: // song select
            length = 2;
            break;
        case 0xF2: // song position
            length = 3;
            break;
        case 0xF6:
        case 0xF8:
        case 0xFA:
        case 0xFB:
        case 0xFC:
        case 0xFE:
        case 0xFF:
            length = 1;
            break;
        default: // exclusive or undefined
            return 0;
        }
    }
    if (length >= 2 && data1 > 0x7F) return 0;
    if (length == 3 && data2 > 0x7F) return 0;
    return length;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioOutput.h"
#include "audio/AudioTap.h"
#include "audio/EmbeddedSynth.h"
#include "audio/ExternalMidiPorts.h"
#include "engine/midi/MidiOutService.h"

#include <QStringList>
#include <map>
#include <memory>

class AudioTap;

// The MIDI outputs of this machine: index 0 is the built-in synthesizer,
// 1 and up the external ports (ExternalMidiPorts: ALSA, then JACK, then
// Marulet's own port), read anew by each deviceCount().
class SystemMidiService : public MidiOutService {
public:
    static constexpr int kSendFailed = 1;    // the device refused or has gone
    static constexpr int kInvalidHandle = 5; // no such open device
    static constexpr int kBadMessage = 11;   // not a complete short message

    explicit SystemMidiService(QStringList soundFonts = EmbeddedSynth::defaultSoundFonts(),
                               QStringList audioOutputs = AudioOutput::defaultOutputs());
    ~SystemMidiService() override;
    SystemMidiService(const SystemMidiService&) = delete;
    SystemMidiService& operator=(const SystemMidiService&) = delete;

    unsigned deviceCount() override;
    std::optional<QString> deviceName(unsigned index) override;
    std::optional<QString> deviceKey(unsigned index) override;
    std::optional<MidiHandle> open(unsigned index) override;
    int send(MidiHandle handle, std::uint32_t message, MidiTime when) override;
    void close(MidiHandle handle) override;
    void tickSent(MidiHandle handle, MidiTime tickTime) override;
    std::optional<std::chrono::nanoseconds> tickPeriod(MidiHandle handle) override;
    std::optional<QString> deviceProblem(unsigned index) override;

    // Hears every block the built-in synthesizer plays, now and after any
    // later open; nullptr removes it. Once this returns the previous tap is
    // never called again.
    void setAudioTap(AudioTap* tap);

    // The bytes a packed short message puts on the wire, or 0 when it is not
    // a complete message (no status byte, a data byte with its top bit set,
    // system exclusive, an undefined status).
    static int messageLength(std::uint32_t packed);

private:
    struct Device {
        std::unique_ptr<EmbeddedSynth> synth;
        std::unique_ptr<AudioOutput> output; // stops before its synth goes
        std::optional<ExternalMidiPorts::Handle> external;
    };

    QStringList m_soundFonts;
    QStringList m_audioOutputs;
    QString m_synthProblem; // why the last open of the synth failed
    AudioTap* m_tap = nullptr;
    ExternalMidiPorts m_external;
    std::map<MidiHandle, std::unique_ptr<Device>> m_open;
    MidiHandle m_next = 1;
};

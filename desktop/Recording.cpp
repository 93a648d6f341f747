// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/Recording.h"

#include "audio/SystemMidiService.h"
#include "engine/midi/TMidiPort.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace {
constexpr int kVoices = 4; // the channels the pieces play on
constexpr int kKeepEveryMs = 2000;
} // namespace

Recording::Recording(MidiOutService& device, AudioHost audioHost, QObject* parent,
                     DiskFileOpener midiDisk)
    : QObject(parent), m_tee(device), m_audioHost(std::move(audioHost)),
      m_midiDisk(std::move(midiDisk)) {
    m_keeper.setInterval(kKeepEveryMs);
    connect(&m_keeper, &QTimer::timeout, this, &Recording::keep);
}

Recording::~Recording() {
    // Whoever listened may be going away too.
    blockSignals(true);
    stopAudio();
    stopMidi();
    waitForFiles();
}

Recording::AudioHost Recording::audioHostOf(MidiOutService& device) {
    auto* system = dynamic_cast<SystemMidiService*>(&device);
    if (!system) return {};
    return [system](AudioTap* tap) { system->setAudioTap(tap); };
}

bool Recording::startMidi(const QString& path) {
    stopMidi();
    auto writer = std::make_unique<MidiFileWriter>(m_midiDisk);
    // From the disk thread: looked at in this one.
    writer->setOnWritten(
        [this] { QMetaObject::invokeMethod(this, &Recording::checkMidi, Qt::QueuedConnection); });
    std::array<std::int32_t, kVoices> programs{};
    std::array<std::int32_t, kVoices> volumes{};
    programs.fill(0);
    volumes.fill(90);
    if (midiPort) {
        std::copy_n(midiPort->programs.begin(), kVoices, programs.begin());
        std::copy_n(midiPort->volumes.begin(), kVoices, volumes.begin());
    }
    if (!writer->open(path, MidiClock::now(), programs, volumes)) {
        m_lastError = tr("The MIDI recording could not be started: %1 could not be written (%2).")
                          .arg(path, writer->error());
        return false;
    }
    m_midi = std::move(writer);
    m_tee.setListener([this](std::uint32_t message, MidiTime when) { m_midi->add(message, when); });
    m_keeper.start();
    emit stateChanged();
    return true;
}

void Recording::stopMidi() {
    if (!m_midi) return;
    m_tee.setListener({});
    const bool hadFailed = m_midi->failed();
    m_midi->finish(MidiClock::now());
    m_closing.push_back({std::move(m_midi), hadFailed});
    if (!active()) m_keeper.stop();
    emit stateChanged();
}

void Recording::waitForFiles() {
    for (const Closing& closing : m_closing)
        closing.writer->wait();
    checkMidi();
}

// Ends a recording whose disk failed, and tells how the stopped ones ended.
// Told last: whoever hears it may run an event loop that comes back here.
void Recording::checkMidi() {
    QStringList messages;
    if (m_midi && m_midi->failed()) {
        messages << tr("The MIDI recording stopped: %1. The file keeps what was "
                       "recorded until then.")
                        .arg(m_midi->error());
        stopMidi();
        m_closing.back().hadFailed = true;
    }
    for (auto closing = m_closing.begin(); closing != m_closing.end();) {
        if (!closing->writer->isFinished()) {
            ++closing;
            continue;
        }
        if (closing->writer->failed() && !closing->hadFailed)
            messages << tr("The MIDI recording could not be completed: %1.")
                            .arg(closing->writer->error());
        closing = m_closing.erase(closing);
    }
    for (const QString& message : messages) {
        m_lastError = message;
        emit failed(message);
    }
}

bool Recording::audioPossible() const {
    return m_audioHost && midiPort && midiPort->deviceId == 0;
}

bool Recording::startAudio(const QString& path) {
    stopAudio();
    if (!m_audioHost) {
        m_lastError = tr("The audio recording could not be started: only the built-in "
                         "synthesizer can be recorded as audio.");
        return false;
    }
    auto recorder = std::make_unique<WavRecorder>();
    // At the rate the synthesizer renders for its output, which its first
    // block tells: the output's own, not one fixed here.
    if (!recorder->open(path)) {
        m_lastError = tr("The audio recording could not be started: %1 could not be written (%2).")
                          .arg(path, recorder->error());
        return false;
    }
    m_audio = std::move(recorder);
    m_audioHost(m_audio.get());
    m_keeper.start();
    emit stateChanged();
    return true;
}

void Recording::stopAudio() {
    if (!m_audio) return;
    // After this the audio thread no longer sees the recorder.
    m_audioHost(nullptr);
    const bool hadFailed = m_audio->failed();
    if (!m_audio->finish() && !hadFailed) {
        m_lastError =
            m_audio->failed()
                ? tr("The audio recording could not be completed: %1.").arg(m_audio->error())
                : tr("The audio recording misses %1 seconds that the disk could "
                     "not take in time.")
                      .arg(double(m_audio->framesDropped()) / std::max(1, m_audio->sampleRate()), 0,
                           'f', 1);
        emit failed(m_lastError);
    }
    m_audio.reset();
    if (!active()) m_keeper.stop();
    emit stateChanged();
}

// Brings the files up to date on disk, and ends a recording whose disk is full.
void Recording::keep() {
    if (m_midi) m_midi->commit();
    checkMidi();
    if (m_audio && m_audio->failed()) {
        const QString message = tr("The audio recording stopped: %1. The file keeps what was "
                                   "recorded until then.")
                                    .arg(m_audio->error());
        stopAudio();
        m_lastError = message;
        emit failed(message);
    }
}

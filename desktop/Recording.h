// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/WavRecorder.h"
#include "engine/midi/MidiFileWriter.h"
#include "engine/midi/MidiTee.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class AudioTap;

// Keeps what plays: a MIDI file of every message the port sends, and a WAV
// file of what the built-in synthesizer renders. Both go on across layout
// loads and device changes until stopped; destruction completes the files.
class Recording : public QObject {
    Q_OBJECT
public:
    // Hands the synthesizer's output to a tap (nullptr: no tap).
    using AudioHost = std::function<void(AudioTap*)>;

    // device: the real outputs; the port is to be built on output().
    // audioHost: empty when the device cannot show its audio.
    Recording(MidiOutService& device, AudioHost audioHost, QObject* parent = nullptr);
    ~Recording() override;

    // The built-in synthesizer's tap of a service that has one, else empty.
    static AudioHost audioHostOf(MidiOutService& device);

    MidiOutService& output() { return m_tee; }

    // Starting replaces a file of that name. False with lastError() set when
    // the file cannot be made.
    bool startMidi(const QString& path);
    void stopMidi();
    bool midiActive() const { return m_midi != nullptr; }

    // Only the built-in synthesizer (device 0) is heard here.
    bool audioPossible() const;
    bool startAudio(const QString& path);
    void stopAudio();
    bool audioActive() const { return m_audio != nullptr; }

    bool active() const { return midiActive() || audioActive(); }
    QString lastError() const { return m_lastError; }

signals:
    void stateChanged();
    // A recording stopped on its own (a full disk); the file keeps what was
    // written before.
    void failed(const QString& message);

private:
    void keep();

    MidiTee m_tee;
    AudioHost m_audioHost;
    std::unique_ptr<MidiFileWriter> m_midi;
    std::unique_ptr<WavRecorder> m_audio;
    QTimer m_keeper;
    QString m_lastError;
};

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
#include <vector>

class AudioTap;

// Keeps what plays: a MIDI file of every message the port sends, and a WAV
// file of what the built-in synthesizer renders. Both go on across layout
// loads and device changes until stopped; destruction completes the files.
// The MIDI file is written by a disk thread of its writer's: nothing here
// waits for the disk but waitForFiles().
class Recording : public QObject {
    Q_OBJECT
public:
    // Hands the synthesizer's output to a tap (nullptr: no tap).
    using AudioHost = std::function<void(AudioTap*)>;

    // device: the real outputs; the port is to be built on output().
    // audioHost: empty when the device cannot show its audio.
    // midiDisk: where MIDI files are made.
    Recording(MidiOutService& device, AudioHost audioHost, QObject* parent = nullptr,
              DiskFileOpener midiDisk = &PosixDiskFile::create);
    ~Recording() override;

    // The built-in synthesizer's tap of a service that has one, else empty.
    static AudioHost audioHostOf(MidiOutService& device);

    MidiOutService& output() { return m_tee; }

    // Starting replaces a file of that name. False with lastError() set when
    // the file cannot be made.
    bool startMidi(const QString& path);
    // The file is completed in the background; a failure to complete it is
    // told through failed().
    void stopMidi();
    bool midiActive() const { return m_midi != nullptr; }
    // Waits until every stopped MIDI recording's file is complete on disk.
    void waitForFiles();

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
    // A stopped MIDI recording whose file is being completed.
    struct Closing {
        std::unique_ptr<MidiFileWriter> writer;
        bool hadFailed; // its failure was told already
    };

    void keep();
    void checkMidi();

    MidiTee m_tee;
    AudioHost m_audioHost;
    DiskFileOpener m_midiDisk;
    std::unique_ptr<MidiFileWriter> m_midi;
    std::vector<Closing> m_closing;
    std::unique_ptr<WavRecorder> m_audio;
    QTimer m_keeper;
    QString m_lastError;
};

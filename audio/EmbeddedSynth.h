// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <fluidsynth/types.h>
#include <mutex>
#include <span>

// The built-in General MIDI synthesizer: FluidSynth with the first usable
// soundfont from a list of places. It renders into buffers (render); whoever
// calls it decides where the samples go. Nothing here throws; a failure
// leaves a readable reason in error().
class EmbeddedSynth {
public:
    // 50 ms is exactly 40 of FluidSynth's 64-frame blocks at this rate, so
    // every tick's notes start at the same place in a block: at 44.1 kHz the
    // block grid alone spread onsets over 1.45 ms.
    static constexpr int kSampleRate = 51200;

    // The usual places of a General MIDI soundfont on Linux distributions,
    // the user's own folder first.
    static QStringList defaultSoundFonts();

    // Loads the first candidate that is a loadable SoundFont; check isReady().
    explicit EmbeddedSynth(const QStringList& soundFonts = defaultSoundFonts());
    ~EmbeddedSynth();
    EmbeddedSynth(const EmbeddedSynth&) = delete;
    EmbeddedSynth& operator=(const EmbeddedSynth&) = delete;

    bool isReady() const { return m_synth != nullptr; }
    // Why the synth is not ready; empty otherwise.
    QString error() const { return m_error; }
    QString soundFont() const { return m_soundFont; }
    int activeVoices() const;

    // Plays one packed short message (status in the low byte, then data1,
    // data2). 0 when the synth took it, non-zero for a malformed message or a
    // synth that is not ready.
    int send(std::uint32_t packed);

    // Fills interleaved stereo frames (left, right, left, ...).
    bool render(std::span<float> interleavedStereo);

private:
    static void onFluidLog(int level, const char* message, void* data);
    void listenToLog();
    void muteLog();
    QString firstLoggedError();
    QString loadSoundFont(const QString& path);

    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    QString m_soundFont;
    QString m_error;
    std::mutex m_logMutex; // FluidSynth may log from the thread that renders
    QStringList m_loggedErrors;
};

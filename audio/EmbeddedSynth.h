// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>
#include <fluidsynth/types.h>
#include <mutex>
#include <span>
#include <vector>

// The built-in General MIDI synthesizer: FluidSynth with the first usable
// soundfont from a list of places. It renders into buffers (render); whoever
// calls it decides where the samples go. Nothing here throws; a failure
// leaves a readable reason in error().
//
// Samples are read from the soundfont when a preset is first used, and a
// program change would read them wherever it is applied: on the audio thread.
// So every message passes prepare() first, on the thread that posts it: the
// presets the channels are given are loaded there and held, and a preset no
// channel uses any more is let go once its last note has faded. send() and
// render() may then run on another thread; the two meet only for moments.
class EmbeddedSynth {
public:
    // The rate of most desktops' sound servers, used until the output says
    // its own: rendering at the output's rate leaves nothing to resample.
    static constexpr int kDefaultSampleRate = 48000;
    // The rates FluidSynth renders at; an output at another one is fed at
    // the default rate and left to convert.
    static constexpr int kLowestSampleRate = 8000;
    static constexpr int kHighestSampleRate = 96000;

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

    // Before a message can reach send(): loads the preset a program change or
    // a reset selects, so that applying it reads nothing from the disk, and
    // lets go of presets that are no longer used. It reads the disk without
    // holding the synth, and holds it only for moments.
    void prepare(std::uint32_t packed);
    // How many presets have their samples held in memory now.
    int heldPresets() const;

    // Plays one packed short message (status in the low byte, then data1,
    // data2). 0 when the synth took it, non-zero for a malformed message or a
    // synth that is not ready.
    int send(std::uint32_t packed);

    // Fills interleaved stereo frames (left, right, left, ...).
    bool render(std::span<float> interleavedStereo);

    // Renders at another rate from now on: a new FluidSynth at that rate
    // takes the old one's place with the channels' programs, controllers and
    // bends and the held presets (FluidSynth cannot change a synth's rate
    // itself; since 2.4.4 it does not even try). Sounding notes are cut. It
    // reads the soundfont's headers, not its samples, outside every lock;
    // prepare() waits only while the presets are taken over. Safe beside
    // render(), send() and prepare() on other threads. False for a
    // rate outside FluidSynth's range or a new synth that failed: the old
    // one plays on at its rate.
    bool setSampleRate(int rate);
    int sampleRate() const { return m_rate.load(std::memory_order_relaxed); }

private:
    static constexpr int kChannels = 16;
    static constexpr int kPolyphony = 64;

    // A preset held in memory, by bank * 128 + program. Its notes are the
    // voices on its channels numbered from firstNote and, once it is out of
    // use, up to lastNote: FluidSynth numbers notes in order.
    struct Held {
        int preset;
        bool wanted;               // a channel has been given it
        unsigned int channels = 0; // where it has been played, a bit each
        std::int64_t firstNote = 0;
        bool fading = false; // out of use; waiting for its notes to end
        std::int64_t lastNote = 0;
    };

    static fluid_settings_t* playingSettings(int rate);
    static void onFluidLog(int level, const char* message, void* data);
    void listenToLog();
    void muteLog();
    QString firstLoggedError();
    QString loadSoundFont(const QString& path);
    void holdInitialPresets();
    int presetFor(int channel, int program) const;
    void give(int channel, int preset);
    bool load(int preset);
    Held* find(int preset);
    void letGo();
    void unpin(int preset);

    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    int m_fontId = -1;
    fluid_sfont_t* m_font = nullptr; // its presets, read only
    // A second synth on the same file, used only by prepare(): its loads go
    // to disk outside the lock and leave the samples in FluidSynth's cache,
    // where the synth that plays finds them at once.
    fluid_settings_t* m_loaderSettings = nullptr;
    fluid_synth_t* m_loader = nullptr;
    int m_loaderFontId = -1;
    // Held by whoever calls into m_synth: render() and send() on the audio
    // thread, prepare() for the moments it touches the playing synth.
    mutable std::mutex m_synthMutex;
    // Program changes and resets that send() has applied.
    std::atomic<std::uint64_t> m_applied{0};
    // Held by prepare(), and by setSampleRate() while it takes its state over.
    std::mutex m_prepareMutex;
    // prepare()'s own: what the channels have been given.
    std::uint64_t m_posted = 0;
    std::uint64_t m_checked = 0;    // m_applied when the playing presets were last looked at
    std::int64_t m_newestNote = -1; // the newest note seen sounding
    std::array<int, kChannels> m_bank{};
    std::array<int, kChannels> m_wanted{};
    std::vector<Held> m_held;
    std::atomic<int> m_rate{kDefaultSampleRate};
    QString m_soundFont;
    QString m_error;
    std::mutex m_logMutex; // FluidSynth may log from the thread that renders
    QStringList m_loggedErrors;
};

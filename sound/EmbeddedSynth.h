#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <fluidsynth/types.h>
#include <mutex>
#include <span>

// The built-in General MIDI synthesizer: FluidSynth with the first usable
// soundfont from a list of places. It plays either through an audio driver
// (startAudio) or offline into a buffer (render). Nothing here throws; a
// failure leaves a readable reason in error().
class EmbeddedSynth {
public:
    static constexpr int kSampleRate = 44100;

    static QStringList defaultSoundFonts();
    static QStringList defaultAudioDrivers();

    // Loads the first candidate that is a loadable SoundFont; check isReady().
    explicit EmbeddedSynth(const QStringList& soundFonts = defaultSoundFonts());
    ~EmbeddedSynth();
    EmbeddedSynth(const EmbeddedSynth&) = delete;
    EmbeddedSynth& operator=(const EmbeddedSynth&) = delete;

    bool isReady() const { return m_synth != nullptr; }
    bool hasAudio() const { return m_driver != nullptr; }
    // Why the synth is not ready or the last startAudio failed; empty otherwise.
    QString error() const { return m_error; }
    QString soundFont() const { return m_soundFont; }
    QString audioDriver() const { return m_driverName; }

    // Plays one packed short message (status in the low byte, then data1,
    // data2). 0 when the synth took it, non-zero for a malformed message or a
    // synth that is not ready.
    int send(std::uint32_t packed);

    // Fills interleaved stereo frames (left, right, left, ...) offline. Refused
    // while an audio driver is pulling samples of its own.
    bool render(std::span<float> interleavedStereo);

    // Tries the drivers in order until one opens; each missing one fails fast.
    bool startAudio(const QStringList& drivers = defaultAudioDrivers());
    void stopAudio();

private:
    static void onFluidLog(int level, const char* message, void* data);
    void listenToLog();
    void muteLog();
    QString firstLoggedError();
    QString loadSoundFont(const QString& path);

    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    fluid_audio_driver_t* m_driver = nullptr;
    QString m_soundFont;
    QString m_driverName;
    QString m_error;
    std::mutex m_logMutex; // FluidSynth may log from its audio thread
    QStringList m_loggedErrors;
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/EmbeddedSynth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fluidsynth.h>
#include <malloc.h>

namespace {
constexpr int kRejected = 1;

// FluidSynth ends most of its messages with a full stop; ours add more text.
QString trimmed(QString text) {
    text = text.trimmed();
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

// A SoundFont is a RIFF file of form "sfbk". Checking this ourselves keeps
// other files away from the fallback loaders, which are loud about them.
bool looksLikeSoundFont(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "sfbk";
}
} // namespace

QStringList EmbeddedSynth::defaultSoundFonts() {
    // Debian and Ubuntu use sounds/sf2, Arch and Fedora soundfonts.
    QStringList places{QStringLiteral("/usr/share/sounds/sf2"),
                       QStringLiteral("/usr/share/soundfonts")};
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QStringLiteral("/"))
        places.prepend(home + QStringLiteral("/.local/share/sounds/sf2"));
    QStringList paths;
    for (const QString& place : places)
        for (const char* name : {"default-GM.sf2", "default.sf2", "FluidR3_GM.sf2", "TimGM6mb.sf2"})
            paths << place + QLatin1Char('/') + QLatin1String(name);
    return paths;
}

EmbeddedSynth::EmbeddedSynth(const QStringList& soundFonts) {
    listenToLog();
    m_settings = new_fluid_settings();
    if (m_settings) {
        // Load sample data when a preset is first used, not all of it up front.
        fluid_settings_setint(m_settings, "synth.dynamic-sample-loading", 1);
        fluid_settings_setnum(m_settings, "synth.sample-rate", kSampleRate);
        // The field never sounds more than about 20 voices; 64 leaves room
        // and saves the memory of the default 256.
        fluid_settings_setint(m_settings, "synth.polyphony", 64);
        // Only the sound card's thread renders: no locking on every call.
        fluid_settings_setint(m_settings, "synth.threadsafe-api", 0);
        m_synth = new_fluid_synth(m_settings);
    }
    if (!m_synth) {
        const QString why = firstLoggedError();
        m_error =
            QCoreApplication::translate("EmbeddedSynth", "the synthesizer could not be created");
        if (!why.isEmpty()) m_error += QStringLiteral(": ") + why;
        muteLog();
        return;
    }
    muteLog();

    bool anyFound = false;
    QStringList problems;
    QStringList places;
    for (const QString& path : soundFonts) {
        const QString place = QFileInfo(path).absolutePath();
        if (!places.contains(place)) places << place;
        if (!QFileInfo(path).isFile()) continue;
        anyFound = true;
        const QString problem = loadSoundFont(path);
        if (problem.isEmpty()) {
            m_soundFont = path;
            // Loading leaves freed parse buffers in the heap; give them back.
            malloc_trim(0);
            return;
        }
        problems << problem;
    }

    if (anyFound)
        m_error =
            QCoreApplication::translate("EmbeddedSynth", "no usable General MIDI soundfont: ") +
            problems.join(QStringLiteral("; "));
    else if (places.isEmpty())
        m_error = QCoreApplication::translate("EmbeddedSynth", "no General MIDI soundfont found");
    else
        m_error =
            QCoreApplication::translate("EmbeddedSynth", "no General MIDI soundfont found in ") +
            places.join(QStringLiteral(", "));
    delete_fluid_synth(m_synth);
    m_synth = nullptr;
}

EmbeddedSynth::~EmbeddedSynth() {
    muteLog();
    if (m_synth) delete_fluid_synth(m_synth);
    if (m_settings) delete_fluid_settings(m_settings);
}

QString EmbeddedSynth::loadSoundFont(const QString& path) {
    if (!looksLikeSoundFont(path))
        return path + QCoreApplication::translate("EmbeddedSynth", " is not a SoundFont file");
    listenToLog();
    const int id = fluid_synth_sfload(m_synth, QFile::encodeName(path).constData(), 1);
    const QString why = firstLoggedError();
    muteLog();
    if (id != FLUID_FAILED) return {};
    return path + QCoreApplication::translate("EmbeddedSynth", " could not be loaded") +
           (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
}

int EmbeddedSynth::send(std::uint32_t packed) {
    if (!m_synth) return kRejected;
    const int status = packed & 0xFF;
    const int data1 = (packed >> 8) & 0xFF;
    const int data2 = (packed >> 16) & 0xFF;
    if (status < 0x80) return kRejected;
    if (status >= 0xF0) {
        // Nothing in the system range is a sound event except the reset;
        // exclusive messages never come as short messages.
        if (status == 0xF0 || status == 0xF7) return kRejected;
        if (status == 0xFF) fluid_synth_system_reset(m_synth);
        return 0;
    }

    const int type = status & 0xF0;
    const int channel = status & 0x0F;
    const bool twoBytes = type == 0xC0 || type == 0xD0;
    if (data1 > 0x7F || (!twoBytes && data2 > 0x7F)) return kRejected;

    int result = FLUID_OK;
    switch (type) {
    case 0x80:
        // A note that has already ended is no failure to deliver.
        fluid_synth_noteoff(m_synth, channel, data1);
        break;
    case 0x90:
        if (data2 == 0)
            fluid_synth_noteoff(m_synth, channel, data1);
        else
            result = fluid_synth_noteon(m_synth, channel, data1, data2);
        break;
    case 0xA0:
        result = fluid_synth_key_pressure(m_synth, channel, data1, data2);
        break;
    case 0xB0:
        result = fluid_synth_cc(m_synth, channel, data1, data2);
        break;
    case 0xC0:
        result = fluid_synth_program_change(m_synth, channel, data1);
        break;
    case 0xD0:
        result = fluid_synth_channel_pressure(m_synth, channel, data1);
        break;
    default: // 0xE0
        result = fluid_synth_pitch_bend(m_synth, channel, data1 | (data2 << 7));
        break;
    }
    return result == FLUID_OK ? 0 : kRejected;
}

bool EmbeddedSynth::render(std::span<float> interleavedStereo) {
    if (!m_synth || interleavedStereo.size() % 2 != 0) return false;
    const auto frames = static_cast<int>(interleavedStereo.size() / 2);
    if (frames == 0) return true;
    float* out = interleavedStereo.data();
    return fluid_synth_write_float(m_synth, frames, out, 0, 2, out, 1, 2) == FLUID_OK;
}

int EmbeddedSynth::activeVoices() const {
    return m_synth ? fluid_synth_get_active_voice_count(m_synth) : 0;
}

// FluidSynth's log handlers are process-wide. Between our own calls they point
// nowhere, so nothing reaches the terminal and no handler outlives its synth.
void EmbeddedSynth::onFluidLog(int level, const char* message, void* data) {
    auto* self = static_cast<EmbeddedSynth*>(data);
    if (!self || !message || (level != FLUID_PANIC && level != FLUID_ERR)) return;
    const std::lock_guard lock(self->m_logMutex);
    self->m_loggedErrors << trimmed(QString::fromUtf8(message));
}

void EmbeddedSynth::listenToLog() {
    {
        const std::lock_guard lock(m_logMutex);
        m_loggedErrors.clear();
    }
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, &EmbeddedSynth::onFluidLog, this);
}

void EmbeddedSynth::muteLog() {
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, &EmbeddedSynth::onFluidLog, nullptr);
}

// The first complaint names the cause; later ones only say that loading failed.
QString EmbeddedSynth::firstLoggedError() {
    const std::lock_guard lock(m_logMutex);
    return m_loggedErrors.isEmpty() ? QString() : m_loggedErrors.first();
}

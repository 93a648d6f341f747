// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/EmbeddedSynth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <fluidsynth.h>
#include <malloc.h>
#include <utility>

namespace {
constexpr int kRejected = 1;
constexpr int kDrumChannel = 9; // FluidSynth's General MIDI percussion channel
constexpr int kDrumBank = 128;  // where it looks for drum kits
constexpr int kPresetsABank = 128;

int bankOf(int preset) {
    return preset / kPresetsABank;
}
int programOf(int preset) {
    return preset % kPresetsABank;
}

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

fluid_settings_t* EmbeddedSynth::playingSettings(int rate) {
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings) return nullptr;
    // Load sample data when a preset is first used, not all of it up front.
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
    fluid_settings_setnum(settings, "synth.sample-rate", rate);
    // The field never sounds more than about 20 voices; 64 leaves room
    // and saves the memory of the default 256.
    fluid_settings_setint(settings, "synth.polyphony", kPolyphony);
    // Our own lock keeps the two threads apart; FluidSynth's would be a
    // second one on every call.
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    return settings;
}

EmbeddedSynth::EmbeddedSynth(const QStringList& soundFonts) {
    listenToLog();
    m_settings = playingSettings(kDefaultSampleRate);
    if (m_settings) m_synth = new_fluid_synth(m_settings);
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
            holdInitialPresets();
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
    if (m_synth) {
        for (const Held& held : m_held)
            unpin(held.preset);
        delete_fluid_synth(m_synth);
    }
    if (m_settings) delete_fluid_settings(m_settings);
    if (m_loader) delete_fluid_synth(m_loader);
    if (m_loaderSettings) delete_fluid_settings(m_loaderSettings);
}

QString EmbeddedSynth::loadSoundFont(const QString& path) {
    if (!looksLikeSoundFont(path))
        return path + QCoreApplication::translate("EmbeddedSynth", " is not a SoundFont file");
    listenToLog();
    const int id = fluid_synth_sfload(m_synth, QFile::encodeName(path).constData(), 1);
    const QString why = firstLoggedError();
    muteLog();
    if (id != FLUID_FAILED) {
        m_fontId = id;
        m_font = fluid_synth_get_sfont_by_id(m_synth, id);
        return {};
    }
    return path + QCoreApplication::translate("EmbeddedSynth", " could not be loaded") +
           (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
}

// Loading the soundfont gave every channel its first preset and loaded it;
// holding those keeps a reset from loading them again. The loader gets the
// file too, without selecting anything. Without a loader prepare() still
// works, only its lock lasts as long as the disk takes.
void EmbeddedSynth::holdInitialPresets() {
    for (int channel = 0; channel < kChannels; ++channel) {
        const int preset = m_wanted[channel] = presetFor(channel, 0);
        if (preset < 0) continue;
        if (Held* held = find(preset)) {
            held->channels |= 1u << channel;
        } else if (fluid_synth_pin_preset(m_synth, m_fontId, bankOf(preset), programOf(preset)) ==
                   FLUID_OK) {
            m_held.push_back({preset, true, 1u << channel});
        }
    }

    m_loaderSettings = new_fluid_settings();
    if (!m_loaderSettings) return;
    fluid_settings_setint(m_loaderSettings, "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(m_loaderSettings, "synth.polyphony", 1);
    fluid_settings_setint(m_loaderSettings, "synth.reverb.active", 0);
    fluid_settings_setint(m_loaderSettings, "synth.chorus.active", 0);
    fluid_settings_setint(m_loaderSettings, "synth.threadsafe-api", 0);
    m_loader = new_fluid_synth(m_loaderSettings);
    if (m_loader)
        m_loaderFontId =
            fluid_synth_sfload(m_loader, QFile::encodeName(m_soundFont).constData(), 0);
    if (m_loaderFontId == FLUID_FAILED && m_loader) {
        delete_fluid_synth(m_loader);
        m_loader = nullptr;
    }
}

// The preset FluidSynth selects for a program change: the channel's bank,
// the drum bank on the percussion channel, then its fallbacks.
int EmbeddedSynth::presetFor(int channel, int program) const {
    const auto exists = [this](int bank, int number) {
        return fluid_sfont_get_preset(m_font, bank, number) != nullptr;
    };
    const bool drums = channel == kDrumChannel;
    const int bank = drums ? kDrumBank : m_bank[channel];
    if (exists(bank, program)) return bank * kPresetsABank + program;
    if (drums) return exists(kDrumBank, 0) ? kDrumBank * kPresetsABank : -1;
    if (exists(0, program)) return program;
    return exists(0, 0) ? 0 : -1;
}

EmbeddedSynth::Held* EmbeddedSynth::find(int preset) {
    const auto held = std::find_if(m_held.begin(), m_held.end(),
                                   [preset](const Held& each) { return each.preset == preset; });
    return held == m_held.end() ? nullptr : &*held;
}

void EmbeddedSynth::prepare(std::uint32_t packed) {
    if (!m_synth) return;
    const std::lock_guard prepareLock(m_prepareMutex);
    const int status = packed & 0xFF;
    const int data1 = (packed >> 8) & 0xFF;
    const int data2 = (packed >> 16) & 0xFF;
    const int channel = status & 0x0F;
    if (status == 0xFF) {
        m_bank.fill(0);
        for (int each = 0; each < kChannels; ++each)
            give(each, presetFor(each, 0));
        ++m_posted;
    } else if ((status & 0xF0) == 0xB0 && data1 == 0 && data2 <= 0x7F) {
        // Bank select: FluidSynth's default style takes the high byte alone.
        m_bank[channel] = data2;
    } else if ((status & 0xF0) == 0xC0 && data1 <= 0x7F) {
        give(channel, presetFor(channel, data1));
        ++m_posted;
    }
    letGo();
}

void EmbeddedSynth::give(int channel, int preset) {
    if (preset < 0) return;
    const int old = m_wanted[channel];
    m_wanted[channel] = preset;
    if (Held* held = find(preset)) {
        held->wanted = true;
        held->fading = false;
        held->channels |= 1u << channel;
    } else if (load(preset)) {
        // Its notes can only begin once its program change is applied.
        m_held.push_back({preset, true, 1u << channel, m_newestNote + 1});
    }
    if (old == preset || std::find(m_wanted.begin(), m_wanted.end(), old) != m_wanted.end()) return;
    if (Held* held = find(old)) held->wanted = false;
}

bool EmbeddedSynth::load(int preset) {
    const int bank = bankOf(preset), program = programOf(preset);
    if (m_loader) fluid_synth_pin_preset(m_loader, m_loaderFontId, bank, program);
    bool loaded = false;
    {
        const std::lock_guard lock(m_synthMutex);
        loaded = fluid_synth_pin_preset(m_synth, m_fontId, bank, program) == FLUID_OK;
    }
    // The playing synth holds the samples now; the cache keeps them for it.
    if (m_loader) fluid_synth_unpin_preset(m_loader, m_loaderFontId, bank, program);
    return loaded;
}

// Lets go of the presets no channel has or will have, once none of their
// notes still sounds: only then can no voice on the audio thread be the last
// to free their samples.
void EmbeddedSynth::letGo() {
    const bool unwanted =
        std::any_of(m_held.begin(), m_held.end(), [](const Held& held) { return !held.wanted; });
    if (!unwanted && m_applied.load(std::memory_order_relaxed) == m_checked) return;
    const std::unique_lock lock(m_synthMutex, std::try_to_lock);
    if (!lock.owns_lock()) return; // the audio thread is in; next time
    const std::uint64_t applied = m_applied.load(std::memory_order_relaxed);
    if (applied < m_posted) return; // program changes still on their way

    std::array<fluid_voice_t*, kPolyphony> voices{};
    fluid_synth_get_voicelist(m_synth, voices.data(), kPolyphony, -1);
    for (fluid_voice_t* voice : voices)
        if (voice) m_newestNote = std::max<std::int64_t>(m_newestNote, fluid_voice_get_id(voice));

    // A program change that came without prepare() loaded its preset where
    // it was applied; holding it now keeps a later change from freeing it
    // there. Any sounding note may be its.
    std::array<int, kChannels> playing{};
    for (int channel = 0; channel < kChannels; ++channel) {
        fluid_preset_t* preset = fluid_synth_get_channel_preset(m_synth, channel);
        playing[channel] =
            preset ? fluid_preset_get_banknum(preset) * kPresetsABank + fluid_preset_get_num(preset)
                   : -1;
        if (playing[channel] < 0) continue;
        if (Held* held = find(playing[channel])) {
            held->channels |= 1u << channel;
        } else if (fluid_synth_pin_preset(m_synth, m_fontId, bankOf(playing[channel]),
                                          programOf(playing[channel])) == FLUID_OK) {
            m_held.push_back({playing[channel], false, 1u << channel});
        }
    }
    m_checked = applied;

    for (auto held = m_held.begin(); held != m_held.end();) {
        if (held->wanted ||
            std::find(playing.begin(), playing.end(), held->preset) != playing.end()) {
            held->fading = false;
            ++held;
            continue;
        }
        if (!held->fading) {
            held->fading = true;
            held->lastNote = m_newestNote;
        }
        const bool sounding = std::any_of(voices.begin(), voices.end(), [&](fluid_voice_t* voice) {
            if (!voice) return false;
            const std::int64_t id = fluid_voice_get_id(voice);
            return (held->channels >> fluid_voice_get_channel(voice) & 1u) &&
                   id >= held->firstNote && id <= held->lastNote;
        });
        if (sounding) {
            ++held;
            continue;
        }
        unpin(held->preset);
        held = m_held.erase(held);
    }
}

void EmbeddedSynth::unpin(int preset) {
    fluid_synth_unpin_preset(m_synth, m_fontId, bankOf(preset), programOf(preset));
}

int EmbeddedSynth::heldPresets() const {
    return static_cast<int>(m_held.size());
}

int EmbeddedSynth::send(std::uint32_t packed) {
    if (!m_synth) return kRejected;
    const std::lock_guard lock(m_synthMutex);
    const int status = packed & 0xFF;
    const int data1 = (packed >> 8) & 0xFF;
    const int data2 = (packed >> 16) & 0xFF;
    if (status < 0x80) return kRejected;
    if (status >= 0xF0) {
        // Nothing in the system range is a sound event except the reset;
        // exclusive messages never come as short messages.
        if (status == 0xF0 || status == 0xF7) return kRejected;
        if (status == 0xFF) {
            fluid_synth_system_reset(m_synth);
            m_applied.fetch_add(1, std::memory_order_relaxed);
        }
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
        m_applied.fetch_add(1, std::memory_order_relaxed);
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
    const std::lock_guard lock(m_synthMutex);
    return fluid_synth_write_float(m_synth, frames, out, 0, 2, out, 1, 2) == FLUID_OK;
}

bool EmbeddedSynth::setSampleRate(int rate) {
    if (!m_synth || rate < kLowestSampleRate || rate > kHighestSampleRate) return false;
    if (rate == sampleRate()) return true;
    fluid_settings_t* settings = playingSettings(rate);
    fluid_synth_t* synth = settings ? new_fluid_synth(settings) : nullptr;
    const int fontId =
        synth ? fluid_synth_sfload(synth, QFile::encodeName(m_soundFont).constData(), 1)
              : FLUID_FAILED;
    if (fontId == FLUID_FAILED) {
        if (synth) delete_fluid_synth(synth);
        if (settings) delete_fluid_settings(settings);
        return false;
    }

    const std::lock_guard prepareLock(m_prepareMutex);
    // The held presets' samples are in FluidSynth's cache: pinning them
    // again reads nothing.
    for (const Held& held : m_held)
        fluid_synth_pin_preset(synth, fontId, bankOf(held.preset), programOf(held.preset));
    fluid_synth_t* old = nullptr;
    fluid_settings_t* oldSettings = nullptr;
    const int oldFontId = m_fontId;
    {
        const std::lock_guard lock(m_synthMutex);
        for (int channel = 0; channel < kChannels; ++channel) {
            // Controllers first: the bank ones are what the program needs.
            // Channel mode messages and data entry would act, not restore.
            for (int control = 0; control < 120; ++control) {
                if (control == 6 || control == 38 || (control >= 96 && control <= 101)) continue;
                int value = 0;
                if (fluid_synth_get_cc(m_synth, channel, control, &value) == FLUID_OK)
                    fluid_synth_cc(synth, channel, control, value);
            }
            int font = 0, bank = 0, program = 0;
            if (fluid_synth_get_program(m_synth, channel, &font, &bank, &program) == FLUID_OK &&
                font == m_fontId)
                fluid_synth_program_select(synth, channel, fontId, bank, program);
            int value = 0;
            if (fluid_synth_get_pitch_wheel_sens(m_synth, channel, &value) == FLUID_OK)
                fluid_synth_pitch_wheel_sens(synth, channel, value);
            if (fluid_synth_get_pitch_bend(m_synth, channel, &value) == FLUID_OK)
                fluid_synth_pitch_bend(synth, channel, value);
        }
        old = std::exchange(m_synth, synth);
        oldSettings = std::exchange(m_settings, settings);
        m_fontId = fontId;
        m_font = fluid_synth_get_sfont_by_id(m_synth, fontId);
        m_rate.store(rate, std::memory_order_relaxed);
    }
    // Note numbers start again in the new synth, and no note sounds: any
    // note on a held preset's channels may be its from now on.
    m_newestNote = -1;
    for (Held& held : m_held) {
        held.firstNote = 0;
        held.lastNote = -1;
    }
    for (const Held& held : m_held)
        fluid_synth_unpin_preset(old, oldFontId, bankOf(held.preset), programOf(held.preset));
    delete_fluid_synth(old);
    delete_fluid_settings(oldSettings);
    return true;
}

int EmbeddedSynth::activeVoices() const {
    if (!m_synth) return 0;
    const std::lock_guard lock(m_synthMutex);
    return fluid_synth_get_active_voice_count(m_synth);
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

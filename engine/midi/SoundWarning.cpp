// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/SoundWarning.h"

#include "engine/midi/MidiOutService.h"
#include "engine/midi/TMidiPort.h"

#include <QCoreApplication>
#include <QDir>

QString SoundWarningAtStart(MidiOutService& service, const TMidiPort& port,
                            const std::optional<MidiDeviceChoice>& missingDevice,
                            const QString& settingsPath) {
    QStringList parts;
    const QString stand = service.deviceName(0).value_or(QStringLiteral("0"));
    if (missingDevice && missingDevice->name.isEmpty())
        parts << QCoreApplication::translate(
                     "SoundWarning",
                     "The MIDI output device number %1 saved in the settings does not exist on "
                     "this computer; Marulet plays through \"%2\" instead. To use another device, "
                     "choose it in Sound/Parameters.")
                     .arg(missingDevice->number)
                     .arg(stand);
    else if (missingDevice)
        parts << QCoreApplication::translate(
                     "SoundWarning",
                     "The MIDI output device \"%1\" saved in the settings is not connected; "
                     "Marulet plays through \"%2\" until it is back. It stays chosen and is "
                     "found again at the next start or when Sound/Parameters is opened; to use "
                     "another device, choose it there.")
                     .arg(missingDevice->name, stand);
    if (port.deviceId == 0) {
        const std::optional<QString> problem = service.deviceProblem(0);
        if (problem && !port.isOpen())
            parts << QCoreApplication::translate(
                         "SoundWarning",
                         "The built-in synthesizer cannot play: %1.\nInstall a General MIDI "
                         "soundfont (for example the package fluid-soundfont-gm or "
                         "timgm6mb-soundfont), or name a soundfont file with the line "
                         "SoundFont=path under [Sound] in %2, then start Marulet again.")
                         .arg(*problem, QDir::toNativeSeparators(settingsPath));
        else if (problem)
            parts << QCoreApplication::translate(
                         "SoundWarning",
                         "The built-in synthesizer has no sound output: %1.\nStart the sound "
                         "server (PulseAudio or PipeWire); the sound comes on by itself once it "
                         "answers. Or choose another device in Sound/Parameters.")
                         .arg(*problem);
    }
    return parts.join(QStringLiteral("\n\n"));
}

QString SoundWarningDeviceLost(MidiOutService& service, const QString& device) {
    return QCoreApplication::translate(
               "SoundWarning",
               "The MIDI output device \"%1\" has gone away (unplugged, or its MIDI server "
               "stopped); Marulet plays through \"%2\" now. It stays chosen and is found again "
               "at the next start or when Sound/Parameters is opened.")
        .arg(device, service.deviceName(0).value_or(QStringLiteral("0")));
}

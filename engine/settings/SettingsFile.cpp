// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/SettingsFile.h"

#include "Version.h"
#include "engine/midi/TMidiPort.h"
#include "engine/pictures/PictureLoading.h"
#include "engine/settings/HomeFolder.h"
#include "engine/settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

namespace {

const QString kGeneral = QStringLiteral("General");
const QString kParam = QStringLiteral("Param");
const QString kColor = QStringLiteral("Color");
const QString kDesign = QStringLiteral("Design");
const QString kSound = QStringLiteral("Sound");

constexpr int kProgrammedChannels = 4;
constexpr std::int32_t kDefaultPrograms[kProgrammedChannels] = {13, 102, 116, 117};

// The file holds programs 1-based, the port 0-based. Wrapping arithmetic keeps
// a hand-edited extreme value from overflowing and still round-trips it.
std::int32_t shifted(std::int32_t value, std::int32_t by) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                     static_cast<std::uint32_t>(by));
}

} // namespace

std::int32_t VersionNumberOf(unsigned major, unsigned minor, unsigned patch) {
    char digits[64];
    const int length = std::snprintf(digits, sizeof digits, "%u%u%u", major, minor, patch);
    if (length <= 0 || length >= static_cast<int>(sizeof digits)) return 0;
    std::int64_t value = 0;
    for (const char c : std::string_view(digits, static_cast<std::size_t>(length))) {
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) return 0;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t VersionNumber() {
    return VersionNumberOf(marulet::kVersionMajor, marulet::kVersionMinor, marulet::kVersionPatch);
}

SettingsReadResult ReadSettings(IniFile& ini, MidiOutService& service) {
    return ReadSettings(ini, service, HomeFolder());
}

SettingsReadResult ReadSettings(IniFile& ini, MidiOutService& service, const QString& homeFolder) {
    SettingsReadResult result;

    if (!ini.readError().isEmpty())
        result.settingsError =
            QCoreApplication::translate(
                "SettingsFile",
                "Marulet passed over its settings file %1: %2.\nIt starts with the default "
                "settings, and when it closes it writes its settings in that file's place.")
                .arg(QDir::toNativeSeparators(ini.path()), ini.readError());

    // The stamp goes to disk at once: it is the one write before close. A
    // file that was passed over is not replaced before the user was told.
    const std::int32_t version = VersionNumber();
    if (ini.ReadInteger(kGeneral, QStringLiteral("Version"), 0) < version) {
        ini.WriteInteger(kGeneral, QStringLiteral("Version"), version);
        if (result.settingsError.isEmpty()) ini.flush();
    }

    prm.Reach = ini.ReadInteger(kParam, QStringLiteral("Reach"), 150);
    prm.ActiveLv = ini.ReadFloat(kParam, QStringLiteral("ActiveLv"), 1.0);
    // The tick divides by it.
    if (!(prm.ActiveLv > 0.0) || !std::isfinite(prm.ActiveLv)) prm.ActiveLv = 1.0;
    prm.ActivePtn = ini.ReadInteger(kParam, QStringLiteral("ActivePtn"), 0);
    prm.Debug = ini.ReadBool(kParam, QStringLiteral("Debug"), false);

    prm.Background = ini.ReadInteger(kColor, QStringLiteral("Background"), 0);
    prm.NormalPen = ini.ReadInteger(kColor, QStringLiteral("NormalPen"), 0xFF0000);
    prm.NormalBrush = ini.ReadInteger(kColor, QStringLiteral("Normalbrush"), 0);
    prm.ActiveBrush = ini.ReadInteger(kColor, QStringLiteral("ActiveBrush"), 255);
    prm.ZzzBrush = ini.ReadInteger(kColor, QStringLiteral("ZzzBrush"), 0x808080);

    result.background = prm.Background;
    prm.bgBitmap = std::make_unique<QImage>();

    prm.EnableBgImage = ini.ReadBool(kDesign, QStringLiteral("EnableBgImage"), false);
    prm.StretchBgImage = ini.ReadBool(kDesign, QStringLiteral("StretchBgImage"), false);
    prm.BgImage = ini.ReadString(kDesign, QStringLiteral("BgImage"), QString());
    if (ResolveFilePath(prm.BgImage, homeFolder)) {
        try {
            LoadPictureFile(prm.bgBitmap.get(), prm.BgImage, homeFolder);
        } catch (const PictureError& error) {
            // The rest of start-up still has to happen; the caller shows this.
            result.pictureError = QString::fromStdString(error.what());
        }
    } else {
        // A pipe or a device under the picture's name is not waited on or
        // read; the user hears of it. Either way the path is forgotten.
        result.pictureError = PassedOverPicture(prm.BgImage);
        // A missing picture is forgotten, and saved back as empty.
        prm.BgImage.clear();
    }
    prm.HideTitlebar = ini.ReadBool(kDesign, QStringLiteral("HideTitlebar"), false);
    prm.SnapGrid = ini.ReadBool(kDesign, QStringLiteral("SnapGrid"), false);
    prm.GridSize = ini.ReadInteger(kDesign, QStringLiteral("GridSize"), 20);

    midiPort = std::make_unique<TMidiPort>(service);
    const MidiDeviceChoice stored{
        static_cast<std::uint32_t>(ini.ReadInteger(kSound, QStringLiteral("Driver"), 0)),
        ini.ReadString(kSound, QStringLiteral("DriverName"), QString())};
    // Device numbers move as devices come and go: the name finds it. A device
    // that is not there (unplugged, another machine's settings) gives way to
    // the built-in synthesizer rather than to silence, and stays the choice.
    const unsigned devices = midiPort->GetNumDevs();
    if (devices == 0) {
        midiPort->deviceId = stored.number;
        midiPort->deviceName = stored.name;
    } else if (const auto found = FindChosenDevice(service, devices, stored)) {
        midiPort->chooseDevice(*found);
        if (!stored.name.isEmpty()) midiPort->deviceName = stored.name;
    } else {
        result.missingDevice = stored;
        midiPort->chooseDevice(0);
        midiPort->awaitedDevice = stored;
    }
    midiPort->Open();
    for (int channel = 0; channel < kProgrammedChannels; ++channel) {
        const std::int32_t program = ini.ReadInteger(kSound, QString::asprintf("prg_%02d", channel),
                                                     kDefaultPrograms[channel]);
        midiPort->ProgramChange(channel, shifted(program, -1));
    }
    prm.Volume = ini.ReadInteger(kSound, QStringLiteral("Volume"), 90);
    for (int channel = 0; channel < kProgrammedChannels; ++channel)
        midiPort->SetVolume(channel, prm.Volume);

    return result;
}

QString ChosenSoundFont(IniFile& ini, const QString& homeFolder) {
    const QString path = ini.ReadString(kSound, QStringLiteral("SoundFont"), QString()).trimmed();
    if (path.isEmpty()) return {};
    return QDir(homeFolder).absoluteFilePath(path);
}

void WriteSettings(IniFile& ini) {
    ini.WriteInteger(kParam, QStringLiteral("Reach"), prm.Reach);
    ini.WriteFloat(kParam, QStringLiteral("ActiveLv"), prm.ActiveLv);
    ini.WriteInteger(kParam, QStringLiteral("ActivePtn"), prm.ActivePtn);

    ini.WriteInteger(kColor, QStringLiteral("Background"), prm.Background);
    ini.WriteInteger(kColor, QStringLiteral("NormalPen"), prm.NormalPen);
    ini.WriteInteger(kColor, QStringLiteral("NormalBrush"), prm.NormalBrush);
    ini.WriteInteger(kColor, QStringLiteral("ActiveBrush"), prm.ActiveBrush);
    ini.WriteInteger(kColor, QStringLiteral("ZzzBrush"), prm.ZzzBrush);

    ini.WriteString(kDesign, QStringLiteral("BgImage"), prm.BgImage);
    ini.WriteBool(kDesign, QStringLiteral("EnableBgImage"), prm.EnableBgImage);
    ini.WriteBool(kDesign, QStringLiteral("StretchBgImage"), prm.StretchBgImage);
    ini.WriteBool(kDesign, QStringLiteral("HideTitlebar"), prm.HideTitlebar);
    ini.WriteBool(kDesign, QStringLiteral("SnapGrid"), prm.SnapGrid);
    ini.WriteInteger(kDesign, QStringLiteral("GridSize"), prm.GridSize);

    // Without a port (start-up never ran) the device and programs are unknown
    // and the file keeps what it holds.
    if (midiPort) {
        const MidiDeviceChoice choice = midiPort->savedChoice();
        ini.WriteInteger(kSound, QStringLiteral("Driver"),
                         static_cast<std::int32_t>(choice.number));
        ini.WriteString(kSound, QStringLiteral("DriverName"), choice.name);
    }
    ini.WriteInteger(kSound, QStringLiteral("Volume"), prm.Volume);
    if (midiPort) {
        for (int channel = 0; channel < kProgrammedChannels; ++channel)
            ini.WriteInteger(kSound, QString::asprintf("Prg_%02x", channel),
                             shifted(midiPort->programs[channel], 1));
    }
}

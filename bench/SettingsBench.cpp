// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "BenchSupport.h"
#include "engine/field/Pieces.h"
#include "engine/field/Shape.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/LayoutFile.h"
#include "engine/settings/SettingsFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const char* const kPlacementKeys[] = {"WinState",     "WinLeft",       "WinTop",
                                      "WinWidth",     "WinHeight",     "OptionDlgLeft",
                                      "OptionDlgTop", "DesignDlgLeft", "DesignDlgTop"};

// The program's whole settings file as a closing window leaves it: window
// placements, 49 turned pieces and every settings section.
struct FullSettings {
    BenchOwner owner;
    NullMidiService service;
    QTemporaryDir home;
    QString path = home.filePath(QStringLiteral("marulet.INI"));

    FullSettings() {
        CreatePieces(owner, nullptr);
        for (int i = 0; i < kPieceCount; ++i)
            pieces[i]->SetPosition(DefaultXpos(i) + i, DefaultYpos(i) - i, 0.1234567 * i);
        {
            IniFile ini(path);
            ReadSettings(ini, service, home.path() + QLatin1Char('/'));
            prm.BgImage = QStringLiteral("/home/someone/Pictures/a rather long name.png");
            saveAll(ini);
        }
    }
    ~FullSettings() {
        DestroyPieces();
        midiPort.reset();
        resetPrm();
    }

    static void saveAll(IniFile& ini) {
        for (const char* key : kPlacementKeys)
            ini.WriteInteger(QStringLiteral("General"), QString::fromLatin1(key), 100);
        SavePiecePos(ini);
        WriteSettings(ini);
    }
    void loadAll(IniFile& ini) {
        ReadSettings(ini, service, home.path() + QLatin1Char('/'));
        for (const char* key : kPlacementKeys)
            benchmark::DoNotOptimize(
                ini.ReadInteger(QStringLiteral("General"), QString::fromLatin1(key), 0));
        LoadPiecePos(ini);
    }
};

// Start-up: open the file afresh and read every setting, placement and piece.
void BM_ReadFullSettingsFile(benchmark::State& state) {
    FullSettings settings;
    for (auto _ : state) {
        IniFile ini(settings.path);
        settings.loadAll(ini);
        benchmark::DoNotOptimize(prm.Reach);
    }
}
BENCHMARK(BM_ReadFullSettingsFile)->Unit(benchmark::kMicrosecond);

// Close: open the file, write everything (one value changed, so the file
// really is saved) and flush it to disk.
void BM_WriteFullSettingsFile(benchmark::State& state) {
    FullSettings settings;
    int round = 0;
    for (auto _ : state) {
        IniFile ini(settings.path);
        prm.Reach = 100 + (++round % 2);
        FullSettings::saveAll(ini);
        if (!ini.flush()) state.SkipWithError(qPrintable(ini.lastError()));
    }
}
BENCHMARK(BM_WriteFullSettingsFile)->Unit(benchmark::kMicrosecond);

} // namespace

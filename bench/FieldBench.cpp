// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "BenchSupport.h"
#include "engine/field/FieldTick.h"
#include "engine/field/Pieces.h"
#include "engine/field/Random.h"
#include "engine/field/Shape.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/SettingsRecord.h"

#include <benchmark/benchmark.h>

namespace {

struct Field {
    BenchOwner owner;
    NullMidiService service;

    Field() {
        prm.Reach = 150;
        prm.ActiveLv = 1.0;
        prm.ActivePtn = 0;
        prm.NormalPen = 0xFF0000;
        prm.ActiveBrush = 255;
        prm.ZzzBrush = 0x808080;
        reseedRandom(1);
        midiPort = std::make_unique<TMidiPort>(service);
        midiPort->Open();
        CreatePieces(owner, nullptr);
        PlaceOnDefaultGrid();
    }
    ~Field() {
        DestroyPieces();
        midiPort.reset();
    }
};

// The default layout with every piece excited, as after a Ctrl+click on each.
void BM_TickBusyField(benchmark::State& state) {
    Field field;
    for (auto& piece : pieces)
        for (double& r : piece->rate)
            r += prm.ActiveLv * 3;
    for (int warm = 0; warm < 500; ++warm)
        TickField();
    for (auto _ : state)
        TickField();
}
BENCHMARK(BM_TickBusyField);

// Every one of the 196 satellites fires in the same tick.
void BM_TickAllSatellitesFire(benchmark::State& state) {
    Field field;
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& piece : pieces)
            for (int i = 0; i < 4; ++i) {
                piece->level[i] = 255;
                piece->rate[i] = 1;
            }
        state.ResumeTiming();
        TickField();
    }
}
BENCHMARK(BM_TickAllSatellitesFire);

} // namespace

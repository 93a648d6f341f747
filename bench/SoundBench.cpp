// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/EmbeddedSynth.h"
#include "audio/SystemMidiService.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

QStringList timGM6mb() {
    return {QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")};
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What opening the synthesizer costs before any audio output: the soundfont
// load and the synth creation. Start-up waits for this.
void BM_SynthLoad(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        EmbeddedSynth synth(timGM6mb());
        state.SetIterationTime(secondsSince(start));
        if (!synth.isReady()) {
            state.SkipWithError(synth.error().toStdString().c_str());
            break;
        }
    }
}
BENCHMARK(BM_SynthLoad)->UseManualTime()->Unit(benchmark::kMillisecond);

// Samples load on a preset's first use, so the first program change on a
// channel pays for what the soundfont load skipped.
void BM_SynthFirstProgramChange(benchmark::State& state) {
    for (auto _ : state) {
        EmbeddedSynth synth(timGM6mb());
        if (!synth.isReady()) {
            state.SkipWithError(synth.error().toStdString().c_str());
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        synth.send(0xC0 | (48u << 8));                // strings
        synth.send(0x90 | (60u << 8) | (100u << 16)); // and a note with them
        state.SetIterationTime(secondsSince(start));
    }
}
BENCHMARK(BM_SynthFirstProgramChange)->UseManualTime()->Unit(benchmark::kMillisecond);

// The whole open of device 0: soundfont, synth and audio driver. Needs a sound
// server; without one it reports why it was skipped.
void BM_OpenSynthDevice(benchmark::State& state) {
    SystemMidiService service(timGM6mb());
    double closing = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto handle = service.open(0);
        state.SetIterationTime(secondsSince(start));
        if (!handle) {
            state.SkipWithError(service.deviceName(0).value_or(QString()).toStdString().c_str());
            break;
        }
        const auto closeStart = std::chrono::steady_clock::now();
        service.close(*handle);
        closing += secondsSince(closeStart);
    }
    if (state.iterations() > 0)
        state.counters["close_ms"] = 1000.0 * closing / double(state.iterations());
}
BENCHMARK(BM_OpenSynthDevice)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/MidiFileWriter.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

using namespace std::chrono_literals;

// What the recording's two-second commit costs the thread that drives the
// field: two seconds of a busy field (40 ticks, a pan and a note-on and a
// note-off each) handed on. The disk's own time is counted apart.
void BM_MidiCommitOnTheTickThread(benchmark::State& state) {
    QTemporaryDir dir; // on the disk of the temporary folder, so syncs are real
    MidiFileWriter writer;
    const MidiTime start = MidiClock::now();
    if (!writer.open(dir.filePath(QStringLiteral("bench.mid")), start, {}, {})) {
        state.SkipWithError(writer.error().toStdString().c_str());
        return;
    }
    int tick = 0;
    double disk = 0, longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 40; ++i, ++tick) {
            const MidiTime when = start + tick * 50ms;
            writer.add(0xB0 | 10u << 8 | std::uint32_t(tick % 128) << 16, when);
            writer.add(0x90 | std::uint32_t(40 + tick % 40) << 8 | 100u << 16, when);
            writer.add(0x90 | std::uint32_t(40 + (tick + 39) % 40) << 8, when);
        }
        state.ResumeTiming();
        const auto handing = std::chrono::steady_clock::now();
        writer.commit();
        state.PauseTiming();
        longest = std::max(
            longest,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - handing).count());
        const auto waiting = std::chrono::steady_clock::now();
        writer.wait();
        disk += std::chrono::duration<double>(std::chrono::steady_clock::now() - waiting).count();
        state.ResumeTiming();
    }
    writer.finish(start + tick * 50ms);
    writer.wait();
    if (state.iterations() > 0) {
        state.counters["longest_us"] = 1e6 * longest;
        state.counters["disk_ms"] = 1000.0 * disk / double(state.iterations());
    }
}
BENCHMARK(BM_MidiCommitOnTheTickThread)->Unit(benchmark::kMicrosecond)->Iterations(50);

} // namespace

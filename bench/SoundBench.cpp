// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/EmbeddedSynth.h"
#include "audio/SystemMidiService.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QStringList timGM6mb() {
    return {QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")};
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The process's resident memory in kB.
long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// Drops the soundfont from the page cache, as after a reboot: its clean
// pages go without any privilege.
void forgetSoundFont(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
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

// A program change on the port: prepare() loads the preset in the caller's
// thread while the audio thread goes on rendering. Counted: the caller's time
// (the benchmark's), the memory the preset's samples take, the longest a
// render call took meanwhile (what the audio thread felt of it) beside the
// longest in as long a time without a change, and then applying the change
// with a note, as the audio thread does. Argument 1: the soundfont is not in
// the page cache.
void BM_PrepareProgram(benchmark::State& state) {
    const bool cold = state.range(0) != 0;
    double duringChange = 0, without = 0, applying = 0;
    long grown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        EmbeddedSynth synth(timGM6mb());
        if (!synth.isReady()) {
            state.SkipWithError(synth.error().toStdString().c_str());
            break;
        }
        if (cold) forgetSoundFont(synth.soundFont());
        std::atomic<bool> stop{false};
        std::atomic<int> blocks{0};
        std::atomic<double> longest{0};
        std::thread audio([&] {
            std::vector<float> block(2 * 256);
            while (!stop) {
                const auto start = std::chrono::steady_clock::now();
                synth.render(block);
                const double took = secondsSince(start);
                if (took > longest) longest = took;
                ++blocks;
            }
        });
        while (blocks < 100) // past the first blocks' own costs
            std::this_thread::yield();
        longest = 0;
        const long before = residentKb();
        const auto preparing = std::chrono::steady_clock::now();
        state.ResumeTiming();
        synth.prepare(0xC0 | (48u << 8)); // strings
        state.PauseTiming();
        const double took = secondsSince(preparing);
        grown += residentKb() - before;
        duringChange = std::max(duringChange, longest.load());
        longest = 0;
        std::this_thread::sleep_for(std::chrono::duration<double>(took));
        without = std::max(without, longest.load());
        stop = true;
        audio.join();
        const auto start = std::chrono::steady_clock::now();
        synth.send(0xC0 | (48u << 8));
        synth.send(0x90 | (60u << 8) | (100u << 16));
        applying += secondsSince(start);
        state.ResumeTiming();
    }
    if (state.iterations() > 0) {
        const auto n = double(state.iterations());
        state.counters["samples_kB"] = double(grown) / n;
        state.counters["render_max_ms"] = 1000.0 * duringChange;
        state.counters["render_max_idle_ms"] = 1000.0 * without;
        state.counters["apply_ms"] = 1000.0 * applying / n;
    }
}
BENCHMARK(BM_PrepareProgram)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

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

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// Measures how evenly the main window's timer ticks while the field plays:
// 1,000 ticks of the real window (offscreen), each period's deviation from
// 50 ms, as percentiles. Takes about 50 seconds.
#include "BenchSupport.h"
#include "desktop/MainForm.h"
#include "engine/field/Pieces.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    TMaruletMainForm form(dir.filePath("marulet.INI"), std::make_unique<NullMidiService>());
    form.createDialogs();
    form.FormShow();
    form.show();
    for (int i : {3, 17, 24, 40})
        for (double& r : pieces[i]->rate)
            r += 1.0;

    constexpr int kTicks = 1000;
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> stamps;
    stamps.reserve(kTicks + 1);
    QObject::connect(&form.Timer1, &QTimer::timeout, [&] {
        stamps.push_back(Clock::now());
        if (stamps.size() == kTicks + 1) app.quit();
    });
    app.exec();

    std::vector<double> deviation;
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        const double ms =
            std::chrono::duration<double, std::milli>(stamps[i] - stamps[i - 1]).count();
        deviation.push_back(std::fabs(ms - 50.0));
    }
    std::sort(deviation.begin(), deviation.end());
    auto pct = [&](double p) {
        return deviation[std::min(deviation.size() - 1, std::size_t(p * deviation.size()))];
    };
    std::printf("tick period over %zu ticks: deviation from 50 ms p50 %.3f ms, p99 %.3f ms, "
                "max %.3f ms\n",
                deviation.size(), pct(0.5), pct(0.99), deviation.back());
    form.close();
    return 0;
}

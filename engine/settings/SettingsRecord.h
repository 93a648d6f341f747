// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

// The settings record field_prm and its one instance prm (the program's
// chief header once called Global).

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>

// Colours are 0x00BBGGRR: red in the lowest byte.
using TColor = std::int32_t;

// Every user setting but the MIDI device and programs; read once at start-up,
// written once at close, and read afresh by every tick, paint and release.
struct field_prm {
    std::int32_t Volume = 0;
    std::int32_t Reach = 0;
    double ActiveLv = 0.0;
    std::int32_t ActivePtn = 0;
    TColor Background = 0;
    TColor NormalPen = 0;
    TColor NormalBrush = 0;
    TColor ActiveBrush = 0;
    TColor ZzzBrush = 0;
    bool HideTitlebar = false;
    std::unique_ptr<QImage> bgBitmap; // absent until the main window creates it
    QString BgImage;
    bool EnableBgImage = false;
    bool StretchBgImage = false;
    bool SnapGrid = false;
    std::int32_t GridSize = 0;
    bool Debug = false;

    field_prm() = default;
    field_prm(const field_prm&) = delete;
    field_prm& operator=(const field_prm&) = delete;
};

extern field_prm prm;

// Back to the state before any settings were read (for tests and teardown).
void resetPrm();

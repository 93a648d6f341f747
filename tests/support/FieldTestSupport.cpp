// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "FieldTestSupport.h"

#include "engine/field/Pieces.h"
#include "engine/field/Random.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/SettingsRecord.h"

void applyDefaultSettings() {
    resetPrm();
    prm.Reach = 150;
    prm.ActiveLv = 1.0;
    prm.ActivePtn = 0;
    prm.Background = 0;
    prm.NormalPen = 0xFF0000;
    prm.NormalBrush = 0;
    prm.ActiveBrush = 255;
    prm.ZzzBrush = 0x808080;
    prm.GridSize = 20;
    prm.Volume = 90;
}

FieldFixture::FieldFixture() {
    applyDefaultSettings();
    reseedRandom(12345);
    midiPort = std::make_unique<TMidiPort>(service);
    midiPort->Open();
    CreatePieces(owner, nullptr);
    PlaceOnDefaultGrid();
}

FieldFixture::~FieldFixture() {
    DestroyPieces();
    midiPort.reset();
    resetPrm();
}

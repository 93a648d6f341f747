// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/SettingsRecord.h"

field_prm prm;

void resetPrm() {
    prm.Volume = 0;
    prm.Reach = 0;
    prm.ActiveLv = 0.0;
    prm.ActivePtn = 0;
    prm.Background = 0;
    prm.NormalPen = 0;
    prm.NormalBrush = 0;
    prm.ActiveBrush = 0;
    prm.ZzzBrush = 0;
    prm.HideTitlebar = false;
    prm.bgBitmap.reset();
    prm.BgImage.clear();
    prm.EnableBgImage = false;
    prm.StretchBgImage = false;
    prm.SnapGrid = false;
    prm.GridSize = 0;
    prm.Debug = false;
}

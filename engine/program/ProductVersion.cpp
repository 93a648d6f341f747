// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/program/ProductVersion.h"

#include "Version.h"

QString productVersionText(unsigned major, unsigned minor, unsigned build) {
    return QString::asprintf("%u.%u%u", major, minor, build);
}

QString productVersionText() {
    return productVersionText(marulet::kVersionMajor, marulet::kVersionMinor,
                              marulet::kVersionPatch);
}

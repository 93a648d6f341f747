// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>

// The version as people read it: "1.10" for 1.1.0, minor and build written
// with nothing between them and the fourth part never shown.
QString productVersionText(unsigned major, unsigned minor, unsigned build);

// This build's version, written the same way.
QString productVersionText();

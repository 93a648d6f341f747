// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes for tests that set up or inspect files on disk.
bool writeFile(const QString& path, const QByteArray& data);
// The file's bytes, or nothing when it cannot be read.
QByteArray readFile(const QString& path);

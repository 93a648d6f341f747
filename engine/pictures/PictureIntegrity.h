// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QByteArray>

class QIODevice;

// Whether a picture file holds all of its picture data. Qt's BMP, JPEG and
// GIF readers decode a cut-off file without complaint (JPEG fills the rest
// grey, BMP and GIF leave it unset), so a truncated file is found here
// instead. Walks the file's structure from the device's current position;
// reads but never decodes. format is the Qt reader's name ("bmp", "jpeg",
// "gif"); other formats count as complete, their readers fail on their own.
bool isPictureComplete(QIODevice& device, const QByteArray& format);

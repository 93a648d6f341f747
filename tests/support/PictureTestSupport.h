// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "TestFiles.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// A small picture with a different colour in every pixel, so a wrong decode shows.
QImage testPattern(int width, int height);

// The picture in a file format Qt can write ("BMP", "JPEG", "PNG", "XBM").
QByteArray encodePicture(const QImage& picture, const char* format);

// A GIF built by hand, as Qt has no GIF writer: four colours (black, red,
// green, blue), pixel (x, y) of colour (x + y) % 4. The screen and image
// descriptors claim width x height; only the first `pixels` pixels are coded
// (all of them when negative), so a huge picture can be claimed cheaply.
QByteArray makeGif(int width, int height, int pixels = -1);

// The same file with its header claiming another size; the PNG header's
// checksum is redone so the claim is believed.
QByteArray withClaimedSize(const QByteArray& file, const char* format, int width, int height);

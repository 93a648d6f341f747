// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

// Finding and loading the background picture: ResolveFilePath and
// LoadPictureFile, the functions once kept in Usrfunc.

#include <QImage>
#include <QString>
#include <stdexcept>

// A picture file that its decoder could not read; what() carries the
// decoder's own message.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Turns a relative path into one inside the home folder (rewriting path) and
// tells whether it names an existing file.
bool ResolveFilePath(QString& path);
bool ResolveFilePath(QString& path, const QString& homeFolder);

// The message for a picture path that names something other than a file (a
// named pipe, a device), which is never opened; empty for a file, a folder
// or nothing at all.
QString PassedOverPicture(const QString& path);

// Reads a picture into destination, the reader chosen by the extension alone.
// Throws PictureError when the file does not decode; destination then keeps
// what it held. Returns whether destination holds a picture afterwards.
bool LoadPictureFile(QImage* destination, QString path);
bool LoadPictureFile(QImage* destination, QString path, const QString& homeFolder);

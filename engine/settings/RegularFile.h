// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>

// Opening a file for reading only when it is a plain regular file. A named
// pipe would block open() until a writer comes, a device such as /dev/zero
// never ends: both are refused before anything waits or grows.
struct RegularFile {
    int fd = -1;     // open for reading, close-on-exec; -1 when refused or failed
    qint64 size = 0; // its size when opened
    int error = 0;   // errno of a failed open; 0 when refused for its kind or size
    QString reason;  // why it was not opened, for the user; empty when opened or missing
};

// Opens path (following links) when it names a regular file no larger than
// maxBytes (no limit when negative). A missing file gives fd -1, error ENOENT
// and an empty reason. The caller closes fd.
RegularFile openRegularFile(const QString& path, qint64 maxBytes = -1);

// Why something that exists at path (following links) is not a regular file
// that could be read, for the user; empty when it is one, or when nothing or
// a folder is there.
QString notRegularReason(const QString& path);

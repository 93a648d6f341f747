// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <string_view>

// Replaces the file at path by bytes through a temporary file in the same
// folder (written, synced, then renamed over the old one), so a crash at any
// moment leaves either the old file or the new one, never a mix. The folder
// is created when missing; the old file's permissions are kept. A file or
// folder without any write permission bit counts as read-only even for root,
// as the user meant it. A symbolic link to a file (or to a file not made yet)
// is followed: the file it leads to is replaced and the link stays. A pipe,
// socket or link to a device at path is replaced by the file; a device node
// itself is refused. On failure the old file is untouched and error says
// which file failed and why.
bool writeFileAtomically(const QString& path, std::string_view bytes, QString& error);

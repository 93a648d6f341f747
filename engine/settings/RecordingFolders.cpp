// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/RecordingFolders.h"

#include "engine/settings/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kSection = QStringLiteral("Recording");

QString keyFor(RecordingKind kind) {
    return kind == RecordingKind::Midi ? QStringLiteral("MidiFolder")
                                       : QStringLiteral("AudioFolder");
}

// A hand-edited relative path would depend on where the program was started.
bool usableFolder(const QString& path) {
    return !path.isEmpty() && QDir::isAbsolutePath(path) && QFileInfo(path).isDir();
}

} // namespace

QString recordingFolderFor(const QString& remembered, const QString& music, const QString& home) {
    if (usableFolder(remembered)) return remembered;
    if (usableFolder(music)) return music;
    return home;
}

QString recordingFolder(const IniFile& settings, RecordingKind kind) {
    return recordingFolderFor(settings.ReadString(kSection, keyFor(kind), QString()),
                              QStandardPaths::writableLocation(QStandardPaths::MusicLocation),
                              QDir::homePath());
}

void rememberRecordingFolder(IniFile& settings, RecordingKind kind, const QString& file) {
    settings.WriteString(kSection, keyFor(kind), QFileInfo(file).absolutePath());
}

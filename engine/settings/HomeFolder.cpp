// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/HomeFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString executablePath() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

// Writable for the saves too: access() sees read-only mounts, and the mode
// bits catch a folder protected from everyone but root, which the atomic
// save refuses as well.
bool writableFolder(const QString& dir) {
    struct stat st {};
    const QByteArray path = QFile::encodeName(dir);
    return ::access(path.constData(), W_OK) == 0 && ::stat(path.constData(), &st) == 0 &&
           (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// An installed copy (bin/ beside share/ with our launcher entry) keeps its
// settings per user even where the user could write to its folder.
bool installedCopy(const QString& dir) {
    return QFileInfo::exists(
        dir + QStringLiteral("../share/applications/io.github.marulet.Marulet.desktop"));
}

// The executable's name without its extension; a fixed name when it cannot be found.
QString executableBaseName(const QString& exe) {
    const QString base = QFileInfo(exe).completeBaseName();
    return base.isEmpty() ? QStringLiteral("marulet") : base;
}

} // namespace

QString homeFolderFor(const QString& exeDir, const QString& settingsName, const QString& configHome,
                      const QString& userHome) {
    if (!exeDir.isEmpty()) {
        const QString dir = withSlash(exeDir);
        if (QFileInfo(dir + settingsName).isFile() || (writableFolder(dir) && !installedCopy(dir)))
            return dir;
    }
    // A relative $XDG_CONFIG_HOME is invalid and ignored, as the XDG rules say.
    const QString base = configHome.startsWith(QLatin1Char('/'))
                             ? withSlash(configHome)
                             : withSlash(userHome) + QStringLiteral(".config/");
    return base + QStringLiteral("marulet/");
}

QString HomeFolder() {
    const QString exe = executablePath();
    const QString exeDir = exe.isEmpty() ? QString() : QFileInfo(exe).absolutePath();
    return homeFolderFor(exeDir, executableBaseName(exe) + QStringLiteral(".INI"),
                         qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

QString SettingsFilePath() {
    const QString exe = executablePath();
    const QString home = HomeFolder();
    // The per-user folder may not exist yet; the settings file is written there at close.
    // If it cannot be made, that write fails and says so.
    QDir().mkpath(home);
    return home + executableBaseName(exe) + QStringLiteral(".INI");
}

#include "app/HomeFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString executablePath() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
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
        // access() rather than the mode bits: it also sees read-only mounts.
        if (QFileInfo(dir + settingsName).isFile() ||
            ::access(QFile::encodeName(dir).constData(), W_OK) == 0)
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

// Time and memory to read the largest settings and layout files accepted
// (16 MB, made of as many small sections as fit), each in a fresh child
// process so its peak is its own. Prints one line per file.
#include "BenchSupport.h"
#include "app/Global.h"
#include "app/IniFile.h"
#include "app/LayoutFile.h"
#include "app/SettingsFile.h"
#include "field/Pieces.h"
#include "sound/TMidiPort.h"

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr qint64 kSize = 16 * 1024 * 1024;

// Kilobytes of a /proc/self/status line ("VmRSS", "VmHWM").
long statusKb(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kb = -1;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            std::sscanf(line + length + 1, "%ld", &kb);
    std::fclose(status);
    return kb;
}

// A real file's sections first, then tiny sections up to the limit.
QByteArray padded(const QByteArray& head, const QByteArray& section) {
    QByteArray bytes = head;
    bytes.reserve(kSize);
    while (bytes.size() + section.size() <= kSize)
        bytes += section;
    return bytes;
}

void measure(const char* what, const QString& path, const std::function<void(IniFile&)>& read) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child != 0) {
        ::waitpid(child, nullptr, 0);
        return;
    }
    BenchOwner owner;
    CreatePieces(owner, nullptr);
    const long before = statusKb("VmRSS");
    // Reset the high-water mark to what is resident now.
    if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", clear);
        std::fclose(clear);
    }
    const auto start = std::chrono::steady_clock::now();
    {
        IniFile ini(path);
        read(ini);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const long peak = statusKb("VmHWM") - before;
        std::printf("%-34s %6.1f MB  read in %7.1f ms  peak +%6.1f MB (%.2f x the file)%s%s\n",
                    what, QFile(path).size() / 1048576.0, ms, peak / 1024.0,
                    peak * 1024.0 / double(QFile(path).size()),
                    ini.readError().isEmpty() ? "" : "  refused: ", qPrintable(ini.readError()));
    }
    std::printf("%-34s after closing: +%.1f MB resident\n", "",
                (statusKb("VmRSS") - before) / 1024.0);
    std::fflush(stdout);
    ::_exit(0);
}

} // namespace

int main() {
    QTemporaryDir dir;
    NullMidiService service;
    QByteArray settingsHead;
    {
        // A settings file as a close leaves it.
        BenchOwner owner;
        CreatePieces(owner, nullptr);
        const QString path = dir.filePath(QStringLiteral("real.INI"));
        {
            IniFile ini(path);
            ReadSettings(ini, service, dir.path() + QLatin1Char('/'));
            SavePiecePos(ini);
            WriteSettings(ini);
        }
        DestroyPieces();
        midiPort.reset();
        QFile real(path);
        real.open(QIODevice::ReadOnly);
        settingsHead = real.readAll();
    }
    const QString settings = dir.filePath(QStringLiteral("settings.INI"));
    const QString layout = dir.filePath(QStringLiteral("layout.DAT"));
    const QString oversized = dir.filePath(QStringLiteral("oversized.DAT"));
    {
        QFile file(settings);
        file.open(QIODevice::WriteOnly);
        file.write(padded(settingsHead, "[Unknown]\nKey=1\n"));
        QFile l(layout);
        l.open(QIODevice::WriteOnly);
        l.write(padded("[Piece3]\nXpos=300\n", "[]\n"));
        QFile o(oversized);
        o.open(QIODevice::WriteOnly);
        o.write(padded("[Piece3]\nXpos=300\n", "[]\n"));
        o.write(QByteArray(28 * 1024 * 1024, '\n'));
    }
    measure("settings file, 1M sections", settings,
            [&](IniFile& ini) { ReadSettings(ini, service, dir.path() + QLatin1Char('/')); });
    measure("layout file, 5.6M sections", layout, [](IniFile& ini) { LoadPiecePos(ini); });
    measure("layout file of 44 MB", oversized, [](IniFile& ini) { LoadPiecePos(ini); });
    return 0;
}

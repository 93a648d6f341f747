// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// Time and memory to read the largest settings and layout files accepted
// (16 MB, made of as many small sections as fit), each in a fresh process
// so its peak is its own. Prints one line per file.
#include "BenchSupport.h"
#include "engine/field/Pieces.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/LayoutFile.h"
#include "engine/settings/SettingsFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <malloc.h>
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

// Reads one file in this fresh process and prints what it cost.
int measure(const char* what, const QString& path, bool layout) {
    NullMidiService service;
    BenchOwner owner;
    CreatePieces(owner, nullptr);
    const long before = statusKb("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    {
        IniFile ini(path);
        if (layout)
            LoadPiecePos(ini);
        else
            ReadSettings(ini, service, QFileInfo(path).absolutePath() + QLatin1Char('/'));
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const long peak = statusKb("VmHWM") - before;
        std::printf("%-30s %5.1f MB  read in %6.1f ms  peak +%5.1f MB (%.2f x the file)%s%s\n",
                    what, QFile(path).size() / 1048576.0, ms, peak / 1024.0,
                    peak * 1024.0 / double(QFile(path).size()),
                    ini.readError().isEmpty() ? "" : "  refused: ", qPrintable(ini.readError()));
    }
    const struct mallinfo2 heap = mallinfo2();
    std::printf(
        "%-30s after closing: +%.1f MB resident, %.1f MB allocated, %.1f MB free in the heap\n", "",
        (statusKb("VmRSS") - before) / 1024.0, (heap.uordblks + heap.hblkhd) / 1048576.0,
        heap.fordblks / 1048576.0);
    std::fflush(stdout);
    midiPort.reset(); // it refers to service
    DestroyPieces();
    return 0;
}

// Runs this program afresh on one file, so the peak is that file's alone.
void measureApart(const char* what, const QString& path, bool layout) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        const QByteArray file = QFile::encodeName(path);
        ::execl("/proc/self/exe", "marulet_large_ini", what, file.constData(),
                layout ? "layout" : "settings", nullptr);
        ::_exit(127);
    }
    ::waitpid(child, nullptr, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4) return measure(argv[1], QString::fromLocal8Bit(argv[2]), argv[3][0] == 'l');
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
    measureApart("settings file, 1M sections", settings, false);
    measureApart("layout file, 5.6M sections", layout, true);
    measureApart("layout file of 44 MB", oversized, true);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// Any bytes as an INI file: the accessor must read them without harm, keep
// them byte for byte when a new section is added, and give back after a save
// exactly what it held before it.
#include "engine/settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void failure(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "IniFuzz: %s %s\n", what, qUtf8Printable(detail));
    std::abort();
}

void check(bool condition, const char* what, const QString& detail = {}) {
    if (!condition) failure(what, detail);
}

const QString& scratchFile() {
    // tmpfs when there is one: a save per input must stay cheap.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/marulet-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/marulet-fuzz-XXXXXX"));
    static const QString path = dir.filePath(QStringLiteral("fuzz.INI"));
    return path;
}

void writeInput(const QString& path, std::string_view bytes) {
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input");
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Probe {
    QString section;
    QString key;
};

// Names to look at: the program's own and some that the input spells.
std::vector<Probe> probesFor(std::string_view bytes) {
    std::vector<Probe> probes = {
        {QStringLiteral("General"), QStringLiteral("Version")},
        {QStringLiteral("param"), QStringLiteral("REACH")},
        {QStringLiteral("Color"), QStringLiteral("Normalbrush")},
        {QStringLiteral("Sound"), QStringLiteral("prg_00")},
        {QStringLiteral("Piece3"), QStringLiteral("Angle")},
        {QStringLiteral("Design"), QStringLiteral("BgImage")},
    };
    std::string_view section;
    std::size_t pos = 0;
    while (pos < bytes.size() && probes.size() < 24) {
        auto end = bytes.find('\n', pos);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.front() == '[') {
            section = line.substr(1, line.find(']') == line.npos ? line.npos : line.find(']') - 1);
        } else if (const auto eq = line.find('='); eq != line.npos) {
            probes.push_back({QString::fromUtf8(section.data(), qsizetype(section.size())),
                              QString::fromUtf8(line.data(), qsizetype(eq))});
        }
    }
    return probes;
}

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    std::uint8_t byte() { return size == 0 ? 0 : data[at++ % size]; }
    template <typename T> T value() {
        T result;
        std::uint8_t raw[sizeof(T)];
        for (auto& b : raw)
            b = byte();
        std::memcpy(&result, raw, sizeof(T));
        return result;
    }
    QString text() {
        static const QString alphabet = QStringLiteral("abcXYZ 019.-_/\\:=;[]#äöü漢字");
        QString out = QStringLiteral("t");
        const int length = byte() % 40;
        for (int i = 0; i < length; ++i)
            out += alphabet.at(byte() % alphabet.size());
        return out + QStringLiteral("z");
    }
};

// The first line ending of the input decides the ending of added lines.
std::string lineEnding(std::string_view bytes) {
    const auto newline = bytes.find('\n');
    return newline != bytes.npos && newline > 0 && bytes[newline - 1] == '\r' ? "\r\n" : "\n";
}

bool mentions(std::string_view bytes, std::string_view lowerWord) {
    std::string lower(bytes);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return lower.find(lowerWord) != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const QString& path = scratchFile();
    writeInput(path, input);

    // Adding a section leaves every input byte where it was.
    if (!mentions(input, "zzfuzz")) {
        {
            IniFile ini(path);
            ini.WriteString(QStringLiteral("ZzFuzz"), QStringLiteral("Key"), QStringLiteral("v"));
            check(ini.flush(), "flush failed", ini.lastError());
        }
        std::string_view body = input;
        if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
        const std::string eol = lineEnding(body);
        std::string expected(input);
        if (!body.empty() && body.back() != '\n') expected += eol;
        expected += "[ZzFuzz]" + eol + "Key=v" + eol;
        check(fileBytes(path) == QByteArray::fromStdString(expected), "input bytes were not kept");
        writeInput(path, input);
    }

    const std::vector<Probe> probes = probesFor(input);
    Reader reader{data, size};
    std::vector<QString> held;
    {
        IniFile ini(path);
        for (const Probe& p : probes) {
            // Every kind of read on every probe, for the sanitizers' sake.
            const double f = ini.ReadFloat(p.section, p.key, 0.5);
            check(std::isfinite(f), "a read float is not finite");
            ini.ReadInteger(p.section, p.key, 7);
            ini.ReadBool(p.section, p.key, true);
            check(ini.ReadString(p.section, p.key, {}).size() <= 2047, "text longer than 2047");
        }
        std::vector<std::unique_ptr<IniFile>> writers;
        for (int n = 0; n < 4 && !probes.empty(); ++n) {
            const Probe& p = probes[reader.byte() % probes.size()];
            // Its own error slot, so a refused write shows; the document is
            // ini's. Kept open until ini has saved, so it saves nothing itself.
            IniFile& writer = *writers.emplace_back(std::make_unique<IniFile>(path));
            const QString before = ini.ReadString(p.section, p.key, QStringLiteral("\x01"));
            QString expected;
            switch (reader.byte() % 4) {
            case 0: {
                const auto v = reader.value<std::int32_t>();
                writer.WriteInteger(p.section, p.key, v);
                expected = QString::number(v);
                if (writer.lastError().isEmpty())
                    check(ini.ReadInteger(p.section, p.key, 0) == v, "integer not read back");
                break;
            }
            case 1: {
                const auto v = reader.value<double>();
                if (!std::isfinite(v)) continue;
                writer.WriteFloat(p.section, p.key, v);
                char text[64];
                std::snprintf(text, sizeof text, "%.15g", v);
                expected = QString::fromLatin1(text);
                double written = std::strtod(text, nullptr);
                if (std::isinf(written)) { // 15 digits past the largest double: rounded down
                    written = std::copysign(1.79769313486231e308, v);
                    expected = v < 0 ? QStringLiteral("-1.79769313486231e+308")
                                     : QStringLiteral("1.79769313486231e+308");
                }
                if (writer.lastError().isEmpty())
                    check(ini.ReadFloat(p.section, p.key, 0.0) == written, "float not read back",
                          expected);
                break;
            }
            case 2:
                expected = reader.text();
                writer.WriteString(p.section, p.key, expected);
                break;
            default: {
                const bool v = reader.byte() & 1;
                writer.WriteBool(p.section, p.key, v);
                expected = v ? QStringLiteral("1") : QStringLiteral("0");
                break;
            }
            }
            const QString after = ini.ReadString(p.section, p.key, QStringLiteral("\x01"));
            if (writer.lastError().isEmpty())
                check(after == expected, "value not read back", expected + " / " + after);
            else
                check(after == before, "a refused write changed the value");
        }
        check(ini.flush(), "flush failed", ini.lastError());
        for (const Probe& p : probes)
            held.push_back(ini.ReadString(p.section, p.key, QStringLiteral("\x01")));
    }

    // Read afresh from disk: the same values.
    IniFile again(path);
    for (std::size_t i = 0; i < probes.size(); ++i)
        check(again.ReadString(probes[i].section, probes[i].key, QStringLiteral("\x01")) == held[i],
              "a value changed across a save", probes[i].section + "/" + probes[i].key);
    return 0;
}

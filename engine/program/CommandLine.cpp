// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/program/CommandLine.h"

#include "engine/program/ProductVersion.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QString>

namespace {

QString usage(const char* program) {
    QString name = QFileInfo(QString::fromLocal8Bit(program)).fileName();
    if (name.isEmpty()) name = QStringLiteral("marulet");
    const QString lines[] = {
        QCoreApplication::translate("CommandLine", "Usage: %1 [--help | --version]").arg(name),
        QCoreApplication::translate("CommandLine",
                                    "Starts Marulet, a generative sound toy, in a window."),
        QStringLiteral("  --help     ") +
            QCoreApplication::translate("CommandLine", "show this help and exit"),
        QStringLiteral("  --version  ") +
            QCoreApplication::translate("CommandLine", "show the version and exit"),
    };
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}

void write(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

} // namespace

std::optional<int> answerCommandLine(int argc, const char* const* argv, std::FILE* out,
                                     std::FILE* err) {
    if (argc <= 1) return std::nullopt;
    const char* program = argv[0] ? argv[0] : "";
    const QString option = QString::fromLocal8Bit(argv[1]);
    if (argc == 2 && option == QLatin1String("--version")) {
        write(out, QStringLiteral("Marulet %1\n").arg(productVersionText()));
        return 0;
    }
    if (argc == 2 && option == QLatin1String("--help")) {
        write(out, usage(program));
        return 0;
    }
    write(err, usage(program));
    return 2;
}

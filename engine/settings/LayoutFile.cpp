// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/LayoutFile.h"

#include "engine/field/Pieces.h"
#include "engine/settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString sectionOf(int index) {
    return QStringLiteral("Piece") + QString::number(index);
}
} // namespace

void LoadPiecePos(IniFile& ini) {
    for (int i = 0; i < kPieceCount; ++i) {
        Piece* piece = pieces[i].get();
        if (!piece) continue;
        const QString section = sectionOf(i);
        const std::int32_t x = ini.ReadInteger(section, QStringLiteral("Xpos"), DefaultXpos(i));
        const std::int32_t y = ini.ReadInteger(section, QStringLiteral("Ypos"), DefaultYpos(i));
        const double angle = ini.ReadFloat(section, QStringLiteral("Angle"), 0.0);
        piece->SetPosition(x, y, angle);
        // After SetPosition, which leaves Enabled alone.
        piece->Enabled = ini.ReadBool(section, QStringLiteral("Enabled"), true);
    }
}

void SavePiecePos(IniFile& ini) {
    for (int i = 0; i < kPieceCount; ++i) {
        const Piece* piece = pieces[i].get();
        if (!piece) continue;
        const QString section = sectionOf(i);
        ini.WriteInteger(section, QStringLiteral("Xpos"), piece->Xpos);
        ini.WriteInteger(section, QStringLiteral("Ypos"), piece->Ypos);
        ini.WriteFloat(section, QStringLiteral("Angle"), piece->Angle);
        ini.WriteBool(section, QStringLiteral("Enabled"), piece->Enabled);
    }
}

QString LoadLayoutFile(const QString& path) {
    IniFile ini(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (!ini.readError().isEmpty())
        return QCoreApplication::translate("LayoutFile",
                                           "%1 was passed over: %2.\nThe layout stays as it is.")
            .arg(shown, ini.readError());
    bool anyPiece = false;
    for (int i = 0; i < kPieceCount && !anyPiece; ++i)
        anyPiece = ini.SectionExists(sectionOf(i));
    if (!anyPiece)
        return QCoreApplication::translate("LayoutFile",
                                           "%1 is not a layout file: it holds no [Piece] "
                                           "section.\nThe layout stays as it is.")
            .arg(shown);
    LoadPiecePos(ini);
    return {};
}

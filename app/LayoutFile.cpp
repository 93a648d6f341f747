#include "app/LayoutFile.h"

#include "app/IniFile.h"
#include "field/Pieces.h"

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

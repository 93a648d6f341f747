// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/FieldTestSupport.h"
#include "support/TestFiles.h"

#include "engine/field/Pieces.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/LayoutFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class LayoutFileTest : public ::testing::Test {
protected:
    FieldFixture field;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("layout.DAT"));

    void setFile(const QByteArray& bytes) { ASSERT_TRUE(writeFile(path, bytes)); }
    QByteArray fileBytes() const { return readFile(path); }
    void load() {
        IniFile ini(path);
        LoadPiecePos(ini);
    }
    void save() {
        IniFile ini(path);
        SavePiecePos(ini);
        ASSERT_TRUE(ini.flush()) << qPrintable(ini.lastError());
    }
    // Moves, turns and puts to sleep every piece, so a load must undo it all.
    static void scramble() {
        for (int i = 0; i < kPieceCount; ++i) {
            pieces[i]->SetPosition(7 + i, 9 + i, 1.0 + i);
            pieces[i]->Enabled = false;
        }
    }
};

TEST_F(LayoutFileTest, AFileWithoutPiecesGivesTheDefaultGridUnturnedAndAwake) {
    setFile("[General]\nVersion=110\n");
    scramble();
    load();
    const struct {
        int index, x, y;
    } places[] = {{0, 40, 40}, {6, 520, 40}, {7, 40, 120}, {24, 280, 280}, {48, 520, 520}};
    for (const auto& p : places) {
        EXPECT_EQ(pieces[p.index]->Xpos, p.x) << p.index;
        EXPECT_EQ(pieces[p.index]->Ypos, p.y) << p.index;
        EXPECT_EQ(pieces[p.index]->body->left, p.x) << p.index; // moved, not just stored
    }
    for (int i = 0; i < kPieceCount; ++i) {
        EXPECT_EQ(pieces[i]->Angle, 0.0) << i;
        EXPECT_TRUE(pieces[i]->Enabled) << i;
    }
}

TEST_F(LayoutFileTest, OnlyTheKeysPresentMoveAPieceOffTheGrid) {
    setFile("[Piece3]\nXpos=300\n");
    scramble();
    load();
    EXPECT_EQ(pieces[3]->Xpos, 300);
    EXPECT_EQ(pieces[3]->Ypos, 40);
    EXPECT_EQ(pieces[3]->Angle, 0.0);
    EXPECT_TRUE(pieces[3]->Enabled);
    for (int i = 0; i < kPieceCount; ++i) {
        if (i == 3) continue;
        EXPECT_EQ(pieces[i]->Xpos, DefaultXpos(i)) << i;
        EXPECT_EQ(pieces[i]->Ypos, DefaultYpos(i)) << i;
        EXPECT_TRUE(pieces[i]->Enabled) << i;
    }
}

TEST_F(LayoutFileTest, ValuesAreTakenAsTheyStandAndJunkGivesDefaults) {
    setFile("[piece5]\nXPOS=-100\nYpos=0x64\nAngle=100.5\n"
            "[Piece6]\nXpos=abc\nAngle=nan\nEnabled=zz\n");
    load();
    EXPECT_EQ(pieces[5]->Xpos, -100); // out of sight, but placed
    EXPECT_EQ(pieces[5]->Ypos, 100);
    EXPECT_EQ(pieces[5]->Angle, 100.5); // not reduced into a turn
    EXPECT_EQ(pieces[6]->Xpos, DefaultXpos(6));
    EXPECT_EQ(pieces[6]->Angle, 0.0);
    EXPECT_TRUE(pieces[6]->Enabled);
}

TEST_F(LayoutFileTest, ANewFileHoldsFortyNineSectionsInIndexOrder) {
    pieces[1]->SetPosition(120, 40, M_PI / 4);
    pieces[2]->Enabled = false;
    save();
    const QByteArray written = fileBytes();
    EXPECT_TRUE(written.startsWith("[Piece0]\nXpos=40\nYpos=40\nAngle=0\nEnabled=1\n"
                                   "[Piece1]\nXpos=120\nYpos=40\nAngle=0.785398163397448\n"
                                   "Enabled=1\n"
                                   "[Piece2]\nXpos=200\nYpos=40\nAngle=0\nEnabled=0\n"))
        << written.constData();
    EXPECT_TRUE(written.endsWith("[Piece48]\nXpos=520\nYpos=520\nAngle=0\nEnabled=1\n"));
    EXPECT_EQ(written.count("\n["), 48);
    EXPECT_EQ(written.count('\n'), 49 * 5);
}

TEST_F(LayoutFileTest, TurnsAndSleepSurviveASaveAndALoad) {
    pieces[10]->SetPosition(333, 444, M_PI / 4);
    pieces[11]->SetPosition(1, 2, -2.718281828459045);
    pieces[12]->Enabled = false;
    save();
    scramble();
    for (int i = 0; i < kPieceCount; ++i)
        pieces[i]->Enabled = true;
    pieces[12]->level[0] = 100.0; // excitation is not part of a layout
    load();
    EXPECT_EQ(pieces[10]->Xpos, 333);
    EXPECT_EQ(pieces[10]->Ypos, 444);
    EXPECT_NEAR(pieces[10]->Angle, M_PI / 4, 1e-15);
    EXPECT_NEAR(pieces[11]->Angle, -2.718281828459045, 1e-14);
    EXPECT_FALSE(pieces[12]->Enabled);
    EXPECT_TRUE(pieces[13]->Enabled);
    EXPECT_EQ(pieces[12]->level[0], 100.0);
}

TEST_F(LayoutFileTest, SavingOverAFileKeepsItsOtherSections) {
    setFile("; my layout\n[Notes]\ntext=keep me\n[Piece0]\nXpos=1\nComment=mine\n");
    save();
    const QByteArray written = fileBytes();
    EXPECT_TRUE(written.startsWith("; my layout\n[Notes]\ntext=keep me\n"
                                   "[Piece0]\nXpos=40\nComment=mine\nYpos=40\n"))
        << written.constData();
    EXPECT_EQ(written.count("[Piece"), 49);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/FieldTestSupport.h"

#include "engine/field/KeyboardPlay.h"
#include "engine/field/PieceStatus.h"
#include "engine/field/Pieces.h"
#include "engine/settings/SettingsRecord.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class CountingPopup : public PopupMenu {
public:
    void PopupAtPointer() override { ++shown; }
    int shown = 0;
};

class KeyboardPlayTest : public ::testing::Test {
protected:
    FieldFixture field;
    CountingPopup popup;
    Piece& piece = *pieces[24]; // at (280, 280)

    KeyboardPlayTest() { piece.popup = &popup; }

    // Every piece but the given ones onto one spot, far off to the upper
    // left unless told.
    void clearAllBut(std::initializer_list<int> kept, std::int32_t x = -5000,
                     std::int32_t y = -5000) {
        for (int i = 0; i < kPieceCount; ++i)
            if (std::find(kept.begin(), kept.end(), i) == kept.end())
                pieces[i]->SetPosition(x, y, 0);
    }
};

TEST_F(KeyboardPlayTest, ClicksDoWhatTheMouseGesturesDo) {
    prm.ActiveLv = 1.5;
    piece.Enabled = false;
    ClickBody(piece, BodyClick::Excite);
    EXPECT_TRUE(piece.Enabled);
    EXPECT_EQ(piece.rate, (std::array<double, 4>{1.5, 1.5, 1.5, 1.5}));

    ClickBody(piece, BodyClick::Turn);
    EXPECT_DOUBLE_EQ(piece.Angle, 0.7853981633974483);
    EXPECT_EQ(piece.rate[0], 1.5); // a turn leaves the excitation alone

    piece.level = {10, 20, 30, 40};
    ClickBody(piece, BodyClick::Quiet);
    EXPECT_EQ(piece.level, (std::array<double, 4>{}));
    EXPECT_EQ(piece.rate, (std::array<double, 4>{}));
    EXPECT_TRUE(piece.Enabled);

    ClickBody(piece, BodyClick::Sleep);
    EXPECT_FALSE(piece.Enabled);
    EXPECT_DOUBLE_EQ(piece.Angle, 0.7853981633974483);

    EXPECT_EQ(popup.shown, 0);
    ClickBody(piece, BodyClick::Menu);
    EXPECT_EQ(popup.shown, 1);
    EXPECT_FALSE(piece.dragging);
    EXPECT_EQ(field.owner.cursor, crDefault);
}

TEST_F(KeyboardPlayTest, ClicksReleaseLikeTheMouseSoTheyAlsoSnapButTheMenuDoesNot) {
    prm.SnapGrid = true;
    prm.GridSize = 20;
    piece.SetPosition(289, 271, 0);
    ClickBody(piece, BodyClick::Menu); // its release goes to the menu
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(289, 271));
    ClickBody(piece, BodyClick::Turn);
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(280, 280));
}

TEST_F(KeyboardPlayTest, DragMovesByTheStepAndDropsAsAMouseDragDoes) {
    DragBody(piece, 30, -20);
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(310, 260));
    EXPECT_FALSE(piece.dragging);
    EXPECT_EQ(field.owner.cursor, crDefault);

    // Further than a drag follows in one move: it gets there all the same.
    DragBody(piece, -450, 730);
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(-140, 990));

    prm.SnapGrid = true;
    prm.GridSize = 20;
    piece.SetPosition(280, 280, 0);
    DragBody(piece, 4, 0); // a few pixels snap back, as a short drag would
    EXPECT_EQ(piece.Xpos, 280);
    DragBody(piece, 20, 0);
    EXPECT_EQ(piece.Xpos, 300);
    piece.SetPosition(287, 280, 0);
    DragBody(piece, 4, 0); // 291 is past half a step
    EXPECT_EQ(piece.Xpos, 300);
}

TEST_F(KeyboardPlayTest, DragStopsAtTheEndsOfTheCoordinates) {
    piece.SetPosition(INT32_MAX - 10, INT32_MIN + 10, 0);
    DragBody(piece, 500, -500);
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(INT32_MAX, INT32_MIN));
}

TEST_F(KeyboardPlayTest, NearestPieceFollowsTheDefaultGrid) {
    EXPECT_EQ(NearestPiece(24, Heading::Right), 25);
    EXPECT_EQ(NearestPiece(24, Heading::Left), 23);
    EXPECT_EQ(NearestPiece(24, Heading::Up), 17);
    EXPECT_EQ(NearestPiece(24, Heading::Down), 31);
    EXPECT_EQ(NearestPiece(6, Heading::Right), -1); // nothing further right
    EXPECT_EQ(NearestPiece(0, Heading::Up), -1);
    EXPECT_EQ(NearestPiece(48, Heading::Down), -1);
    EXPECT_EQ(NearestPiece(-1, Heading::Down), -1);
    EXPECT_EQ(NearestPiece(kPieceCount, Heading::Down), -1);
}

TEST_F(KeyboardPlayTest, NearestPiecePrefersTheOnesAheadThenAnyFurtherThatWay) {
    clearAllBut({0, 1, 2});
    pieces[0]->SetPosition(100, 100, 0);
    pieces[1]->SetPosition(200, 210, 0); // nearer, but more below than to the right
    pieces[2]->SetPosition(260, 100, 0);
    EXPECT_EQ(NearestPiece(0, Heading::Right), 2);
    EXPECT_EQ(NearestPiece(0, Heading::Down), 1);
    pieces[2]->SetPosition(60, 100, 0);
    EXPECT_EQ(NearestPiece(0, Heading::Right), 1); // only it lies further right
    EXPECT_EQ(NearestPiece(0, Heading::Left), 2);
    EXPECT_EQ(NearestPiece(0, Heading::Up), 3); // the far-off crowd, lowest index first
}

TEST_F(KeyboardPlayTest, NearestPieceSkipsPiecesOnTheSameCentreAndBreaksTiesByIndex) {
    clearAllBut({10, 11, 12, 13});
    pieces[10]->SetPosition(300, 300, 0);
    pieces[11]->SetPosition(300, 300, 0);
    pieces[12]->SetPosition(400, 300, 0);
    pieces[13]->SetPosition(400, 300, 0);
    EXPECT_EQ(NearestPiece(10, Heading::Right), 12);
    EXPECT_EQ(NearestPiece(13, Heading::Left), 10);
    EXPECT_EQ(NearestPiece(10, Heading::Down), -1);
}

TEST_F(KeyboardPlayTest, NearestPieceCopesWithPiecesAtTheEndsOfTheCoordinates) {
    // Their distance squared is past what 64-bit integers hold.
    clearAllBut({1}, INT32_MIN, INT32_MIN);
    pieces[1]->SetPosition(INT32_MAX - 30, INT32_MAX - 40, 0);
    EXPECT_EQ(NearestPiece(0, Heading::Right), 1);
    EXPECT_EQ(NearestPiece(0, Heading::Down), 1);
    EXPECT_EQ(NearestPiece(1, Heading::Left), 0);
    EXPECT_EQ(NearestPiece(1, Heading::Up), 0);
}

TEST_F(KeyboardPlayTest, StatusTellsPlayingQuietAndAsleep) {
    EXPECT_EQ(StatusOf(piece), PieceStatus::Quiet);
    piece.rate[3] = 0.5;
    EXPECT_EQ(StatusOf(piece), PieceStatus::Playing);
    piece.Enabled = false;
    EXPECT_EQ(StatusOf(piece), PieceStatus::Asleep);
    piece.Enabled = true;
    piece.rate[3] = 0;
    piece.noteTicks = 5; // a note running out alone is no more excitation
    EXPECT_EQ(StatusOf(piece), PieceStatus::Quiet);
}

TEST_F(KeyboardPlayTest, FacingIsInWholeDegreesClockwise) {
    const auto facing = [&](double angle) {
        piece.Angle = angle;
        return FacingDegrees(piece);
    };
    EXPECT_EQ(facing(0.0), 0);
    EXPECT_EQ(facing(0.7853981633974483), 45);
    EXPECT_EQ(facing(7 * 0.7853981633974483), 315);
    EXPECT_EQ(facing(-0.7853981633974483), 315);
    EXPECT_EQ(facing(6.283185307179586), 0);
    EXPECT_EQ(facing(10.0), 213);
    EXPECT_EQ(facing(std::nan("")), 0);
    EXPECT_GE(facing(1e300), 0); // any huge angle stays within a turn
    EXPECT_GE(facing(-1e300), 0);
    EXPECT_LT(facing(1e300), 360);
}

} // namespace

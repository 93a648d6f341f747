// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/FieldTestSupport.h"

#include "engine/field/Piece.h"
#include "engine/field/Pieces.h"
#include "engine/settings/SettingsRecord.h"

#include <gtest/gtest.h>

namespace {

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
const Qt::KeyboardModifiers kBoth = Qt::ShiftModifier | Qt::ControlModifier;

class CountingPopup : public PopupMenu {
public:
    void PopupAtPointer() override { ++shown; }
    int shown = 0;
};

class InteractionTest : public ::testing::Test {
protected:
    FieldFixture field;
    CountingPopup popup;
    Piece& piece = *pieces[24]; // at (280, 280)

    InteractionTest() { piece.popup = &popup; }

    void click(Qt::MouseButton button, Qt::KeyboardModifiers shift) {
        piece.BodyMouseDown(button, shift, 12, 12);
        piece.BodyMouseUp(button, shift, 12, 12);
    }
};

TEST_F(InteractionTest, ShiftCtrlPutsToSleepWithAnyButtonAndOpensNoMenu) {
    for (auto button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        piece.Enabled = true;
        click(button, kBoth);
        EXPECT_FALSE(piece.Enabled);
    }
    EXPECT_EQ(popup.shown, 0);
    EXPECT_EQ(piece.Angle, 0);
}

TEST_F(InteractionTest, ShiftTurnsByAnEighthWithAnyButton) {
    click(Qt::LeftButton, kShift);
    EXPECT_DOUBLE_EQ(piece.Angle, 0.7853981633974483);
    EXPECT_EQ(piece.satellites[3]->left, 280 + 11 - 3 + 20); // now pointing right
    click(Qt::RightButton, kShift);
    click(Qt::MiddleButton, kShift | Qt::AltModifier);
    EXPECT_DOUBLE_EQ(piece.Angle, 3 * 0.7853981633974483);
    for (int i = 0; i < 5; ++i)
        click(Qt::LeftButton, kShift);
    EXPECT_EQ(piece.Angle, 0.0); // eight turns come back to exactly 0
    EXPECT_EQ(popup.shown, 0);
}

TEST_F(InteractionTest, CtrlLeftExcitesAndWakesCtrlRightSilences) {
    prm.ActiveLv = 1.5;
    piece.Enabled = false;
    click(Qt::LeftButton, kCtrl);
    EXPECT_TRUE(piece.Enabled);
    EXPECT_EQ(piece.rate, (std::array<double, 4>{1.5, 1.5, 1.5, 1.5}));
    click(Qt::LeftButton, kCtrl);
    EXPECT_EQ(piece.rate[2], 3.0);

    piece.level = {10, 20, 30, 40};
    piece.Enabled = false;
    click(Qt::RightButton, kCtrl);
    EXPECT_EQ(piece.level, (std::array<double, 4>{}));
    EXPECT_EQ(piece.rate, (std::array<double, 4>{}));
    EXPECT_FALSE(piece.Enabled); // stays asleep
    click(Qt::MiddleButton, kCtrl);
    EXPECT_FALSE(piece.Enabled);
    EXPECT_EQ(popup.shown, 0);
}

TEST_F(InteractionTest, DragKeepsTheGrabPointAndIgnoresJumps) {
    piece.BodyMouseDown(Qt::LeftButton, Qt::AltModifier, 5, 7); // Alt is ignored
    EXPECT_TRUE(piece.dragging);
    EXPECT_EQ(field.owner.cursor, crMovePiece);
    piece.BodyMouseMove(kNone, 25, 17);
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(300, 290));
    piece.BodyMouseMove(kNone, 230, 7); // dx 225: a jump
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(300, 290));
    piece.BodyMouseMove(kNone, 5, -192); // dy -199: still followed
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(300, 91));
    piece.BodyMouseUp(Qt::LeftButton, kNone, 5, 7);
    EXPECT_FALSE(piece.dragging);
    EXPECT_EQ(field.owner.cursor, crDefault);
    piece.BodyMouseMove(kNone, 50, 50); // no drag without a press
    EXPECT_EQ(std::pair(piece.Xpos, piece.Ypos), std::pair(300, 91));
}

TEST_F(InteractionTest, PlainRightClickOpensThePopup) {
    click(Qt::RightButton, kNone);
    EXPECT_EQ(popup.shown, 1);
    click(Qt::MiddleButton, kNone);
    EXPECT_EQ(popup.shown, 1);
    EXPECT_FALSE(piece.dragging);
    piece.popup = nullptr;
    click(Qt::RightButton, kNone); // no menu set: nothing happens
    EXPECT_EQ(popup.shown, 1);
}

TEST_F(InteractionTest, ReleaseSnapsToTheGridWhenSnappingIsOn) {
    auto releaseAt = [&](int x, int grid) {
        prm.GridSize = grid;
        piece.SetPosition(x, x, 0);
        piece.BodyMouseUp(Qt::LeftButton, kNone, 0, 0);
        return piece.Xpos;
    };
    prm.SnapGrid = false;
    EXPECT_EQ(releaseAt(109, 20), 109);
    prm.SnapGrid = true;
    EXPECT_EQ(releaseAt(109, 20), 100);
    EXPECT_EQ(releaseAt(110, 20), 120);
    EXPECT_EQ(releaseAt(-5, 20), 0);
    EXPECT_EQ(releaseAt(-15, 20), 0);
    EXPECT_EQ(releaseAt(-25, 20), -20);
    EXPECT_EQ(releaseAt(111, 25), 100);
    EXPECT_EQ(releaseAt(112, 25), 125);
    EXPECT_EQ(piece.Ypos, 125);
    // A grid of no width leaves the piece where it was dropped.
    EXPECT_EQ(releaseAt(109, 0), 109);
    EXPECT_EQ(releaseAt(109, -5), 109);
    EXPECT_EQ(releaseAt(INT32_MAX, 20), 2147483640);
    EXPECT_EQ(releaseAt(INT32_MAX, 25), INT32_MAX); // the next line up lies beyond 32 bits

    prm.GridSize = 20;
    piece.SetPosition(109, 109, 0);
    click(Qt::LeftButton, kShift); // a turn snaps on its release too
    EXPECT_EQ(piece.Xpos, 100);
}

TEST(ModifierCursor, AnnouncesWhatAClickWillDo) {
    EXPECT_EQ(ModifierCursor(kNone), crDefault);
    EXPECT_EQ(ModifierCursor(kShift), crTurnPiece);
    EXPECT_EQ(ModifierCursor(kCtrl), crChangePiece);
    EXPECT_EQ(ModifierCursor(kBoth), crSleepPiece);
    EXPECT_EQ(ModifierCursor(kShift | Qt::AltModifier), crTurnPiece);
}

} // namespace

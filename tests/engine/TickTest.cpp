// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/FieldTestSupport.h"

#include "engine/field/FieldTick.h"
#include "engine/field/Pieces.h"
#include "engine/field/Random.h"
#include "engine/field/Response.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/SettingsRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

constexpr double kQuarterPi = 0.7853981633974483;

class PropagationTest : public ::testing::Test {
protected:
    FieldFixture field;

    // Fire one satellite of a source and propagate, without a whole tick.
    void fire(int source, int satellite) {
        pieces[source]->fired[satellite] = true;
        PropagateFirings();
    }

    // Every rate of every piece, to see what an excitation touched.
    static double totalRate(int index) {
        const auto& r = pieces[index]->rate;
        return r[0] + r[1] + r[2] + r[3];
    }

    // Moves every piece far apart so that only the pieces a test places matter.
    static void clearField() {
        for (int i = 0; i < kPieceCount; ++i)
            pieces[i]->SetPosition(10000 + i * 1000, 10000, 0);
    }
};

TEST_F(PropagationTest, DiagonalNeighbourInTheSatellitesDirectionIsExcited) {
    fire(0, 0);                 // down and right from (40, 40)
    EXPECT_EQ(totalRate(1), 0); // 80 away but 45 degrees off
    EXPECT_EQ(totalRate(7), 0);
    EXPECT_EQ(totalRate(16), 0);                             // 226 away: beyond reach
    EXPECT_NEAR(pieces[8]->rate[2], 2 * 1.2457527667, 1e-9); // in line with its satellite 2
    EXPECT_EQ(totalRate(8), pieces[8]->rate[2]);
    EXPECT_FALSE(pieces[0]->fired[0]); // each firing propagates once
    for (int i = 0; i < kPieceCount; ++i) {
        if (i != 8) {
            EXPECT_EQ(totalRate(i), 0) << "piece " << i;
        }
    }
}

TEST_F(PropagationTest, TableOnePlaysBackAndForthTableTwoPassesOn) {
    fire(8, 2); // up and left, back towards piece 0
    EXPECT_NEAR(pieces[0]->rate[0], 2 * 1.2457527667, 1e-9);

    prm.ActivePtn = 1;
    fire(0, 0);
    EXPECT_NEAR(pieces[8]->rate[0], 2 * 1.2457527667, 1e-9); // points on towards piece 16
    EXPECT_EQ(pieces[8]->rate[2], 0);
}

TEST_F(PropagationTest, ArrivalBetweenTwoSatellitesRaisesAPair) {
    clearField();
    pieces[0]->SetPosition(40, 40, 0);
    pieces[1]->SetPosition(140, 100, 0); // 31 degrees: 14 off satellite 0's direction
    fire(0, 0);
    EXPECT_NEAR(pieces[1]->rate[0], 1.2225397, 1e-7);
    EXPECT_NEAR(pieces[1]->rate[3], 1.2225397, 1e-7);
    EXPECT_EQ(pieces[1]->rate[1] + pieces[1]->rate[2], 0);
}

TEST_F(PropagationTest, StrengthFallsWithDistance) {
    clearField();
    pieces[0]->SetPosition(40, 40, kQuarterPi); // satellite 3 points right
    pieces[1]->SetPosition(120, 40, 0);
    pieces[2]->SetPosition(160, 40, 0);
    fire(0, 3);
    EXPECT_NEAR(pieces[1]->rate[0], 1.4666667, 1e-7);
    EXPECT_NEAR(pieces[1]->rate[3], 1.4666667, 1e-7);
    EXPECT_NEAR(pieces[2]->rate[0], 1.2, 1e-12);
    EXPECT_NEAR(pieces[2]->rate[3], 1.2, 1e-12);

    prm.ActiveLv = 2.0; // the rising speed scales what is passed on
    fire(0, 3);
    EXPECT_NEAR(pieces[2]->rate[0], 1.2 + 2.4, 1e-12);
}

TEST_F(PropagationTest, ReachIsStrict) {
    clearField();
    pieces[0]->SetPosition(40, 40, 0);
    pieces[1]->SetPosition(146, 146, 0);
    pieces[2]->SetPosition(147, 146, 0);
    fire(0, 0);
    EXPECT_NEAR(totalRate(1), 2 * 1.0006224, 1e-7);
    EXPECT_EQ(totalRate(2), 0);

    pieces[0]->SetPosition(40, 40, -kQuarterPi); // satellite 0 points right
    pieces[1]->SetPosition(189, 40, 0);
    pieces[2]->SetPosition(190, 40, 0); // exactly at the reach
    fire(0, 0);
    EXPECT_GT(totalRate(1), 2 * 1.0006224);
    EXPECT_EQ(totalRate(2), 0);

    prm.Reach = 200; // a new reach acts on the very next propagation
    fire(0, 0);
    EXPECT_GT(totalRate(2), 0);
}

TEST_F(PropagationTest, OnlyTargetsWithinThirtyDegreesAreExcited) {
    clearField();
    pieces[0]->SetPosition(0, 0, -kQuarterPi); // satellite 0 points right
    const double r = 100;
    auto at = [&](int index, double degrees) {
        const double a = degrees * 3.141592653589793 / 180;
        pieces[index]->SetPosition(int(std::lround(r * std::cos(a))),
                                   int(std::lround(r * std::sin(a))), 0);
    };
    at(1, 28);
    at(2, -28);
    at(3, 32);
    at(4, -32);
    fire(0, 0);
    EXPECT_GT(totalRate(1), 0);
    EXPECT_GT(totalRate(2), 0);
    EXPECT_EQ(totalRate(3), 0);
    EXPECT_EQ(totalRate(4), 0);

    EXPECT_FALSE(response::gap(0.0, 0.5235987755982988) < 0.5235987755982988);
}

TEST_F(PropagationTest, PiecesOnTheSameSpotNeverExciteEachOther) {
    clearField();
    pieces[0]->SetPosition(200, 200, 0);
    pieces[1]->SetPosition(200, 200, 0);
    for (int i = 0; i < 4; ++i) {
        fire(0, i);
        fire(1, i);
    }
    EXPECT_EQ(totalRate(0) + totalRate(1), 0);
}

TEST_F(PropagationTest, SleepingTargetsTakeExcitationAndDropItAtTheirNextTick) {
    pieces[8]->Enabled = false;
    fire(0, 0);
    EXPECT_GT(totalRate(8), 0);
    TickField();
    EXPECT_EQ(totalRate(8), 0);
}

TEST_F(PropagationTest, CoordinatesNearTheLimitsDoNotOverflow) {
    clearField();
    pieces[0]->SetPosition(2147483647, 2147483647, 0);
    pieces[1]->SetPosition(-2147483647 - 1, -2147483647 - 1, 0);
    pieces[2]->SetPosition(2147483600, 2147483600, 0);
    pieces[3]->SetPosition(0, 0, std::nan(""));
    for (int i = 0; i < 4; ++i) {
        fire(0, i);
        fire(1, i);
        fire(3, i);
    }
    EXPECT_GT(totalRate(2), 0); // up-left of piece 0, in reach of its satellite 2
    EXPECT_EQ(totalRate(1), 0);
}

TEST(FacingMask, OneAxisOrTwoNearASatellitesDirection) {
    // Seen from a target at angle 0, a source straight left lies on axis 2.
    EXPECT_EQ(response::facingMask(0.0, 0.0), 4);
    // Up-left, the source is in line with satellite 2: axes 2 and 3.
    EXPECT_EQ(response::facingMask(kQuarterPi, 0.0), 12);
    // A little over 6.4 degrees off that direction leaves one axis.
    EXPECT_EQ(response::facingMask(kQuarterPi + 0.12, 0.0), 8);
    EXPECT_EQ(response::facingMask(kQuarterPi - 0.12, 0.0), 4);
    // Turning the target turns its axes with it.
    EXPECT_EQ(response::facingMask(0.0, 1.5707963267948966), 2);
    EXPECT_EQ(response::facingMask(3.141592653589793, 0.0), 1);
}

TEST(ResponseTables, InLineAndBetweenCases) {
    // In line with satellite 0 (mask 3): itself, the opposite one, or the sides.
    EXPECT_EQ(response::excitationMask(1, 3), 1);
    EXPECT_EQ(response::excitationMask(2, 3), 4);
    EXPECT_EQ(response::excitationMask(3, 3), 10);
    EXPECT_EQ(response::excitationMask(4, 3), 10);
    // Between satellites 3 and 0 (mask 1): the far pair or the near pair.
    EXPECT_EQ(response::excitationMask(1, 1), 6);
    EXPECT_EQ(response::excitationMask(2, 1), 9);
    EXPECT_EQ(response::excitationMask(3, 1), 6);
    EXPECT_EQ(response::excitationMask(4, 1), 9);
    EXPECT_EQ(response::excitationMask(1, 9), 8);
    EXPECT_EQ(response::excitationMask(2, 6), 8);
    EXPECT_EQ(response::excitationMask(3, 12), 10);
    EXPECT_EQ(response::excitationMask(4, 9), 5);
    for (int facing : {0, 5, 7, 10, 15})
        EXPECT_EQ(response::excitationMask(1, facing), 0);
}

TEST(ResponsePatterns, RandomPatternsSplitEvenly) {
    reseedRandom(99);
    constexpr int kDraws = 40000;
    auto counts = [&](int pattern) {
        std::array<int, 5> seen{};
        for (int n = 0; n < kDraws; ++n)
            ++seen.at(response::chooseTable(pattern));
        return seen;
    };
    const auto p4 = counts(4);
    EXPECT_NEAR(p4[1], kDraws / 2, kDraws / 50);
    EXPECT_EQ(p4[1] + p4[2], kDraws);
    const auto p5 = counts(5);
    EXPECT_NEAR(p5[3], kDraws / 2, kDraws / 50);
    EXPECT_EQ(p5[3] + p5[4], kDraws);
    const auto p6 = counts(6);
    for (int t = 1; t <= 4; ++t)
        EXPECT_NEAR(p6[t], kDraws / 4, kDraws / 50) << "table " << t;
    for (int pattern : {0, 1, 2, 3})
        EXPECT_EQ(counts(pattern)[pattern + 1], kDraws);
    EXPECT_EQ(counts(9)[1], kDraws); // out of range: table 1
    EXPECT_EQ(counts(-1)[1], kDraws);
}

TEST(ResponsePatterns, EveryExcitationDrawsOnceAndPatternSixTwice) {
    for (int pattern : {0, 6}) {
        FieldFixture field;
        prm.ActivePtn = pattern;
        reseedRandom(5);
        std::array<std::uint32_t, 3> sequence{Random(), Random(), Random()};
        reseedRandom(5);
        pieces[0]->fired[0] = true; // exactly one target: piece 8
        PropagateFirings();
        EXPECT_EQ(Random(), sequence[pattern == 6 ? 2 : 1]) << "pattern " << pattern;
    }
}

TEST(FieldTick, UpdatesBeforePropagating) {
    FieldFixture field;
    pieces[0]->level[0] = 255;
    pieces[0]->rate[0] = 1;
    pieces[8]->level[2] = 10;
    TickField();
    // Piece 8 updated before the excitation arrived: its level has not risen yet.
    EXPECT_EQ(pieces[8]->level[2], 10);
    EXPECT_GT(pieces[8]->rate[2], 0);
    EXPECT_FALSE(pieces[0]->fired[0]);
    TickField();
    EXPECT_GT(pieces[8]->level[2], 10);
}

TEST(FieldTick, OneExcitedPieceKeepsTheFieldPlaying) {
    FieldFixture field;
    // A Ctrl+click on the centre piece: every rate gains the rising speed.
    for (double& r : pieces[24]->rate)
        r += prm.ActiveLv;
    int notesEarly = 0, notesLate = 0;
    for (int tick = 0; tick < 2000; ++tick) {
        field.service.messages.clear();
        TickField();
        for (const auto& m : field.service.messages)
            if ((m.status() & 0xF0) == 0x90 && m.data2() > 0)
                (tick < 1000 ? notesEarly : notesLate) += 1;
    }
    EXPECT_GT(notesEarly, 4);
    EXPECT_GT(notesLate, 4); // the chain sustains itself
    int sounding = 0;
    for (const auto& piece : pieces)
        sounding += piece->noteTicks > 0 ||
                    piece->rate[0] + piece->rate[1] + piece->rate[2] + piece->rate[3] > 0;
    EXPECT_GT(sounding, 0);
}

} // namespace

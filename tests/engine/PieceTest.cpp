// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/FieldTestSupport.h"

#include "engine/field/Piece.h"
#include "engine/field/Pieces.h"
#include "engine/field/Random.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/SettingsRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Place {
    int left;
    int top;
};

Place placeOf(const Shape& s) {
    return {s.left, s.top};
}

bool operator==(Place a, Place b) {
    return a.left == b.left && a.top == b.top;
}

void PrintTo(Place p, std::ostream* os) {
    *os << "(" << p.left << ", " << p.top << ")";
}

class PieceTest : public ::testing::Test {
protected:
    FieldFixture field;
    Piece& piece = *pieces[0]; // at (40, 40), angle 0

    const std::vector<RecordingMidiService::Message>& sent() { return field.service.messages; }
};

TEST_F(PieceTest, NewPieceStacksEveryShapeOnTheBodyCornerAwake) {
    prm.NormalPen = 0x112233;
    prm.NormalBrush = 0x445566;
    PlainShapeOwner owner;
    Piece fresh(owner);
    ASSERT_EQ(owner.shapes.size(), 5u);
    EXPECT_EQ(&owner.shapes[0], fresh.body); // the body lies below its satellites
    EXPECT_EQ(fresh.body->width, 24);
    for (const Shape& s : owner.shapes) {
        EXPECT_EQ(placeOf(s), (Place{100, 100}));
        EXPECT_EQ(s.pen, 0x112233);
        EXPECT_EQ(s.brush, 0x445566);
    }
    EXPECT_EQ(fresh.satellites[3]->width, 8);
    EXPECT_TRUE(fresh.Enabled);
    EXPECT_EQ(fresh.noteTicks, 0);
    EXPECT_FALSE(fresh.dragging);
}

TEST_F(PieceTest, SetPositionPlacesSatellitesAtTheDiagonals) {
    piece.SetPosition(100, 100, 0);
    EXPECT_EQ(placeOf(*piece.body), (Place{100, 100}));
    EXPECT_EQ(placeOf(*piece.satellites[0]), (Place{122, 122}));
    EXPECT_EQ(placeOf(*piece.satellites[1]), (Place{93, 122}));
    EXPECT_EQ(placeOf(*piece.satellites[2]), (Place{93, 93}));
    EXPECT_EQ(placeOf(*piece.satellites[3]), (Place{122, 93}));

    piece.SetPosition(40, 40, 0);
    EXPECT_EQ(placeOf(*piece.satellites[0]), (Place{62, 62}));
    EXPECT_EQ(placeOf(*piece.satellites[2]), (Place{33, 33}));

    // A quarter turn less puts satellite 0 straight right, 3 straight up.
    piece.SetPosition(100, 100, -0.7853981633974483);
    EXPECT_EQ(placeOf(*piece.satellites[0]), (Place{128, 108}));
    EXPECT_EQ(placeOf(*piece.satellites[1]), (Place{108, 128}));
    EXPECT_EQ(placeOf(*piece.satellites[2]), (Place{88, 108}));
    EXPECT_EQ(placeOf(*piece.satellites[3]), (Place{108, 88}));

    // Truncation drops the fraction toward zero, also left of the window.
    piece.SetPosition(-30, -30, 0);
    EXPECT_EQ(placeOf(*piece.satellites[0]), (Place{-7, -7}));   // -7.86
    EXPECT_EQ(placeOf(*piece.satellites[2]), (Place{-36, -36})); // -36.14
}

TEST_F(PieceTest, SetPositionStoresAnyAngleUnchanged) {
    piece.SetPosition(10, 20, 10.0);
    EXPECT_EQ(piece.Angle, 10.0);
    piece.SetPosition(10, 20, -1.0);
    EXPECT_EQ(piece.Angle, -1.0);
    EXPECT_EQ(piece.Xpos, 10);
    EXPECT_EQ(piece.Ypos, 20);
}

TEST_F(PieceTest, SetPositionSurvivesExtremeValues) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    piece.SetPosition(kMax, kMin, 0);
    EXPECT_EQ(piece.satellites[0]->left, kMax); // saturates instead of wrapping
    EXPECT_EQ(piece.satellites[2]->top, kMin);

    piece.SetPosition(100, 100, std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(std::isnan(piece.Angle));
    EXPECT_EQ(placeOf(*piece.satellites[0]), (Place{122, 122})); // placed as if unturned

    piece.SetPosition(100, 100, std::numeric_limits<double>::infinity());
    EXPECT_EQ(placeOf(*piece.satellites[1]), (Place{93, 122}));

    piece.SetPosition(100, 100, 1e300);
    for (const Shape* s : piece.satellites) {
        EXPECT_GE(s->left, 100 + 11 - 3 - 20);
        EXPECT_LE(s->left, 100 + 11 - 3 + 20);
    }
}

TEST_F(PieceTest, BlendColorMovesFromNormalToActiveFill) {
    prm.NormalBrush = 0;
    prm.ActiveBrush = 0x0000FF;
    EXPECT_EQ(piece.BlendColor(0), 0);
    EXPECT_EQ(piece.BlendColor(127.9), 0x00007F);
    EXPECT_EQ(piece.BlendColor(254.99), 0x0000FE);
    EXPECT_EQ(piece.BlendColor(300), 0x0000FF);

    prm.NormalBrush = 0x00FFFFFF;
    prm.ActiveBrush = 0;
    EXPECT_EQ(piece.BlendColor(1), 0x00FEFEFE);
    EXPECT_EQ(piece.BlendColor(128), 0x007F7F7F);

    // A negative difference truncates toward zero: 10 + (-1000 / 255) is 7, not 6.
    prm.NormalBrush = 10;
    prm.ActiveBrush = 0;
    EXPECT_EQ(piece.BlendColor(100), 7);

    prm.NormalBrush = 0x00808080;
    prm.ActiveBrush = 0x0000FF;
    EXPECT_EQ(piece.BlendColor(200), 0x001C1CE3);
    EXPECT_EQ(piece.BlendColor(std::numeric_limits<double>::infinity()), 0x0000FF);
    EXPECT_EQ(piece.BlendColor(std::numeric_limits<double>::quiet_NaN()), 0x00808080);
}

TEST_F(PieceTest, FiringPlaysANoteFromTheHotSatellites) {
    reseedRandom(7);
    const std::uint32_t r1 = Random();
    const std::uint32_t r2 = Random();
    reseedRandom(7);

    piece.level[1] = 254.5;
    piece.rate[1] = 2;
    piece.Update();

    EXPECT_EQ(piece.level[1], 0);
    EXPECT_EQ(piece.rate[1], 0);
    EXPECT_TRUE(piece.fired[1]);
    EXPECT_EQ(piece.channel, 0);
    const int expectedPitch = (r1 % 2 == 0 ? 40 : 56) + (r2 % 3 == 0 ? 1 : 0);
    EXPECT_EQ(piece.pitch, expectedPitch);
    EXPECT_EQ(piece.velocity, 96);
    EXPECT_EQ(piece.noteTicks, 14);

    // Pan first (40 * 127 / 597 = 8), then the note.
    ASSERT_EQ(sent().size(), 2u);
    EXPECT_EQ(sent()[0].packed, 0xB0u | (10u << 8) | (8u << 16));
    EXPECT_EQ(sent()[1].packed, 0x90u | (unsigned(expectedPitch) << 8) | (96u << 16));
    EXPECT_EQ(midiPort->pans[0], 8);
}

TEST_F(PieceTest, ChannelCountsHotSatellitesAndSlowRatesAddNoIntensity) {
    piece.level[0] = 255.5;
    piece.rate[0] = 0.5; // below ActiveLv: hot but adds nothing
    piece.level[2] = 199;
    piece.rate[2] = 1;
    piece.Update();
    EXPECT_EQ(piece.channel, 1);
    EXPECT_TRUE(piece.pitch == 44 || piece.pitch == 45 || piece.pitch == 52 || piece.pitch == 53);
    EXPECT_EQ(piece.velocity, 88); // intensity 1 from satellite 2
    EXPECT_EQ(piece.noteTicks, 12);
    EXPECT_EQ(piece.level[2], 200);
    EXPECT_FALSE(piece.fired[2]);

    piece.level[3] = 255.9;
    piece.rate[3] = 0.9;
    piece.level[2] = 0;
    piece.rate[2] = 0;
    piece.Update();
    EXPECT_EQ(piece.channel, 0);
    EXPECT_TRUE(piece.pitch == 48 || piece.pitch == 49);
    EXPECT_EQ(piece.velocity, 80);
    EXPECT_EQ(piece.noteTicks, 10);
}

TEST_F(PieceTest, PitchAndVelocityAreClamped) {
    // Draw until a firing takes each sign, checking the clamps both ways.
    bool sawLow = false, sawHigh = false;
    for (int attempt = 0; attempt < 64 && !(sawLow && sawHigh); ++attempt) {
        piece.noteTicks = 0;
        piece.level[0] = 256;
        piece.rate[0] = 15; // intensity 15
        piece.Update();
        EXPECT_EQ(piece.velocity, 127);
        EXPECT_EQ(piece.noteTicks, 40);
        if (piece.pitch >= 100) {
            EXPECT_EQ(piece.pitch, 108); // 108 or 109 before the clamp
            sawHigh = true;
        } else {
            EXPECT_EQ(piece.pitch, 36); // -12 or -11 before the clamp
            sawLow = true;
        }
    }
    EXPECT_TRUE(sawLow && sawHigh);
}

TEST_F(PieceTest, NoteEndsAfterItsCountdownOrWhenThePieceFiresAgain) {
    piece.level[0] = 255;
    piece.rate[0] = 2; // 14 ticks
    piece.Update();
    const int first = piece.pitch;
    field.service.messages.clear();
    for (int t = 0; t < 13; ++t)
        piece.Update();
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(piece.noteTicks, 1);
    piece.Update();
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0].packed, 0x90u | (unsigned(first) << 8)); // velocity 0 ends it
    piece.Update();
    EXPECT_EQ(sent().size(), 1u);

    // Fire, then fire again with 3 ticks left: old end, pan, new note in one tick.
    piece.level[0] = 255;
    piece.rate[0] = 2;
    piece.Update();
    const int second = piece.pitch;
    piece.noteTicks = 3;
    field.service.messages.clear();
    piece.level[1] = 255;
    piece.level[2] = 255;
    piece.rate[1] = 1;
    piece.rate[2] = 1;
    piece.Update();
    ASSERT_EQ(sent().size(), 3u);
    EXPECT_EQ(sent()[0].packed, 0x90u | (unsigned(second) << 8));
    EXPECT_EQ(sent()[1].status(), 0xB1); // two hot satellites: channel 1
    EXPECT_EQ(sent()[1].data1(), 10);
    EXPECT_EQ(sent()[2].status(), 0x91);
    EXPECT_EQ(sent()[2].data2(), 96);
}

TEST_F(PieceTest, SleepingPieceHoldsItsSatellitesAndFreezesItsNote) {
    prm.ZzzBrush = 0x808080;
    piece.level[0] = 255;
    piece.rate[0] = 2;
    piece.Update();
    const int pitch = piece.pitch;
    field.service.messages.clear();

    piece.Enabled = false;
    for (int t = 0; t < 30; ++t) {
        piece.AddRates(5, 100); // excitation arriving between ticks is discarded
        piece.Update();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(piece.level[i], 0);
            EXPECT_EQ(piece.rate[i], 0);
            EXPECT_EQ(piece.satellites[i]->brush, 0x808080);
        }
        EXPECT_EQ(piece.body->brush, 0x808080);
    }
    EXPECT_EQ(piece.noteTicks, 14);
    EXPECT_TRUE(sent().empty());

    piece.Enabled = true;
    for (int t = 0; t < 14; ++t)
        piece.Update();
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0].packed, 0x90u | (unsigned(pitch) << 8));
    EXPECT_EQ(piece.body->brush, prm.NormalBrush);
}

TEST_F(PieceTest, BodyTakesTheBlendOfAllLevelsAndDebugShowsThePitch) {
    piece.rate[0] = 50;
    piece.rate[1] = 50;
    piece.Update();
    EXPECT_EQ(piece.satellites[0]->brush, piece.BlendColor(50));
    EXPECT_EQ(piece.body->brush, piece.BlendColor(100));
    EXPECT_EQ(piece.body->pen, prm.NormalPen);
    EXPECT_TRUE(piece.body->hint.isEmpty());

    prm.Debug = true;
    piece.level[3] = 255;
    piece.rate[3] = 1;
    piece.Update();
    EXPECT_EQ(piece.body->hint, QString::number(piece.pitch));
}

TEST_F(PieceTest, PanFollowsThePlaceAndStaysInRange) {
    auto panAt = [&](int x) {
        piece.SetPosition(x, 40, 0);
        piece.noteTicks = 0;
        piece.level[0] = 256;
        piece.rate[0] = 1;
        field.service.messages.clear();
        piece.Update();
        return std::pair{midiPort->pans[0], int(sent().at(0).data2())};
    };
    EXPECT_EQ(panAt(298), std::pair(63, 63));
    EXPECT_EQ(panAt(520), std::pair(110, 110));
    // Beyond either edge the pan goes fully to that side instead of wrapping.
    EXPECT_EQ(panAt(-10), std::pair(0, 0));
    EXPECT_EQ(panAt(700), std::pair(127, 127));
    EXPECT_EQ(panAt(std::numeric_limits<std::int32_t>::max()), std::pair(127, 127));
    EXPECT_EQ(panAt(std::numeric_limits<std::int32_t>::min()), std::pair(0, 0));
}

TEST_F(PieceTest, AbsurdRisingSpeedCannotOverflowTheNote) {
    prm.ActiveLv = 1e-300; // only a damaged settings file brings such a value
    piece.level[0] = 256;
    piece.rate[0] = 1e300;
    piece.Update();
    EXPECT_EQ(piece.velocity, 127);
    EXPECT_GT(piece.noteTicks, 10);
    EXPECT_TRUE(piece.pitch == 36 || piece.pitch == 108);
}

TEST_F(PieceTest, AddRatesRaisesTheNamedSatellites) {
    piece.AddRates(5, 1.5);
    EXPECT_EQ(piece.rate, (std::array<double, 4>{1.5, 0, 1.5, 0}));
    piece.AddRates(8, 1.5);
    EXPECT_EQ(piece.rate, (std::array<double, 4>{1.5, 0, 1.5, 3.0}));
    for (int mask : {0, 7, 11, 13, 14, 15, 16, -1, 0x7FFFFFFF})
        piece.AddRates(mask, 1.5);
    EXPECT_EQ(piece.rate, (std::array<double, 4>{1.5, 0, 1.5, 3.0}));
    piece.AddRates(12, 0.25);
    EXPECT_EQ(piece.rate, (std::array<double, 4>{1.5, 0, 1.75, 3.25}));
}

TEST(DefaultLayout, SevenBySevenGrid) {
    FieldFixture field;
    EXPECT_EQ(std::pair(pieces[0]->Xpos, pieces[0]->Ypos), std::pair(40, 40));
    EXPECT_EQ(std::pair(pieces[6]->Xpos, pieces[6]->Ypos), std::pair(520, 40));
    EXPECT_EQ(std::pair(pieces[7]->Xpos, pieces[7]->Ypos), std::pair(40, 120));
    EXPECT_EQ(std::pair(pieces[48]->Xpos, pieces[48]->Ypos), std::pair(520, 520));
    // Shapes stack in index order: piece 48's body lies above piece 0's satellites.
    ASSERT_EQ(field.owner.shapes.size(), 245u);
    EXPECT_EQ(&field.owner.shapes[240], pieces[48]->body);
    pieces[3]->Enabled = false;
    pieces[3]->SetPosition(1, 2, 3);
    PlaceOnDefaultGrid();
    EXPECT_EQ(pieces[3]->Xpos, 280);
    EXPECT_EQ(pieces[3]->Angle, 0);
    EXPECT_FALSE(pieces[3]->Enabled);
}

} // namespace

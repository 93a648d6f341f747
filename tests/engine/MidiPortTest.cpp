// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/TMidiPort.h"

#include <gtest/gtest.h>

namespace {

class MidiPortTest : public ::testing::Test {
protected:
    RecordingMidiService service{{"first", "second"}};
    TMidiPort port{service};

    std::uint32_t last() const { return service.messages.back().packed; }
};

TEST_F(MidiPortTest, NewPortIsClosedWithDefaultsAndSendsNothing) {
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.deviceId, 0u);
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(port.programs[c], 0);
        EXPECT_EQ(port.volumes[c], 90);
        EXPECT_EQ(port.pans[c], 64);
    }
    EXPECT_EQ(port.GetNumDevs(), 2u);
    EXPECT_TRUE(service.messages.empty());
    EXPECT_TRUE(service.opened.empty());
}

TEST_F(MidiPortTest, MessagesArePackedStatusFirst) {
    port.Open();
    ASSERT_TRUE(port.isOpen());
    port.ProgramChange(3, 12);
    EXPECT_EQ(last(), 0xCC3u);
    port.NoteOn(1, 60, 0);
    EXPECT_EQ(last(), 0x91u | (60u << 8));
    port.NoteOn(15, 127, 127);
    EXPECT_EQ(last(), 0x9Fu | (127u << 8) | (127u << 16));
    port.AllNotesOff(2);
    EXPECT_EQ(last(), 0xB2u | (123u << 8));
    EXPECT_EQ(port.ShortMsg(0xE0, 1, 2), 0);
    EXPECT_EQ(last(), 0x0201E0u);
}

TEST_F(MidiPortTest, ControllersSendTheValueClampedToSevenBitsAndRecordItAsPassed) {
    port.Open();
    const std::pair<int, unsigned> cases[] = {{128, 127}, {200, 127}, {-1, 0},     {90, 90},
                                              {0, 0},     {127, 127}, {-100000, 0}};
    for (auto [value, wire] : cases) {
        port.SetVolume(0, value);
        EXPECT_EQ(last(), 0xB0u | (7u << 8) | (wire << 16)) << value;
        EXPECT_EQ(port.volumes[0], value);
        port.SetPan(0, value);
        EXPECT_EQ(last(), 0xB0u | (10u << 8) | (wire << 16)) << value;
        EXPECT_EQ(port.pans[0], value);
    }
}

TEST_F(MidiPortTest, NoDataByteEverCarriesTheStatusBit) {
    port.Open();
    port.ProgramChange(0, 200); // a damaged settings file may hold any program
    port.NoteOn(0, 300, 255);
    port.NoteOn(0, -1, -5);
    port.SetPan(2, 1000);
    for (const auto& m : service.messages) {
        EXPECT_EQ(m.data1() & 0x80, 0) << std::hex << m.packed;
        EXPECT_EQ(m.data2() & 0x80, 0) << std::hex << m.packed;
        EXPECT_EQ(m.packed >> 24, 0u);
    }
    EXPECT_EQ(port.programs[0], 200); // recorded as passed
    EXPECT_EQ(service.messages[0].data1(), 200 & 0x7F) << "programs wrap";
    // Notes and velocities are clamped, so a wild velocity is loud, not quiet.
    EXPECT_EQ(service.messages[1].packed, 0x90u | (127u << 8) | (127u << 16));
    EXPECT_EQ(service.messages[2].packed, 0x90u);
    EXPECT_EQ(service.messages[3].data2(), 127);
}

TEST_F(MidiPortTest, ClosedPortDropsSendsButStillRecords) {
    EXPECT_EQ(port.NoteOn(0, 60, 100), TMidiPort::kInvalidHandle);
    EXPECT_EQ(port.AllNotesOff(0), TMidiPort::kInvalidHandle);
    EXPECT_EQ(port.ShortMsg(0x90, 60, 100), TMidiPort::kInvalidHandle);
    port.ProgramChange(2, 40);
    port.SetVolume(1, 100);
    port.SetPan(3, 10);
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(port.programs[2], 40);
    EXPECT_EQ(port.volumes[1], 100);
    EXPECT_EQ(port.pans[3], 10);
}

TEST_F(MidiPortTest, FailedOpenLeavesThePortClosed) {
    port.deviceId = 7; // no such device
    port.Open();
    EXPECT_FALSE(port.isOpen());
    service.failing = {1};
    port.deviceId = 1;
    port.Open();
    EXPECT_FALSE(port.isOpen());
    port.Close(); // nothing to close
    EXPECT_TRUE(service.closed.empty());
    EXPECT_TRUE(service.messages.empty());
}

TEST_F(MidiPortTest, CloseSilencesAllSixteenChannelsOnce) {
    port.Open();
    const MidiHandle handle = *port.handle;
    port.Close();
    ASSERT_EQ(service.messages.size(), 16u);
    for (unsigned c = 0; c < 16; ++c) {
        EXPECT_EQ(service.messages[c].packed, (0xB0u + c) | (123u << 8));
        EXPECT_EQ(service.messages[c].handle, handle);
    }
    EXPECT_EQ(service.closed, std::vector<MidiHandle>{handle});
    EXPECT_FALSE(port.isOpen());
    port.Close();
    EXPECT_EQ(service.messages.size(), 16u);
    EXPECT_EQ(service.closed.size(), 1u);
}

TEST_F(MidiPortTest, RememberedValuesSurviveADeviceChange) {
    port.Open();
    port.ProgramChange(1, 101);
    port.Close();
    port.deviceId = 1;
    port.Open();
    EXPECT_EQ(service.opened, (std::vector<unsigned>{0, 1}));
    EXPECT_EQ(port.programs[1], 101);
}

TEST(MidiPortLifetime, DestroyingAnOpenPortSilencesItFirst) {
    RecordingMidiService service;
    {
        TMidiPort port(service);
        port.Open();
    }
    ASSERT_EQ(service.messages.size(), 16u);
    EXPECT_EQ(service.messages.back().packed, 0xBFu | (123u << 8));
    EXPECT_EQ(service.closed.size(), 1u);
}

} // namespace

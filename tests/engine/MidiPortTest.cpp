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

// --- a device that comes and goes ----------------------------------------------

// A port programmed as start-up leaves it, on the device named "B".
class ChosenDeviceTest : public ::testing::Test {
protected:
    RecordingMidiService service{{"Synth", "A", "B"}};
    TMidiPort port{service};

    ChosenDeviceTest() {
        port.chooseDevice(2);
        port.Open();
        for (int channel = 0; channel < 4; ++channel) {
            port.ProgramChange(channel, 10 + channel);
            port.SetVolume(channel, 100);
        }
        service.messages.clear();
    }

    std::vector<std::uint32_t> sentOn(MidiHandle handle) const {
        std::vector<std::uint32_t> out;
        for (const auto& m : service.messages)
            if (m.handle == handle) out.push_back(m.packed);
        return out;
    }

    // Program and volume of channels 0 to 3, as a new device is given them.
    static std::vector<std::uint32_t> voices(int firstProgram, int volume) {
        std::vector<std::uint32_t> out;
        for (std::uint32_t c = 0; c < 4; ++c) {
            out.push_back((0xC0u + c) | std::uint32_t(firstProgram + int(c)) << 8);
            out.push_back((0xB0u + c) | 7u << 8 | std::uint32_t(volume) << 16);
        }
        return out;
    }
};

TEST_F(ChosenDeviceTest, ADeviceThatGoesWhilePlayingHandsOverToDeviceZeroOnceAndStaysChosen) {
    EXPECT_EQ(port.deviceName, QStringLiteral("B"));
    EXPECT_EQ(port.savedChoice(), (MidiDeviceChoice{2, QStringLiteral("B")}));
    const MidiHandle onB = *port.handle;

    service.gone = {2}; // the cable is pulled
    service.setNames({"Synth", "A"});
    EXPECT_EQ(port.NoteOn(1, 60, 100), MidiOutService::kDeviceGone);
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.deviceId, 0u);
    EXPECT_EQ(service.opened.back(), 0u);
    EXPECT_EQ(service.closed, std::vector<MidiHandle>{onB}) << "closed without all-notes-off";
    EXPECT_TRUE(sentOn(onB).empty());
    const MidiHandle onSynth = *port.handle;
    EXPECT_EQ(sentOn(onSynth), voices(10, 100)) << "the voices follow to device 0";
    EXPECT_EQ(port.takeLostDevice(), QStringLiteral("B"));
    EXPECT_EQ(port.takeLostDevice(), std::nullopt) << "said once";
    EXPECT_EQ(port.savedChoice(), (MidiDeviceChoice{2, QStringLiteral("B")}));

    // Device 0 plays on, and a program picked meanwhile is the one it has.
    service.messages.clear();
    EXPECT_EQ(port.NoteOn(1, 62, 100), 0);
    port.ProgramChange(2, 40);
    EXPECT_EQ(sentOn(onSynth),
              (std::vector<std::uint32_t>{0x91 | 62 << 8 | 100 << 16, 0xC2 | 40 << 8}));

    // Still away when the list is read again: nothing changes.
    port.followChosenDevice(port.GetNumDevs());
    EXPECT_EQ(port.handle, onSynth);

    // Plugged in again, first in the list now: it takes over from device 0.
    service.gone.clear();
    service.setNames({"Synth", "B", "A"});
    service.messages.clear();
    port.followChosenDevice(port.GetNumDevs());
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.deviceId, 1u);
    EXPECT_EQ(service.opened.back(), 1u);
    EXPECT_FALSE(port.awaitedDevice.has_value());
    EXPECT_EQ(port.savedChoice(), (MidiDeviceChoice{1, QStringLiteral("B")}));
    EXPECT_EQ(sentOn(onSynth).size(), 16u) << "device 0 silenced as it is left";
    std::vector<std::uint32_t> expected = voices(10, 100);
    expected[4] = 0xC2 | 40 << 8;
    EXPECT_EQ(sentOn(*port.handle), expected);
    EXPECT_EQ(port.takeLostDevice(), std::nullopt);
}

TEST_F(ChosenDeviceTest, TheNumberFollowsAMovedDeviceWithoutReopeningIt) {
    const MidiHandle onB = *port.handle;
    service.setNames({"Synth", "new", "A", "B"});
    port.followChosenDevice(port.GetNumDevs());
    EXPECT_EQ(port.deviceId, 3u);
    EXPECT_EQ(port.handle, onB);
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(port.savedChoice(), (MidiDeviceChoice{3, QStringLiteral("B")}));

    // Gone from the list while it still plays: the number stays until a send
    // finds out.
    service.setNames({"Synth", "A"});
    port.followChosenDevice(port.GetNumDevs());
    EXPECT_EQ(port.deviceId, 3u);
    EXPECT_EQ(port.handle, onB);
}

TEST_F(ChosenDeviceTest, LeavingADeviceThatIsGoneOrPickingAnotherEndsTheWait) {
    // Closing finds it gone: the port is being left, so nothing takes over.
    service.gone = {2};
    port.Close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.deviceId, 2u);
    EXPECT_EQ(port.takeLostDevice(), std::nullopt);

    // Awaited, then the user picks another device: that is the choice now.
    port.Open();
    port.NoteOn(0, 60, 1);
    ASSERT_TRUE(port.awaitedDevice.has_value());
    port.Close();
    port.chooseDevice(1);
    port.Open();
    EXPECT_EQ(port.savedChoice(), (MidiDeviceChoice{1, QStringLiteral("A")}));
    service.setNames({"Synth", "A", "B"});
    service.gone.clear();
    const MidiHandle onA = *port.handle;
    port.followChosenDevice(port.GetNumDevs());
    EXPECT_EQ(port.handle, onA);
    EXPECT_EQ(port.deviceId, 1u);
}

TEST(FindChosenDeviceTest, DeviceZeroIsItselfNamesWinOverNumbersAndUnnamedChoicesGoByNumber) {
    RecordingMidiService service{{"Synth", "Twin", "X", "Twin"}};
    const unsigned count = service.deviceCount();
    const auto find = [&](std::uint32_t number, const char* name) {
        return FindChosenDevice(service, count, {number, QString::fromLatin1(name)});
    };
    EXPECT_EQ(find(0, "Marulet Synth"), 0u) << "whatever device 0 calls itself";
    EXPECT_EQ(find(2, "X"), 2u);
    EXPECT_EQ(find(1, "X"), 2u);
    EXPECT_EQ(find(9, "X"), 2u);
    EXPECT_EQ(find(3, "Twin"), 3u) << "of two alike, the one at its number";
    EXPECT_EQ(find(2, "Twin"), 1u);
    EXPECT_EQ(find(2, "Gone"), std::nullopt);
    EXPECT_EQ(find(3, ""), 3u);
    EXPECT_EQ(find(4, ""), std::nullopt);
    EXPECT_EQ(FindChosenDevice(service, 0, {0, {}}), std::nullopt) << "no devices at all";
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

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// The sound path's engine parts: the tick's ideal times and what the user
// is told at start.
#include "engine/field/TickClock.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/SoundWarning.h"
#include "engine/midi/TMidiPort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(TickClockTest, IdealTimesKeepTheGridThroughLateTicksAndRestartAfterAStall) {
    TickClock clock;
    const MidiTime start = MidiClock::now();
    EXPECT_EQ(clock.next(start + 3ms), start + 3ms); // the first tick sets the grid
    EXPECT_EQ(clock.next(start + 55ms), start + 53ms);
    EXPECT_EQ(clock.next(start + 124ms), start + 103ms) << "21 ms late stays in its slot";
    // Two ticks merged into one 80 ms late: the nearest slot.
    EXPECT_EQ(clock.next(start + 233ms), start + 253ms);
    EXPECT_EQ(clock.next(start + 303ms), start + 303ms);
    // A suspend: a new grid from the tick at hand.
    EXPECT_EQ(clock.next(start + 60s + 7ms), start + 60s + 7ms);
    EXPECT_EQ(clock.next(start + 60s + 58ms), start + 60s + 57ms);
}

class Devices : public RecordingMidiService {
public:
    using RecordingMidiService::RecordingMidiService;
    std::optional<QString> deviceProblem(unsigned index) override {
        const auto found = problems.find(index);
        if (found == problems.end()) return std::nullopt;
        return found->second;
    }
    std::map<unsigned, QString> problems;
};

TEST(SoundWarningTest, SaysWhyTheFieldWillNotBeHeardAndWhatToDo) {
    Devices service({QStringLiteral("Marulet Synth"), QStringLiteral("Port")});
    TMidiPort port(service);
    port.Open();
    EXPECT_EQ(SoundWarningAtStart(service, port, std::nullopt, QStringLiteral("/x/m.INI")),
              QString());

    const MidiDeviceChoice seven{7, {}};
    const QString missing = SoundWarningAtStart(service, port, seven, QStringLiteral("/x/m.INI"));
    EXPECT_TRUE(missing.contains(QStringLiteral("number 7"))) << missing.toStdString();
    EXPECT_TRUE(missing.contains(QStringLiteral("\"Marulet Synth\" instead")));
    const QString named = SoundWarningAtStart(
        service, port, MidiDeviceChoice{7, QStringLiteral("UM-ONE:UM-ONE MIDI 1")},
        QStringLiteral("/x/m.INI"));
    EXPECT_TRUE(named.startsWith(QStringLiteral(
        "The MIDI output device \"UM-ONE:UM-ONE MIDI 1\" saved in the settings is not "
        "connected; Marulet plays through \"Marulet Synth\" until it is back.")))
        << named.toStdString();
    EXPECT_FALSE(named.contains(QStringLiteral("number")));
    const QString lost =
        SoundWarningDeviceLost(service, QStringLiteral("midi-monitor:input (JACK)"));
    EXPECT_TRUE(lost.startsWith(
        QStringLiteral("The MIDI output device \"midi-monitor:input (JACK)\" has gone away")))
        << lost.toStdString();
    EXPECT_TRUE(lost.contains(QStringLiteral("plays through \"Marulet Synth\" now")));

    service.problems[0] = QStringLiteral("no audio output (pulse: Connection refused)");
    const QString noServer = SoundWarningAtStart(service, port, seven, QStringLiteral("/x/m.INI"));
    EXPECT_TRUE(noServer.startsWith(missing + QStringLiteral("\n\n")));
    EXPECT_TRUE(noServer.contains(QStringLiteral("no sound output: no audio output (pulse: "
                                                 "Connection refused).\nStart the sound server")))
        << noServer.toStdString();

    port.Close();
    service.problems[0] = QStringLiteral("no General MIDI soundfont found");
    const QString noFont =
        SoundWarningAtStart(service, port, std::nullopt, QStringLiteral("/x/m.INI"));
    EXPECT_TRUE(noFont.contains(QStringLiteral("cannot play: no General MIDI soundfont found.")));
    EXPECT_TRUE(noFont.contains(QStringLiteral("SoundFont=path under [Sound] in /x/m.INI")));

    // Another device chosen: device 0's troubles are not the user's concern.
    port.deviceId = 1;
    port.Open();
    EXPECT_EQ(SoundWarningAtStart(service, port, std::nullopt, QStringLiteral("/x/m.INI")),
              QString());
}

} // namespace

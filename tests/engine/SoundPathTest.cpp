// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// The sound path's engine parts: the tick's ideal times and what the user
// is told at start.
#include "engine/field/TickClock.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/SoundWarning.h"
#include "engine/midi/TMidiPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A repeating timer as Qt runs one: the next timeout is one interval after
// the last one's target, unless that has passed already when the timer
// fires, and then one interval after the moment it fires.
struct QtLikeTimer {
    MidiTime target;
    std::chrono::nanoseconds interval{50ms};
    MidiTime fire(MidiTime loopFree) {
        const MidiTime at = std::max(target, loopFree);
        target += interval;
        if (target < at) target = at + interval;
        return at;
    }
};

struct Tick {
    MidiTime ran;
    MidiTime stamp;
};

// Twelve ticks, the fourth of which runs `late` after its slot because the
// event loop was busy until then.
std::vector<Tick> ticksWithOneLate(MidiTime start, std::chrono::milliseconds late) {
    TickClock clock;
    QtLikeTimer timer{start};
    std::vector<Tick> ticks;
    for (int i = 0; i < 12; ++i) {
        const MidiTime loopFree = i == 3 ? start + 3 * 50ms + late : start;
        const MidiTime ran = timer.fire(loopFree);
        ticks.push_back({ran, clock.next(ran)});
    }
    return ticks;
}

TEST(TickClockTest, ALateTickKeepsItsOwnSlotAndTheTicksAfterItKeepTheGrid) {
    const MidiTime start = MidiClock::now();
    for (const auto late : {10ms, 30ms, 49ms}) {
        SCOPED_TRACE(late.count());
        const auto ticks = ticksWithOneLate(start, late);
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_EQ(ticks[i].stamp, start + static_cast<int>(i) * 50ms) << "tick " << i;
            EXPECT_LE(ticks[i].stamp, ticks[i].ran) << "tick " << i << " stamped ahead of its time";
        }
        EXPECT_EQ(ticks[3].ran - ticks[3].stamp, late) << "the late tick plays late, in its slot";
    }
}

TEST(TickClockTest, ATickMoreThanAPeriodLateStartsANewGridWithTheTimer) {
    const MidiTime start = MidiClock::now();
    for (const auto late : {70ms, 500ms}) {
        SCOPED_TRACE(late.count());
        const auto ticks = ticksWithOneLate(start, late);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(ticks[i].stamp, start + static_cast<int>(i) * 50ms);
        // The timer has let slots go by and restarts its grid at the late
        // tick; the stamps restart with it, each tick in a slot of its own.
        const MidiTime restart = start + 3 * 50ms + late;
        for (std::size_t i = 3; i < ticks.size(); ++i) {
            EXPECT_EQ(ticks[i].stamp, restart + static_cast<int>(i - 3) * 50ms) << "tick " << i;
            EXPECT_LE(ticks[i].stamp, ticks[i].ran);
            EXPECT_GT(ticks[i].stamp, ticks[i - 1].stamp);
        }
    }
}

TEST(TickClockTest, SlotsFollowTheOutputsClockAndNeverRunAhead) {
    TickClock clock;
    const MidiTime start = MidiClock::now();
    EXPECT_EQ(clock.next(start), start);
    // A card 40 ppm slow: a tick lasts 2 microseconds more on the system clock.
    clock.setPeriod(50002us);
    EXPECT_EQ(clock.nextDue(), start + 50002us);
    EXPECT_EQ(clock.next(start + 50003us), start + 50002us);
    EXPECT_EQ(clock.next(start + 100004us), start + 100004us);
    // A timer that fires a little early stamps the moment it ran, and the
    // grid stays where it was.
    EXPECT_EQ(clock.next(start + 150005us), start + 150005us);
    EXPECT_EQ(clock.nextDue(), start + 200008us);
    // Ticks forced in quick succession do not walk the grid into the future.
    for (int i = 0; i < 5; ++i) {
        const MidiTime now = start + 160ms + i * 1ms;
        EXPECT_LE(clock.next(now), now);
        EXPECT_LE(clock.nextDue(), now + 50002us);
    }
    // Absurd periods are not taken.
    clock.setPeriod(0ns);
    clock.setPeriod(std::chrono::seconds(3));
    EXPECT_EQ(clock.period(), 50002us);
}

using Devices = RecordingMidiService;

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

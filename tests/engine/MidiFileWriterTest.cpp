// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/MidiFileWriter.h"
#include "engine/midi/MidiTee.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/TMidiPort.h"
#include "support/TestDisk.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <future>
#include <optional>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A reader of the file layout written from its description, sharing nothing
// with the writer: chunks, variable-length deltas, running status, meta and
// exclusive events. It reads the tracks the header declares and ignores
// whatever follows them; nothing when the declared data is not all there.
struct Event {
    std::int64_t tick;
    Bytes bytes; // a channel message, or 0xFF, type, data... for a meta event
    bool operator==(const Event&) const = default;
};
struct Smf {
    int format = 0, division = 0;
    std::vector<std::vector<Event>> tracks;
};

std::optional<Smf> readSmf(const QByteArray& file) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.constData());
    const std::size_t size = static_cast<std::size_t>(file.size());
    std::size_t at = 0;
    auto u = [&](int n) -> std::optional<std::uint32_t> {
        if (at + n > size) return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 8) | data[at++];
        return v;
    };
    if (file.left(4) != "MThd") return std::nullopt;
    at = 4;
    const auto length = u(4), format = u(2), count = u(2), division = u(2);
    if (!division || *length != 6) return std::nullopt;
    Smf smf{int(*format), int(*division), {}};
    for (std::uint32_t t = 0; t < *count; ++t) {
        if (at + 8 > size || file.mid(int(at), 4) != "MTrk") return std::nullopt;
        at += 4;
        const std::uint32_t trackLength = *u(4);
        const std::size_t end = at + trackLength;
        if (end > size) return std::nullopt;
        auto next = [&]() -> std::optional<std::uint8_t> {
            if (at >= end) return std::nullopt;
            return data[at++];
        };
        auto variable = [&]() -> std::optional<std::uint32_t> {
            std::uint32_t v = 0;
            for (int i = 0; i < 4; ++i) {
                const auto b = next();
                if (!b) return std::nullopt;
                v = (v << 7) | (*b & 0x7F);
                if (!(*b & 0x80)) return v;
            }
            return std::nullopt;
        };
        std::vector<Event> events;
        std::int64_t tick = 0;
        std::uint8_t running = 0;
        while (at < end) {
            const auto delta = variable();
            auto first = next();
            if (!delta || !first) return std::nullopt;
            tick += *delta;
            Event event{tick, {}};
            if (*first == 0xFF || *first == 0xF0 || *first == 0xF7) {
                event.bytes.push_back(*first);
                if (*first == 0xFF) {
                    const auto type = next();
                    if (!type) return std::nullopt;
                    event.bytes.push_back(*type);
                }
                const auto n = variable();
                if (!n || at + *n > end) return std::nullopt;
                event.bytes.insert(event.bytes.end(), data + at, data + at + *n);
                at += *n;
            } else {
                std::uint8_t status = *first;
                if (status < 0x80) {
                    if (!running) return std::nullopt;
                    status = running;
                    --at;
                }
                running = status;
                event.bytes.push_back(status);
                const int dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
                for (int i = 0; i < dataBytes; ++i) {
                    const auto b = next();
                    if (!b || *b > 0x7F) return std::nullopt;
                    event.bytes.push_back(*b);
                }
            }
            events.push_back(event);
        }
        smf.tracks.push_back(events);
    }
    return smf;
}

Bytes message(std::uint32_t packed) {
    const int type = packed & 0xF0;
    Bytes bytes{std::uint8_t(packed), std::uint8_t(packed >> 8)};
    if (type != 0xC0 && type != 0xD0) bytes.push_back(std::uint8_t(packed >> 16));
    return bytes;
}

const Bytes kEndOfTrack{0xFF, 0x2F};

class MidiFileWriterTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("take.mid"));
    RecordingMidiService device;
    MidiTee tee{device};
    TMidiPort port{tee};
    MidiFileWriter writer;
    const MidiTime start = MidiTime{} + 1000s;

    void record() {
        ASSERT_TRUE(writer.open(path, start, std::span(port.programs).first(4),
                                std::span(port.volumes).first(4)))
            << writer.error().toStdString();
        tee.setListener([this](std::uint32_t m, MidiTime when) { writer.add(m, when); });
    }
    // What the field tick does: every message of tick k carries its ideal time.
    void atTick(int k) { port.setEventTime(start + k * 50ms); }
    std::vector<Event> channelEvents(const std::vector<Event>& track) {
        std::vector<Event> out;
        for (const Event& e : track)
            if (e.bytes[0] < 0xF0) out.push_back(e);
        return out;
    }
};

TEST_F(MidiFileWriterTest, PortCallsReadBackAsTheDeviceGotThemOnTheTickGrid) {
    port.Open();
    port.ProgramChange(0, 13);
    port.ProgramChange(1, 40);
    port.ProgramChange(2, 200); // remembered unmasked, written clamped
    port.SetVolume(0, 100);
    port.SetVolume(3, -5);
    const std::size_t before = device.messages.size();
    record();

    atTick(0);
    port.SetPan(1, 30);
    port.NoteOn(1, 60, 100);
    atTick(3);
    port.NoteOn(1, 60, 0);
    port.SetPan(0, 90);
    port.NoteOn(0, 72, 64);
    port.setEventTime(start + 477ms); // a change made by hand between ticks
    port.ProgramChange(2, 5);
    atTick(10);
    port.NoteOn(0, 72, 0);
    atTick(9); // earlier than what was sent before: sounds at once
    port.NoteOn(3, 50, 1);
    atTick(40);
    port.Close();
    tee.setListener({});
    writer.finish();
    ASSERT_TRUE(writer.wait());

    const auto smf = readSmf(readFile(path));
    ASSERT_TRUE(smf);
    EXPECT_EQ(smf->format, 0);
    EXPECT_EQ(smf->division, 480);
    ASSERT_EQ(smf->tracks.size(), 1u);
    const std::vector<Event>& track = smf->tracks[0];
    EXPECT_EQ(track.front(), (Event{0, {0xFF, 0x03, 'M', 'a', 'r', 'u', 'l', 'e', 't'}}));
    EXPECT_NE(std::find(track.begin(), track.end(), Event{0, {0xFF, 0x51, 0x07, 0xA1, 0x20}}),
              track.end()); // 500000 microseconds a quarter: 120 beats per minute
    EXPECT_EQ(track.back().bytes, kEndOfTrack);
    EXPECT_EQ(track.back().tick, 40 * 48);

    const std::vector<Event> events = channelEvents(track);
    const std::vector<Event> setup{{0, {0xC0, 13}},    {0, {0xC1, 40}},     {0, {0xC2, 127}},
                                   {0, {0xC3, 0}},     {0, {0xB0, 7, 100}}, {0, {0xB1, 7, 90}},
                                   {0, {0xB2, 7, 90}}, {0, {0xB3, 7, 0}}};
    ASSERT_GE(events.size(), setup.size());
    EXPECT_EQ(std::vector<Event>(events.begin(), events.begin() + 8), setup);

    // After the set-up, exactly what the device received, in order, at the
    // ticks of their times: 477 ms is tick 457.92; tick 9 comes after tick 10
    // and sounds with it; closing the port ends with sixteen all-notes-off.
    std::vector<std::int64_t> ticks{0, 0, 144, 144, 144, 458, 480, 480};
    ticks.resize(ticks.size() + 16, 1920);
    ASSERT_EQ(events.size() - setup.size(), device.messages.size() - before);
    ASSERT_EQ(ticks.size(), device.messages.size() - before);
    for (std::size_t i = 0; i < ticks.size(); ++i)
        EXPECT_EQ(events[8 + i], (Event{ticks[i], message(device.messages[before + i].packed)}))
            << "message " << i;
    EXPECT_EQ(events.back(), (Event{1920, {0xBF, 123, 0}}));
}

TEST_F(MidiFileWriterTest, StoppingEndsTheNotesStillSoundingAndTheTrackThen) {
    port.Open();
    record();
    atTick(2);
    port.NoteOn(0, 60, 100);
    port.NoteOn(1, 62, 100);
    port.NoteOn(2, 64, 100);
    atTick(3);
    port.NoteOn(1, 62, 0);
    port.AllNotesOff(2);
    writer.finish(start + 1s);
    ASSERT_TRUE(writer.wait());
    const auto smf = readSmf(readFile(path));
    ASSERT_TRUE(smf);
    const std::vector<Event>& track = smf->tracks[0];
    ASSERT_GE(track.size(), 2u);
    EXPECT_EQ(track[track.size() - 2], (Event{960, {0x90, 60, 0}}));
    EXPECT_EQ(track.back(), (Event{960, kEndOfTrack}));
    EXPECT_EQ(channelEvents(track).size(), 8u + 5u + 1u);
}

TEST_F(MidiFileWriterTest, AFileCutAnywhereAfterACommitReadsBackUpToIt) {
    port.Open();
    record();
    for (int k = 0; k < 50; ++k) {
        atTick(k);
        port.NoteOn(k % 4, 40 + k, 90);
    }
    ASSERT_TRUE(writer.commit());
    ASSERT_TRUE(writer.wait());
    const QByteArray committed = readFile(path);
    const auto early = readSmf(committed);
    ASSERT_TRUE(early);
    ASSERT_EQ(channelEvents(early->tracks[0]).size(), 8u + 50u);
    EXPECT_EQ(early->tracks[0].back(), (Event{49 * 48, {0x91, 89, 90}}));

    for (int k = 50; k < 300; ++k) {
        atTick(k);
        port.NoteOn(k % 4, 40 + k % 50, 90);
    }
    ASSERT_TRUE(writer.commit());
    ASSERT_TRUE(writer.wait());
    const QByteArray later = readFile(path);
    // Later writes only add to the end; until the next length is written the
    // file is the old header with any part of the new bytes behind it.
    ASSERT_GT(later.size(), committed.size());
    EXPECT_EQ(later.mid(22, committed.size() - 22), committed.mid(22));
    for (qsizetype cut = committed.size(); cut <= later.size(); ++cut) {
        const auto read = readSmf(committed.left(22) + later.mid(22, cut - 22));
        ASSERT_TRUE(read) << "cut at " << cut;
        ASSERT_EQ(read->tracks[0], early->tracks[0]) << "cut at " << cut;
    }
    const auto all = readSmf(later);
    ASSERT_TRUE(all);
    EXPECT_EQ(channelEvents(all->tracks[0]).size(), 8u + 300u);
}

TEST_F(MidiFileWriterTest, AFullDiskStopsTheRecordingAndKeepsWhatWasCommitted) {
    port.Open();
    record();
    atTick(1);
    port.NoteOn(0, 60, 100);
    ASSERT_TRUE(writer.commit());
    ASSERT_TRUE(writer.wait());
    const auto size = readFile(path).size();

    // A file size limit fails writes the way a full disk does.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(size + 100);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int k = 2; k < 200; ++k) {
        atTick(k);
        port.NoteOn(1, 61, 100);
    }
    writer.commit();
    const bool committed = writer.wait();
    const bool failed = writer.failed();
    const QString error = writer.error();
    port.NoteOn(2, 62, 100); // ignored from now on
    writer.finish();
    const bool finished = writer.wait();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_FALSE(committed);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(finished);
    const auto kept = readSmf(readFile(path));
    ASSERT_TRUE(kept);
    const std::vector<Event> events = channelEvents(kept->tracks[0]);
    ASSERT_EQ(events.size(), 9u);
    EXPECT_EQ(events.back(), (Event{48, {0x90, 60, 100}}));
    EXPECT_EQ(kept->tracks[0].back().bytes, kEndOfTrack);
}

TEST_F(MidiFileWriterTest, AFileThatCannotBeMadeSaysWhy) {
    EXPECT_FALSE(
        writer.open(dir.filePath(QStringLiteral("no/such/folder/take.mid")), start, {}, {}));
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(writer.error().isEmpty());
    writer.add(0x90, start); // nothing to write to, and no crash
    EXPECT_FALSE(writer.commit());
}

// Every file a power cut could leave along the way reads back, and holds the
// start of what the finished file holds.
void expectEveryCrashLeavesAReadableFile(const TestDisk& disk, const std::vector<Event>& track) {
    const std::vector<QByteArray> images = disk.crashImages();
    const std::vector<std::string> operations = disk.operations();
    ASSERT_EQ(images.size(), operations.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (images[i].isEmpty()) continue; // nothing reached the disk yet
        const auto read = readSmf(images[i]);
        ASSERT_TRUE(read) << "a crash after " << operations[i] << " (operation " << i << ")";
        ASSERT_LE(read->tracks[0].size(), track.size());
        EXPECT_TRUE(std::equal(read->tracks[0].begin(), read->tracks[0].end(), track.begin()))
            << "a crash after " << operations[i] << " (operation " << i << ")";
    }
}

TEST_F(MidiFileWriterTest, EventsReachTheDiskBeforeTheLengthThatCoversThem) {
    TestDisk disk;
    MidiFileWriter onDisk(disk.opener());
    port.Open();
    ASSERT_TRUE(onDisk.open(path, start, std::span(port.programs).first(4),
                            std::span(port.volumes).first(4)));
    ASSERT_TRUE(onDisk.wait());
    tee.setListener([&](std::uint32_t m, MidiTime when) { onDisk.add(m, when); });
    for (int round = 0; round < 5; ++round) {
        for (int k = 0; k < 20; ++k) {
            atTick(round * 20 + k);
            port.NoteOn(k % 4, 40 + k, 90);
        }
        ASSERT_TRUE(onDisk.commit());
        ASSERT_TRUE(onDisk.wait());
    }
    tee.setListener({});
    onDisk.finish(start + 10s);
    ASSERT_TRUE(onDisk.wait());
    EXPECT_TRUE(onDisk.isFinished());

    const auto whole = readSmf(readFile(path));
    ASSERT_TRUE(whole);
    EXPECT_EQ(channelEvents(whole->tracks[0]).size(), 8u + 100u + 20u); // and the 20 keys ended
    expectEveryCrashLeavesAReadableFile(disk, whole->tracks[0]);

    // Each length is written after a sync of the events, and synced itself.
    const std::vector<std::string> operations = disk.operations();
    int lengths = 0;
    for (std::size_t i = 0; i < operations.size(); ++i) {
        if (operations[i] != "write 18+4") continue;
        ++lengths;
        ASSERT_GE(i, 2u);
        ASSERT_LT(i + 1, operations.size());
        EXPECT_EQ(operations[i - 1], "sync");
        EXPECT_TRUE(operations[i - 2].starts_with("write ") && operations[i - 2] != "write 18+4")
            << operations[i - 2];
        EXPECT_EQ(operations[i + 1], "sync");
    }
    EXPECT_EQ(lengths, 1 + 5 + 2); // the set-up, five commits, the last notes' ends, the end
    EXPECT_EQ(operations.back(), "close");
}

TEST_F(MidiFileWriterTest, AFailedSyncStopsTheWritingAndTheFileKeepsWhatReachedTheDisk) {
    TestDisk disk;
    disk.failSync(3); // the set-up's two syncs go through, the next events' does not
    MidiFileWriter onDisk(disk.opener());
    port.Open();
    ASSERT_TRUE(onDisk.open(path, start, std::span(port.programs).first(4),
                            std::span(port.volumes).first(4)));
    ASSERT_TRUE(onDisk.wait());
    onDisk.add(0x90 | (60 << 8) | (100 << 16), start + 50ms);
    onDisk.commit();
    EXPECT_FALSE(onDisk.wait());
    EXPECT_TRUE(onDisk.failed());
    EXPECT_EQ(onDisk.error(), QString::fromLocal8Bit(std::strerror(EIO)));
    EXPECT_FALSE(onDisk.commit());
    onDisk.add(0x90 | (62 << 8) | (100 << 16), start + 100ms); // nothing more is written
    onDisk.finish(start + 1s);
    EXPECT_FALSE(onDisk.wait());
    EXPECT_TRUE(onDisk.isFinished());

    const auto kept = readSmf(readFile(path));
    ASSERT_TRUE(kept);
    EXPECT_EQ(channelEvents(kept->tracks[0]).size(), 8u) << "only the set-up reached the disk";
    EXPECT_EQ(kept->tracks[0].back().bytes, kEndOfTrack);
    expectEveryCrashLeavesAReadableFile(disk, kept->tracks[0]);
}

TEST_F(MidiFileWriterTest, AStalledDiskNeverHoldsUpTheCaller) {
    TestDisk disk;
    disk.stallSyncs();
    MidiFileWriter onDisk(disk.opener());
    std::future<void> caller;
    // Let go whatever happens, so that a failing test still ends.
    const auto release = std::shared_ptr<void>(nullptr, [&](void*) { disk.release(); });
    ASSERT_TRUE(onDisk.open(path, start, {}, {}));
    ASSERT_TRUE(disk.waitUntilStalled(10s)) << "the set-up never reached the disk";

    caller = std::async(std::launch::async, [&] {
        for (int k = 0; k < 2000; ++k) {
            onDisk.add(std::uint32_t(0x90 | k % 4) | std::uint32_t(40 + k % 50) << 8 | 90u << 16,
                       start + k * 50ms);
            if (k % 100 == 0) onDisk.commit();
        }
        onDisk.finish(start + 100s);
    });
    ASSERT_EQ(caller.wait_for(10s), std::future_status::ready) << "the caller waited for the disk";
    EXPECT_FALSE(onDisk.isFinished());

    disk.release();
    ASSERT_TRUE(onDisk.wait());
    const auto whole = readSmf(readFile(path));
    ASSERT_TRUE(whole);
    const std::vector<Event> events = channelEvents(whole->tracks[0]);
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const Event& e) { return e.bytes.size() == 3 && e.bytes[2] == 90; }),
              2000);
    EXPECT_EQ(whole->tracks[0].back(), (Event{100 * 960, kEndOfTrack}));
}

TEST_F(MidiFileWriterTest, NotesThatSoundedBeforeTheRecordingBeganEndOutsideIt) {
    port.Open();
    port.NoteOn(0, 60, 100);
    port.NoteOn(1, 62, 100);
    record();
    atTick(1);
    port.NoteOn(0, 60, 0);       // the end of a note the file never started
    port.ShortMsg(0x81, 62, 64); // and so is this
    port.NoteOn(2, 64, 100);
    atTick(2);
    port.NoteOn(2, 64, 0);
    port.NoteOn(2, 64, 0); // a note ended twice
    atTick(3);
    port.NoteOn(0, 60, 90); // the same key again, now inside the file
    tee.setListener({});
    writer.finish(start + 1s);
    ASSERT_TRUE(writer.wait());

    const auto smf = readSmf(readFile(path));
    ASSERT_TRUE(smf);
    const std::vector<Event> events = channelEvents(smf->tracks[0]);
    ASSERT_EQ(events.size(), 8u + 4u);
    EXPECT_EQ(std::vector<Event>(events.begin() + 8, events.end()),
              (std::vector<Event>{{48, {0x92, 64, 100}},
                                  {96, {0x92, 64, 0}},
                                  {144, {0x90, 60, 90}},
                                  {960, {0x90, 60, 0}}}));
}

} // namespace

// The port is built on the tee, so a tick's end and a device's trouble must
// still reach the real device, or the synthesizer is never woken per tick.
TEST(MidiTeeTest, PassesTickEndsAndDeviceProblemsToTheDevice) {
    struct Device : RecordingMidiService {
        std::vector<std::pair<MidiHandle, MidiTime>> ticks;
        void tickSent(MidiHandle handle, MidiTime when) override {
            ticks.emplace_back(handle, when);
        }
        std::optional<QString> deviceProblem(unsigned index) override {
            return index == 0 ? std::optional(QStringLiteral("no sound server")) : std::nullopt;
        }
    } device;
    MidiTee tee{device};
    TMidiPort port{tee};
    port.Open();
    const MidiTime when = MidiTime{} + 5s;
    port.tickSent(when);
    ASSERT_EQ(device.ticks.size(), 1u);
    EXPECT_EQ(device.ticks[0].first, *port.handle);
    EXPECT_EQ(device.ticks[0].second, when);
    EXPECT_EQ(tee.deviceProblem(0), QStringLiteral("no sound server"));
    EXPECT_EQ(tee.deviceProblem(1), std::nullopt);
}

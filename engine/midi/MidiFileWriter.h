// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/DiskFile.h"
#include "engine/midi/MidiOutService.h"
#include "engine/midi/PosixDiskFile.h"

#include <QString>
#include <atomic>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

// Writes what the MIDI port plays as a Standard MIDI File of format 0 (one
// track), 480 ticks per quarter note at 120 beats per minute, so a 50 ms field
// tick is 48 ticks.
//
// The caller (the thread that drives the field) only encodes events; a disk
// thread of the writer's own writes them, so a slow or stalled disk never
// holds up a tick. Each commit reaches the disk in this order: the events,
// a sync, the track's new length, a sync. So the length in the file never
// covers bytes the disk may not have, and a file cut short by a crash at any
// moment still reads back up to its last commit. A failed write or sync
// stops the writing; the file keeps what it had.
class MidiFileWriter {
public:
    static constexpr int kDivision = 480;
    static constexpr int kTicksPerSecond = 2 * kDivision;

    explicit MidiFileWriter(DiskFileOpener opener = &PosixDiskFile::create);
    // Finishes the file if that was not asked for, and waits for the disk.
    ~MidiFileWriter();
    MidiFileWriter(const MidiFileWriter&) = delete;
    MidiFileWriter& operator=(const MidiFileWriter&) = delete;

    // Called on the disk thread whenever it has done what it was given, or
    // failed; set it before open().
    void setOnWritten(std::function<void()> onWritten) { m_onWritten = std::move(onWritten); }

    // Creates the file (replacing one of that name) and starts the disk
    // thread, which writes the header: the track name, tempo and metre, then
    // a program change and a channel volume at time 0 for each channel that
    // programs and volumes list, values clamped to 0..127. start is time 0.
    // False when the file cannot be made; error() says why. Once only.
    bool open(const QString& path, MidiTime start, std::span<const std::int32_t> programs,
              std::span<const std::int32_t> volumes);
    // Open, and not yet finished.
    bool isOpen() const { return m_open; }
    // Nothing more is written after a failure; the file keeps what it had.
    // Both may be asked from any thread.
    bool failed() const { return m_failed.load(std::memory_order_acquire); }
    QString error() const;

    // One packed short message (status in the low byte) sounding at when.
    // A time earlier than the previous message's is taken as that time;
    // system messages are left out, and so is the end of a note that the
    // file never started (one sounding when the recording began).
    void add(std::uint32_t packed, MidiTime when);
    // Hands the waiting events to the disk thread and returns at once. False
    // once anything has failed.
    bool commit();
    // Ends the track: given the moment recording stopped, notes still
    // sounding end then, and so does the track. The disk thread writes it
    // and closes the file (after a failure: keeping what was committed);
    // this returns at once.
    void finish(std::optional<MidiTime> stop = std::nullopt);
    // Waits until the disk thread has done all it was given. True when
    // nothing failed.
    bool wait();
    // The file is complete and closed.
    bool isFinished() const;

    // The tick of a moment, counted from start.
    std::int64_t tickOf(MidiTime when) const;

private:
    void addEvent(std::int64_t tick, std::initializer_list<std::uint8_t> bytes);
    void addMeta(std::uint8_t type, std::span<const std::uint8_t> data);
    void run();
    void write(const std::vector<std::uint8_t>& events);
    void complete(std::uint32_t endDelta);
    bool writeLength(std::uint32_t length);
    void fail(const QString& what);

    DiskFileOpener m_opener;
    std::function<void()> m_onWritten;

    // The caller's.
    bool m_open = false;
    MidiTime m_start;
    std::int64_t m_lastTick = 0;
    std::vector<std::uint8_t> m_pending;
    std::bitset<16 * 128> m_sounding; // channel * 128 + note

    // Handed between the caller and the disk thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_asked;
    std::condition_variable m_done;
    std::vector<std::uint8_t> m_handed;
    bool m_idle = true;
    bool m_finishing = false;
    bool m_finished = false;
    std::uint32_t m_endDelta = 0;
    QString m_error;
    std::atomic<bool> m_failed{false};

    // The disk thread's.
    std::unique_ptr<DiskFile> m_file;
    bool m_headerWritten = false;
    std::uint32_t m_trackLength = 0; // bytes of the track on the disk and counted
    std::thread m_disk;
};

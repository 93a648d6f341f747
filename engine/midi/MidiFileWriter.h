// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiOutService.h"

#include <QString>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Writes what the MIDI port plays as a Standard MIDI File of format 0 (one
// track), 480 ticks per quarter note at 120 beats per minute, so a 50 ms field
// tick is 48 ticks. Events are written as they come; commit() brings the
// track's length in the file up to date, and only whole events ever lie
// inside that length, so a file cut short after a commit still reads back.
class MidiFileWriter {
public:
    static constexpr int kDivision = 480;
    static constexpr int kTicksPerSecond = 2 * kDivision;

    MidiFileWriter() = default;
    ~MidiFileWriter();
    MidiFileWriter(const MidiFileWriter&) = delete;
    MidiFileWriter& operator=(const MidiFileWriter&) = delete;

    // Creates the file (replacing one of that name) with the track name,
    // tempo and metre, then a program change and a channel volume at time 0
    // for each channel that programs and volumes list, values clamped to
    // 0..127. start is time 0. False when the file cannot be written; error()
    // says why.
    bool open(const QString& path, MidiTime start, std::span<const std::int32_t> programs,
              std::span<const std::int32_t> volumes);
    bool isOpen() const { return m_fd >= 0; }
    // Nothing more is written after a failure; the file keeps what it had.
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

    // One packed short message (status in the low byte) sounding at when.
    // A time earlier than the previous message's is taken as that time;
    // system messages are left out.
    void add(std::uint32_t packed, MidiTime when);
    // Writes the waiting events and the track length. False on a write error.
    bool commit();
    // Ends the track and closes the file; after a failure it keeps the events
    // that were committed. Given the moment recording stopped, notes still
    // sounding end then, and so does the track. False when anything could
    // not be written.
    bool finish(std::optional<MidiTime> stop = std::nullopt);

    // The tick of a moment, counted from start.
    std::int64_t tickOf(MidiTime when) const;

private:
    void addEvent(std::int64_t tick, std::initializer_list<std::uint8_t> bytes);
    void addMeta(std::uint8_t type, std::span<const std::uint8_t> data);
    bool writeTail(const std::vector<std::uint8_t>& bytes);
    bool writeTrackLength(std::uint32_t length);
    void fail(const QString& what);

    int m_fd = -1;
    MidiTime m_start;
    std::int64_t m_lastTick = 0;
    std::vector<std::uint8_t> m_pending;
    std::uint32_t m_trackLength = 0;  // bytes of the track on disk and counted
    std::bitset<16 * 128> m_sounding; // channel * 128 + note
    QString m_error;
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/MidiFileWriter.h"

#include <algorithm>

namespace {
constexpr std::uint64_t kTrackLengthAt = 18; // "MThd", 6, format, tracks, division, "MTrk"
constexpr std::uint64_t kTrackDataAt = 22;
constexpr std::uint32_t kLargestDelta = 0x0FFFFFFF;    // four bytes of variable length
constexpr std::size_t kCommitAt = 64 * 1024;           // waiting bytes that are handed on at once
const std::uint8_t kEndOfTrack[] = {0xFF, 0x2F, 0x00}; // after its delta

void putVariable(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t bytes[4];
    int count = 0;
    do {
        bytes[count++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(bytes[--count] | 0x80);
    out.push_back(bytes[0]);
}

void put32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::uint8_t clamped(std::int32_t value) {
    return static_cast<std::uint8_t>(std::clamp<std::int32_t>(value, 0, 127));
}
} // namespace

MidiFileWriter::MidiFileWriter(DiskFileOpener opener) : m_opener(std::move(opener)) {}

MidiFileWriter::~MidiFileWriter() {
    finish();
    if (m_disk.joinable()) m_disk.join();
}

bool MidiFileWriter::open(const QString& path, MidiTime start,
                          std::span<const std::int32_t> programs,
                          std::span<const std::int32_t> volumes) {
    if (m_open || m_disk.joinable()) return false;
    QString why;
    m_file = m_opener ? m_opener(path, why) : nullptr;
    if (!m_file) {
        fail(why);
        return false;
    }
    m_open = true;
    m_start = start;
    static const std::uint8_t name[] = {'M', 'a', 'r', 'u', 'l', 'e', 't'};
    static const std::uint8_t tempo[] = {0x07, 0xA1, 0x20}; // 500000 us a quarter
    static const std::uint8_t metre[] = {4, 2, 24, 8};      // 4/4
    addMeta(0x03, name);
    addMeta(0x51, tempo);
    addMeta(0x58, metre);
    for (std::size_t channel = 0; channel < programs.size(); ++channel)
        addEvent(0, {static_cast<std::uint8_t>(0xC0 | channel), clamped(programs[channel])});
    for (std::size_t channel = 0; channel < volumes.size(); ++channel)
        addEvent(0, {static_cast<std::uint8_t>(0xB0 | channel), 7, clamped(volumes[channel])});
    m_disk = std::thread([this] { run(); });
    commit();
    return true;
}

QString MidiFileWriter::error() const {
    const std::lock_guard lock(m_mutex);
    return m_error;
}

std::int64_t MidiFileWriter::tickOf(MidiTime when) const {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(when - m_start).count();
    if (us <= 0) return 0;
    return (us * kTicksPerSecond + 500000) / 1000000;
}

void MidiFileWriter::add(std::uint32_t packed, MidiTime when) {
    if (!m_open || failed()) return;
    const auto status = static_cast<std::uint8_t>(packed & 0xFF);
    const auto data1 = static_cast<std::uint8_t>((packed >> 8) & 0x7F);
    const auto data2 = static_cast<std::uint8_t>((packed >> 16) & 0x7F);
    if (status < 0x80 || status >= 0xF0) return;
    const int type = status & 0xF0;
    const std::size_t channel = status & 0x0F;
    if (type == 0x90 && data2 > 0) {
        m_sounding.set(channel * 128 + data1);
    } else if (type == 0x80 || type == 0x90) {
        // A note that sounded before the recording began is not in the file.
        if (!m_sounding.test(channel * 128 + data1)) return;
        m_sounding.reset(channel * 128 + data1);
    } else if (type == 0xB0 && (data1 == 120 || data1 == 123)) {
        for (std::size_t note = 0; note < 128; ++note)
            m_sounding.reset(channel * 128 + note);
    }
    const std::int64_t tick = tickOf(when);
    if (type == 0xC0 || type == 0xD0)
        addEvent(tick, {status, data1});
    else
        addEvent(tick, {status, data1, data2});
    if (m_pending.size() >= kCommitAt) commit();
}

void MidiFileWriter::addEvent(std::int64_t tick, std::initializer_list<std::uint8_t> bytes) {
    // Out of order times (a change made by hand just before a tick's notes)
    // sound at once, which is when the device played them.
    const std::int64_t delta = std::clamp<std::int64_t>(tick - m_lastTick, 0, kLargestDelta);
    m_lastTick += delta;
    putVariable(m_pending, static_cast<std::uint32_t>(delta));
    m_pending.insert(m_pending.end(), bytes);
}

void MidiFileWriter::addMeta(std::uint8_t type, std::span<const std::uint8_t> data) {
    m_pending.insert(m_pending.end(), {0x00, 0xFF, type});
    putVariable(m_pending, static_cast<std::uint32_t>(data.size()));
    m_pending.insert(m_pending.end(), data.begin(), data.end());
}

bool MidiFileWriter::commit() {
    if (!m_open || failed()) return false;
    if (!m_pending.empty()) {
        {
            const std::lock_guard lock(m_mutex);
            m_handed.insert(m_handed.end(), m_pending.begin(), m_pending.end());
            m_idle = false;
        }
        m_asked.notify_one();
        m_pending.clear();
    }
    return !failed();
}

void MidiFileWriter::finish(std::optional<MidiTime> stop) {
    if (!m_open) return;
    m_open = false;
    std::uint32_t endDelta = 0;
    if (stop && !failed()) {
        // A sequencer would hold a note the file never ends.
        const std::int64_t tick = tickOf(*stop);
        for (std::size_t i = 0; i < m_sounding.size(); ++i)
            if (m_sounding.test(i))
                addEvent(tick, {static_cast<std::uint8_t>(0x90 | (i / 128)),
                                static_cast<std::uint8_t>(i % 128), 0});
        // The track lasts as long as the recording did.
        endDelta = static_cast<std::uint32_t>(
            std::clamp<std::int64_t>(tick - m_lastTick, 0, kLargestDelta));
    }
    {
        const std::lock_guard lock(m_mutex);
        m_handed.insert(m_handed.end(), m_pending.begin(), m_pending.end());
        m_endDelta = endDelta;
        m_finishing = true;
        m_idle = false;
    }
    m_asked.notify_one();
    m_pending.clear();
}

bool MidiFileWriter::wait() {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_idle; });
    return !failed();
}

bool MidiFileWriter::isFinished() const {
    const std::lock_guard lock(m_mutex);
    return m_finished;
}

void MidiFileWriter::run() {
    for (;;) {
        std::vector<std::uint8_t> events;
        bool finishing = false;
        std::uint32_t endDelta = 0;
        {
            std::unique_lock lock(m_mutex);
            m_asked.wait(lock, [this] { return !m_idle; });
            events.swap(m_handed);
            finishing = m_finishing;
            endDelta = m_endDelta;
        }
        write(events);
        if (finishing) complete(endDelta);
        {
            const std::lock_guard lock(m_mutex);
            // More may have come while the disk was busy.
            m_idle = m_handed.empty() && m_finishing == finishing;
            if (finishing) m_finished = true;
        }
        m_done.notify_all();
        if (m_onWritten) m_onWritten();
        if (finishing) return;
    }
}

// Events first, then the length that covers them, each made durable before
// the next: a crash between any two steps leaves a file that reads back.
void MidiFileWriter::write(const std::vector<std::uint8_t>& events) {
    if (events.empty() || failed()) return;
    if (!m_headerWritten) {
        std::uint8_t header[kTrackDataAt] = {
            'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 0xFF,
            'M', 'T', 'r', 'k'};
        if (!m_file->writeAt(0, header)) return fail(m_file->error());
        m_headerWritten = true;
    }
    if (!m_file->writeAt(kTrackDataAt + m_trackLength, events) || !m_file->sync())
        return fail(m_file->error());
    const auto length = m_trackLength + static_cast<std::uint32_t>(events.size());
    if (!writeLength(length)) return;
    m_trackLength = length;
}

void MidiFileWriter::complete(std::uint32_t endDelta) {
    if (m_headerWritten) {
        // A failed write may have left part of an event behind the track.
        std::vector<std::uint8_t> end;
        putVariable(end, endDelta);
        end.insert(end.end(), std::begin(kEndOfTrack), std::end(kEndOfTrack));
        const auto length = m_trackLength + static_cast<std::uint32_t>(end.size());
        if (!m_file->truncate(kTrackDataAt + m_trackLength) ||
            !m_file->writeAt(kTrackDataAt + m_trackLength, end) || !m_file->sync())
            fail(m_file->error());
        else if (writeLength(length))
            m_trackLength = length;
    }
    if (!m_file->close()) fail(m_file->error());
}

bool MidiFileWriter::writeLength(std::uint32_t length) {
    std::uint8_t bytes[4];
    put32(bytes, length);
    if (m_file->writeAt(kTrackLengthAt, bytes) && m_file->sync()) return true;
    fail(m_file->error());
    return false;
}

void MidiFileWriter::fail(const QString& what) {
    const std::lock_guard lock(m_mutex);
    if (!m_error.isEmpty()) return;
    m_error = what.isEmpty() ? QStringLiteral("write failed") : what;
    m_failed.store(true, std::memory_order_release);
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/MidiFileWriter.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr off_t kTrackLengthAt = 18; // "MThd", 6, format, tracks, division, "MTrk"
constexpr off_t kTrackDataAt = 22;
constexpr std::uint32_t kLargestDelta = 0x0FFFFFFF;    // four bytes of variable length
constexpr std::size_t kCommitAt = 64 * 1024;           // waiting bytes that force a write
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

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}
} // namespace

MidiFileWriter::~MidiFileWriter() {
    finish();
}

bool MidiFileWriter::open(const QString& path, MidiTime start,
                          std::span<const std::int32_t> programs,
                          std::span<const std::int32_t> volumes) {
    finish();
    m_error.clear();
    m_pending.clear();
    m_trackLength = 0;
    m_lastTick = 0;
    m_sounding.reset();
    m_start = start;
    m_fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    std::uint8_t header[22] = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 0xFF,
        'M', 'T', 'r', 'k'};
    if (!writeAll(m_fd, header, sizeof header)) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        finish();
        return false;
    }
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
    if (!commit()) {
        finish();
        return false;
    }
    return true;
}

std::int64_t MidiFileWriter::tickOf(MidiTime when) const {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(when - m_start).count();
    if (us <= 0) return 0;
    return (us * kTicksPerSecond + 500000) / 1000000;
}

void MidiFileWriter::add(std::uint32_t packed, MidiTime when) {
    if (m_fd < 0 || failed()) return;
    const auto status = static_cast<std::uint8_t>(packed & 0xFF);
    const auto data1 = static_cast<std::uint8_t>((packed >> 8) & 0x7F);
    const auto data2 = static_cast<std::uint8_t>((packed >> 16) & 0x7F);
    if (status < 0x80 || status >= 0xF0) return;
    const int type = status & 0xF0;
    const std::size_t channel = status & 0x0F;
    if (type == 0x90 && data2 > 0)
        m_sounding.set(channel * 128 + data1);
    else if (type == 0x80 || type == 0x90)
        m_sounding.reset(channel * 128 + data1);
    else if (type == 0xB0 && (data1 == 120 || data1 == 123))
        for (std::size_t note = 0; note < 128; ++note)
            m_sounding.reset(channel * 128 + note);
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
    if (m_fd < 0 || failed()) return false;
    if (!m_pending.empty()) {
        if (!writeTail(m_pending)) return false;
        m_trackLength += static_cast<std::uint32_t>(m_pending.size());
        m_pending.clear();
    }
    if (!writeTrackLength(m_trackLength)) return false;
    // Reach the disk itself, so a power cut loses only what came after.
    ::fdatasync(m_fd);
    return true;
}

bool MidiFileWriter::finish(std::optional<MidiTime> stop) {
    if (m_fd < 0) return !failed();
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
    commit();
    // A failed write may have left part of an event behind the track.
    bool ok = !failed();
    std::vector<std::uint8_t> end;
    putVariable(end, endDelta);
    end.insert(end.end(), std::begin(kEndOfTrack), std::end(kEndOfTrack));
    if (::ftruncate(m_fd, kTrackDataAt + m_trackLength) == 0 && writeTail(end) &&
        writeTrackLength(m_trackLength + static_cast<std::uint32_t>(end.size()))) {
        m_trackLength += static_cast<std::uint32_t>(end.size());
    } else {
        ok = false;
    }
    if (::close(m_fd) != 0) ok = false;
    m_fd = -1;
    return ok;
}

bool MidiFileWriter::writeTail(const std::vector<std::uint8_t>& bytes) {
    if (::lseek(m_fd, kTrackDataAt + m_trackLength, SEEK_SET) < 0 ||
        !writeAll(m_fd, bytes.data(), bytes.size())) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool MidiFileWriter::writeTrackLength(std::uint32_t length) {
    std::uint8_t bytes[4];
    put32(bytes, length);
    if (::pwrite(m_fd, bytes, sizeof bytes, kTrackLengthAt) != sizeof bytes) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void MidiFileWriter::fail(const QString& what) {
    if (m_error.isEmpty()) m_error = what.isEmpty() ? QStringLiteral("write failed") : what;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/WavRecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <sndfile.h>

namespace {
constexpr int kChannels = 2;
constexpr int kHighestRate = 48000;                    // sizes the ring for any usual rate
constexpr auto kPoll = std::chrono::milliseconds(100); // ten wake-ups a second
constexpr auto kHeaderEvery = std::chrono::seconds(1);
// Longer without a block than this is a pause of the output, not a late one.
constexpr auto kLongestWait = std::chrono::seconds(1);
// A WAV header counts up to 4 GB: about six and a half hours.
constexpr std::int64_t kLargestFrames = (0xFFFFFFFFll - 4096) / (2 * kChannels);
} // namespace

WavRecorder::WavRecorder(double bufferSeconds) {
    const auto samples =
        static_cast<std::size_t>(std::max(1.0, bufferSeconds * kHighestRate * kChannels));
    m_ring.resize(std::bit_ceil(samples));
    m_mask = m_ring.size() - 1;
}

WavRecorder::~WavRecorder() {
    finish();
}

bool WavRecorder::open(const QString& path, int sampleRate) {
    finish();
    m_head.store(0);
    m_tail.store(0);
    m_blockRate.store(0);
    m_stop.store(false);
    m_failed.store(false);
    m_written.store(0);
    m_dropped.store(0);
    m_gapHead.store(0);
    m_gapTail.store(0);
    m_anyBlock = false;
    {
        const std::lock_guard lock(m_errorMutex);
        m_error.clear();
    }
    m_path = path;
    if (!openFile(sampleRate)) return false;
    m_writer = std::thread(&WavRecorder::run, this);
    return true;
}

bool WavRecorder::openFile(int sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    m_file = sf_open(QFile::encodeName(m_path).constData(), SFM_WRITE, &info);
    if (!m_file) {
        fail(QString::fromLocal8Bit(sf_strerror(nullptr)));
        return false;
    }
    // Peaks above full scale are clipped, not wrapped round.
    sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_command(m_file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    m_fileRate.store(sampleRate, std::memory_order_relaxed);
    return true;
}

void WavRecorder::audioRendered(const float* interleavedStereo, std::size_t frames,
                                int sampleRate) {
    if (frames == 0 || !interleavedStereo || sampleRate <= 0) return;
    m_blockRate.store(sampleRate, std::memory_order_relaxed);
    const std::size_t head = m_head.load(std::memory_order_relaxed);
    const auto now = std::chrono::steady_clock::now();
    if (m_anyBlock && now - m_due > kLongestWait) {
        const std::size_t gapHead = m_gapHead.load(std::memory_order_relaxed);
        if (gapHead - m_gapTail.load(std::memory_order_acquire) < m_gaps.size()) {
            const double seconds = std::chrono::duration<double>(now - m_due).count();
            m_gaps[gapHead % m_gaps.size()] = {head,
                                               static_cast<std::int64_t>(seconds * sampleRate)};
            m_gapHead.store(gapHead + 1, std::memory_order_release);
        }
    }
    m_anyBlock = true;
    m_due = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(double(frames) / sampleRate));
    const std::size_t tail = m_tail.load(std::memory_order_acquire);
    const std::size_t room = (m_ring.size() - (head - tail)) / kChannels;
    const std::size_t taken = std::min(frames, room);
    const std::size_t samples = taken * kChannels;
    const std::size_t at = head & m_mask;
    const std::size_t first = std::min(samples, m_ring.size() - at);
    std::memcpy(m_ring.data() + at, interleavedStereo, first * sizeof(float));
    std::memcpy(m_ring.data(), interleavedStereo + first, (samples - first) * sizeof(float));
    m_head.store(head + samples, std::memory_order_release);
    if (taken < frames)
        m_dropped.fetch_add(static_cast<std::int64_t>(frames - taken), std::memory_order_relaxed);
}

void WavRecorder::run() {
    auto updated = std::chrono::steady_clock::now();
    for (;;) {
        const bool stopping = m_stop.load(std::memory_order_acquire);
        if (failed()) {
            m_tail.store(m_head.load(std::memory_order_acquire), std::memory_order_release);
        } else if (drain()) {
            const auto now = std::chrono::steady_clock::now();
            if (now - updated >= kHeaderEvery) {
                sf_command(m_file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
                updated = now;
            }
        }
        if (stopping) return;
        std::this_thread::sleep_for(kPoll);
    }
}

// Writes everything the ring holds. After a failure the ring is emptied into
// nothing, so the audio thread is not told to drop.
bool WavRecorder::drain() {
    std::size_t tail = m_tail.load(std::memory_order_relaxed);
    const std::size_t head = m_head.load(std::memory_order_acquire);
    if (tail == head) return true;
    const int rate = m_blockRate.load(std::memory_order_relaxed);
    if (framesWritten() == 0 && rate > 0 && rate != m_fileRate.load(std::memory_order_relaxed)) {
        sf_close(m_file);
        m_file = nullptr;
        if (!openFile(rate)) {
            m_tail.store(head, std::memory_order_release);
            return false;
        }
    }
    while (tail != head) {
        // A pause's silence goes in before the samples that came after it.
        std::size_t until = head;
        const std::size_t gapTail = m_gapTail.load(std::memory_order_relaxed);
        if (gapTail != m_gapHead.load(std::memory_order_acquire)) {
            const Gap& gap = m_gaps[gapTail % m_gaps.size()];
            if (gap.at <= tail) {
                if (!writeSilence(gap.frames)) {
                    m_tail.store(head, std::memory_order_release);
                    return false;
                }
                m_gapTail.store(gapTail + 1, std::memory_order_release);
                continue;
            }
            until = std::min(until, gap.at);
        }
        const std::size_t at = tail & m_mask;
        const std::size_t samples = std::min(until - tail, m_ring.size() - at);
        const sf_count_t frames = static_cast<sf_count_t>(samples / kChannels);
        if (!fits(frames)) {
            m_tail.store(head, std::memory_order_release);
            return false;
        }
        const sf_count_t done = sf_writef_float(m_file, m_ring.data() + at, frames);
        if (done > 0) m_written.fetch_add(done, std::memory_order_relaxed);
        if (done != frames) {
            fail(QString::fromLocal8Bit(sf_strerror(m_file)));
            m_tail.store(head, std::memory_order_release);
            return false;
        }
        tail += samples;
        m_tail.store(tail, std::memory_order_release);
    }
    return true;
}

bool WavRecorder::writeSilence(std::int64_t frames) {
    static const std::array<float, 2 * 4096> kZeros{};
    while (frames > 0) {
        const sf_count_t chunk = std::min<std::int64_t>(frames, kZeros.size() / kChannels);
        if (!fits(chunk)) return false;
        const sf_count_t done = sf_writef_float(m_file, kZeros.data(), chunk);
        if (done > 0) m_written.fetch_add(done, std::memory_order_relaxed);
        if (done != chunk) {
            fail(QString::fromLocal8Bit(sf_strerror(m_file)));
            return false;
        }
        frames -= chunk;
    }
    return true;
}

bool WavRecorder::fits(std::int64_t frames) {
    if (framesWritten() + frames <= kLargestFrames) return true;
    fail(QCoreApplication::translate("WavRecorder",
                                     "the file has reached the largest size a WAV file can have"));
    return false;
}

bool WavRecorder::finish() {
    if (m_writer.joinable()) {
        m_stop.store(true, std::memory_order_release);
        m_writer.join();
    }
    if (!m_file) return !failed();
    // Closing writes the final header; its place in the file already exists.
    if (sf_close(m_file) != 0)
        fail(QCoreApplication::translate("WavRecorder", "the file could not be closed"));
    m_file = nullptr;
    return !failed() && framesDropped() == 0;
}

QString WavRecorder::error() const {
    const std::lock_guard lock(m_errorMutex);
    return m_error;
}

void WavRecorder::fail(const QString& why) {
    {
        const std::lock_guard lock(m_errorMutex);
        if (m_error.isEmpty()) m_error = why;
    }
    m_failed.store(true, std::memory_order_release);
}
